#pragma once
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

// The matching, blank test and report texts of the roster search, free of widgets.
namespace search {

inline const QString modeEqual = QStringLiteral("等同");
inline const QString modeContains = QStringLiteral("包含");

inline const QColor reportGreen{0x00, 0x80, 0x00};
inline const QColor red{0xFF, 0x00, 0x00};
inline const QColor blue{0x00, 0x00, 0xFF};

// Blank when nothing is left after removing half-width and full-width spaces.
bool isBlank(const QString& text);

// "等同": exact equality; "包含": the condition occurs in the cell, a match
// starting on whole characters only; case always matters; any other mode: false.
bool ConditionMatches(const QString& cellText, const QString& conditionText, const QString& mode);

// The caption and colour a match-mode label takes when it is clicked.
QString toggledMode(const QString& caption);
QColor modeColour(const QString& caption);

// What one roster row is tested against; read again for every row.
struct Conditions {
    QString mode1, mode2;
    int column1 = 1, column2 = 2;  // 1-based, as typed
    QString text1, text2;
    bool single = true;  // single-item mode chosen
    bool multi = false;  // multi-item mode chosen
};

enum class SearchKind {
    Condition1,  // condition 1 alone
    Condition1FromBox7,  // condition 1 alone, started from condition 2's box
    BothConditions,
};

bool rowMatches(const Conditions& c, bool both, const std::function<QString(int column)>& cellOfRow);

// The texts the report is made of, as they stand when the scan ends.
struct ReportInput {
    QString column1, column2;  // column numbers as typed
    QString mode1, mode2;
    QString text1, text2;
};

struct Report {
    QString text;
    QColor colour;
};

Report makeReport(SearchKind kind, bool single, bool found, int count, const ReportInput& in);

// Where the search window goes: directly under the main window, centred on it.
QPoint placeUnder(const QRect& mainFrame, int searchWidth);

}  // namespace search
