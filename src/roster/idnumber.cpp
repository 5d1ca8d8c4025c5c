#include "idnumber.h"

#include <QDate>
#include <QStringList>

#include <array>

namespace idnumber {

namespace {

// Longer texts are no identity number in any form.
constexpr int longestText = 40;
// Rows a summary names of each kind before it says how many more.
constexpr int rowsNamed = 5;

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The text trimmed and half-width, x made X, in a buffer of its own; false
// when it is too long to be one.
struct Normalised {
    std::array<char16_t, longestText> c{};
    int n = 0;
};
bool normalise(QStringView text, Normalised& out)
{
    const QStringView t = text.trimmed();
    if (t.size() > longestText)
        return false;
    for (const QChar ch : t) {
        char16_t u = ch.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)  // full-width forms, as typed with a Chinese input method
            u = char16_t(u - 0xFEE0);
        if (u == u'x')
            u = u'X';
        out.c[size_t(out.n++)] = u;
    }
    return true;
}

int digitValue(char16_t c)
{
    return int(c - u'0');
}

bool validBirthDate(int year, int month, int day)
{
    return year >= 1900 && QDate::isValid(year, month, day);
}

int number(const Normalised& s, int from, int count)
{
    int v = 0;
    for (int i = from; i < from + count; ++i)
        v = v * 10 + digitValue(s.c[size_t(i)]);
    return v;
}

struct Verdict {
    Kind kind = Kind::None;
    bool shaped = false;  // looks like an identity number, right or wrong
    QString reason;
};

const QString excelDropsDigits = QStringLiteral("Excel 只保留 15 位有效数字，后几位已丢失");

Verdict classify(QStringView text)
{
    Normalised s;
    if (!normalise(text, s)) {
        // A long note: a problem only when it holds digits, as a number would.
        for (const QChar ch : text)
            if (ch.isDigit())
                return {Kind::Invalid, false, QStringLiteral("不是身份证号的格式")};
        return {Kind::None, false, {}};
    }
    const int n = s.n;
    int digits = 0;
    while (digits < n && isDigit(s.c[size_t(digits)]))
        ++digits;
    bool anyDigit = digits > 0;
    for (int i = digits; i < n && !anyDigit; ++i)
        anyDigit = isDigit(s.c[size_t(i)]);
    if (!anyDigit)
        return {Kind::None, false, {}};

    const bool trailingX = digits == n - 1 && s.c[size_t(n - 1)] == u'X';
    if (digits == n || trailingX) {
        if (n == 18) {
            const QChar expected = checkDigit(QStringView(s.c.data(), 17));
            if (expected.unicode() != s.c[17]) {
                if (s.c[15] == u'0' && s.c[16] == u'0' && s.c[17] == u'0')
                    return {Kind::ExcelDamaged, true, QStringLiteral("末三位是 000：") + excelDropsDigits};
                return {Kind::Invalid, true, QStringLiteral("校验位不对（应为 %1）").arg(expected)};
            }
            if (!validBirthDate(number(s, 6, 4), number(s, 10, 2), number(s, 12, 2)))
                return {Kind::Invalid, true,
                        QStringLiteral("出生日期 %1 不对").arg(QString(reinterpret_cast<const QChar*>(&s.c[6]), 8))};
            return {Kind::Valid, true, {}};
        }
        if (n == 15 && !trailingX) {
            if (!validBirthDate(1900 + number(s, 6, 2), number(s, 8, 2), number(s, 10, 2)))
                return {Kind::Invalid, true,
                        QStringLiteral("出生日期 19%1 不对").arg(QString(reinterpret_cast<const QChar*>(&s.c[6]), 6))};
            return {Kind::Valid, true, {}};
        }
        return {Kind::Invalid, n >= 15 && n <= 18, QStringLiteral("位数不对（%1 位，应为 18 位）").arg(n)};
    }

    // "110101199003071234.0": a number cell written out as text.
    if (digits > 0 && s.c[size_t(digits)] == u'.' && digits + 1 < n) {
        bool zeros = true;
        for (int i = digits + 1; i < n && zeros; ++i)
            zeros = s.c[size_t(i)] == u'0';
        if (zeros)
            return {Kind::ExcelDamaged, digits >= 15 && digits <= 18,
                    QStringLiteral("末尾多了“.0”：号码曾被当作数字保存")};
    }

    // "1.10101E+17": a number cell shown in scientific notation.
    int i = digits;
    if (digits == 1 && i < n && s.c[size_t(i)] == u'.') {
        ++i;
        while (i < n && isDigit(s.c[size_t(i)]))
            ++i;
    }
    if (digits >= 1 && i < n && (s.c[size_t(i)] == u'E' || s.c[size_t(i)] == u'e')) {
        ++i;
        if (i < n && s.c[size_t(i)] == u'+')
            ++i;
        const int exponentAt = i;
        while (i < n && isDigit(s.c[size_t(i)]))
            ++i;
        if (i == n && exponentAt < n) {
            const int exponent = number(s, exponentAt, n - exponentAt);
            return {Kind::ExcelDamaged, exponent + digits >= 15 && exponent + digits <= 18,
                    QStringLiteral("科学计数法：") + excelDropsDigits};
        }
    }
    return {Kind::Invalid, false, QStringLiteral("不是身份证号的格式")};
}

QString rowList(const std::vector<int>& rows)
{
    QStringList shown;
    for (size_t i = 0; i < rows.size() && i < size_t(rowsNamed); ++i)
        shown << QString::number(rows[i] + 1);
    QString text = QStringLiteral("第 %1 行").arg(shown.join(QStringLiteral("、")));
    if (rows.size() > size_t(rowsNamed))
        text += QStringLiteral("等 %1 行").arg(rows.size());
    return text;
}

}  // namespace

