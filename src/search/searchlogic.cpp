#include "searchlogic.h"

#include <cmath>

namespace search {

bool isBlank(const QString& text)
{
    for (QChar ch : text)
        if (ch != QChar(0x20) && ch != QChar(0x3000))
            return false;
    return true;
}

namespace {

// Character-wise containment: a match never begins on the second half of a
// surrogate pair.
bool containsByCharacters(QStringView cell, QStringView condition)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype i = cell.indexOf(condition, from);
        if (i < 0)
            return false;
        if (i == 0 || !cell[i].isLowSurrogate() || !cell[i - 1].isHighSurrogate())
            return true;
        from = i + 1;
    }
}

}  // namespace

bool ConditionMatches(const QString& cellText, const QString& conditionText, const QString& mode)
{
    if (mode == modeEqual)
        return cellText == conditionText;
    if (mode == modeContains)
        return containsByCharacters(cellText, conditionText);
    return false;
}

QString toggledMode(const QString& caption)
{
    return caption == modeEqual ? modeContains : modeEqual;
}

QColor modeColour(const QString& caption)
{
    return caption == modeContains ? blue : red;
}

namespace {

// 1-based as typed to 0-based; numbers below 1 address no column.
int rosterColumn(int typed)
{
    return typed >= 1 ? typed - 1 : -1;
}

}  // namespace

bool rowMatches(const Conditions& c, bool both, const std::function<QString(int)>& cellOfRow)
{
    if (!ConditionMatches(cellOfRow(rosterColumn(c.column1)), c.text1, c.mode1))
        return false;
    return !both || ConditionMatches(cellOfRow(rosterColumn(c.column2)), c.text2, c.mode2);
}

namespace {

const QString L = QStringLiteral("“");
const QString R = QStringLiteral("”");

QString bothConditions(const ReportInput& in)
{
    return QStringLiteral(" 列 ") + in.mode1 + L + in.text1 + R + QStringLiteral(" | 第 ") + in.column2 +
           QStringLiteral(" 列 ") + in.mode2 + L + in.text2 + R;
}

}  // namespace

Report makeReport(SearchKind kind, bool single, bool found, int count, const ReportInput& in)
{
    const QString n = QString::number(count);
    if (kind == SearchKind::BothConditions) {
        if (single && found)
            return {QStringLiteral("已找到:  第 ") + in.column1 + bothConditions(in) + QStringLiteral(" 项"),
                    reportGreen};
        if (!single && count > 0)
            return {QStringLiteral("已找到:  第 ") + in.column1 + bothConditions(in) + QStringLiteral(" 共： ") + n +
                        QStringLiteral("  项"),
                    reportGreen};
        if (single)
            return {QStringLiteral("未找到:  第 ") + in.column1 + bothConditions(in) + QStringLiteral(" 项"), red};
        return {QStringLiteral("未找到: ") + in.column1 + bothConditions(in) + QStringLiteral(" 项"), red};
    }
    if (single && found)
        return {QStringLiteral("第 ") + in.column1 + QStringLiteral("  已找到: ") + in.mode1 + L + in.text1 + R,
                reportGreen};
    if (!single && count > 0)
        return {QStringLiteral("已找到:  第 ") + in.column1 + QStringLiteral(" 列 ") + in.mode1 + L + in.text1 + R +
                    QStringLiteral("  共：") + n + QStringLiteral("  项"),
                reportGreen};
    if (single && kind == SearchKind::Condition1FromBox7)
        return {QStringLiteral("第 ") + in.column1 + QStringLiteral(" 列  未找到: ") + L + in.text1 + R, red};
    return {QStringLiteral("第 ") + in.column1 + QStringLiteral(" 列 未找到: ") + L + in.text1 + R, red};
}

QPoint placeUnder(const QRect& mainFrame, int searchWidth)
{
    const double left = mainFrame.left() + (double(mainFrame.width()) - searchWidth) / 2.0;
    return {int(std::trunc(left)), mainFrame.top() + mainFrame.height()};
}

}  // namespace search