QChar checkDigit(QStringView first17)
{
    static constexpr int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static constexpr char16_t digits[] = u"10X98765432";
    int sum = 0;
    for (int i = 0; i < 17 && i < first17.size(); ++i)
        sum += digitValue(first17[i].unicode()) * weights[i];
    return QChar(digits[sum % 11]);
}

Check check(QStringView text)
{
    Verdict v = classify(text);
    Check c;
    c.kind = v.kind;
    c.reason = std::move(v.reason);
    if (c.kind == Kind::Valid) {
        Normalised s;
        normalise(text, s);
        c.number = QString(reinterpret_cast<const QChar*>(s.c.data()), s.n);
    }
    return c;
}

ColumnCheck checkColumn(int rows, const std::function<QString(int row)>& cell)
{
    ColumnCheck result;
    std::vector<Problem> problems;
    int without = 0;
    for (int row = 0; row < rows; ++row) {
        const QString value = cell(row);
        if (value.isEmpty()) {
            ++without;
            continue;
        }
        Verdict v = classify(value);
        if (!value.trimmed().isEmpty())
            ++result.filled;
        result.shaped += v.shaped ? 1 : 0;
        if (v.kind == Kind::None)
            ++without;
        else if (v.kind != Kind::Valid)
            problems.push_back({row, value, v.kind, std::move(v.reason)});
    }
    result.holdsIds = result.shaped > 0 && 2 * result.shaped > result.filled;
    if (result.holdsIds) {
        result.problems = std::move(problems);
        result.without = without;
    }
    return result;
}

QString ColumnCheck::summary() const
{
    if (problems.empty())
        return {};
    std::vector<int> damaged;
    std::vector<int> wrong;
    for (const Problem& p : problems)
        (p.kind == Kind::ExcelDamaged ? damaged : wrong).push_back(p.row);
    QStringList parts;
    if (!damaged.empty())
        parts << rowList(damaged) +
                     QStringLiteral("的身份证号可能被 Excel 改坏（科学计数法、末三位为 000 或多了“.0”）");
    if (!wrong.empty())
        parts << rowList(wrong) + QStringLiteral("的身份证号有误（校验位、位数或出生日期不对）");
    return QStringLiteral("名单中有 %1 个身份证号有问题：%2。名单照常导入，这些行已标出，请核对原表。")
        .arg(problems.size())
        .arg(parts.join(QStringLiteral("；")));
}

}  // namespace idnumber
