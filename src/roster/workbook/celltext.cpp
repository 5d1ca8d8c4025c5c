#include "celltext.h"

#include <QDate>

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace workbook {

QString numberText(double value)
{
    if (!std::isfinite(value))
        return {};
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        // Plain digits written straight into the string: most roster numbers
        // are student numbers, and QString::number costs several times more.
        static constexpr char pairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        const qint64 signedValue = qint64(value);
        const bool negative = signedValue < 0;
        uint64_t v = negative ? uint64_t(-signedValue) : uint64_t(signedValue);
        char16_t digits[20];
        int at = 20;
        while (v >= 100) {  // two digits a step halves the divisions
            const size_t pair = size_t(v % 100) * 2;
            v /= 100;
            digits[--at] = char16_t(pairs[pair + 1]);
            digits[--at] = char16_t(pairs[pair]);
        }
        if (v >= 10) {
            digits[--at] = char16_t(pairs[v * 2 + 1]);
            digits[--at] = char16_t(pairs[v * 2]);
        } else {
            digits[--at] = char16_t(u'0' + v);
        }
        if (negative)
            digits[--at] = u'-';
        return QString(reinterpret_cast<const QChar*>(digits + at), 20 - at);
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return QString::fromLatin1(buffer);
}

DateKind builtinDateKind(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) ||
        (id >= 57 && id <= 58))
        return DateKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55 || id == 56)
        return DateKind::Time;
    if (id == 22)
        return DateKind::DateTime;
    return DateKind::None;
}

DateKind dateKindOfCode(const QString& code)
{
    // Collect the date/time letters that stand outside quotes, brackets and
    // escapes, in order, so that "m" can be told apart as month or minute.
    QString letters;
    const int n = int(code.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            while (++i < n && code[i] != u'"') { }
        } else if (c == u'[') {
            while (++i < n && code[i] != u']') { }
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;  // the next character is a literal or a padding character
        } else if (code.mid(i, 5).compare(u"AM/PM", Qt::CaseInsensitive) == 0) {
            i += 4;
        } else if (code.mid(i, 3).compare(u"A/P", Qt::CaseInsensitive) == 0) {
            i += 2;
        } else {
            const char16_t l = c.toLower().unicode();
            if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u's')
                letters.append(QChar(l));
        }
    }
    // "[h]:mm:ss" keeps its hours inside the brackets: elapsed-time formats count as times.
    bool date = false;
    bool time = code.contains(u"[h", Qt::CaseInsensitive) || code.contains(u"[m", Qt::CaseInsensitive) ||
                code.contains(u"[s", Qt::CaseInsensitive);
    for (int i = 0; i < letters.size(); ++i) {
        const QChar l = letters[i];
        if (l == u'y' || l == u'd') {
            date = true;
        } else if (l == u'h' || l == u's') {
            time = true;
        } else {  // m: minutes right after hours or right before seconds
            int prev = i - 1;
            while (prev >= 0 && letters[prev] == u'm')
                --prev;
            int next = i + 1;
            while (next < letters.size() && letters[next] == u'm')
                ++next;
            const bool minute =
                (prev >= 0 && letters[prev] == u'h') || (next < letters.size() && letters[next] == u's');
            (minute ? time : date) = true;
        }
    }
    if (date && time)
        return DateKind::DateTime;
    if (date)
        return DateKind::Date;
    if (time)
        return DateKind::Time;
    return DateKind::None;
}

QString serialText(double serial, DateKind kind, bool date1904)
{
    if (kind == DateKind::None || !std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return numberText(serial);
    qint64 seconds = qint64(std::llround(serial * 86400.0));
    qint64 day = seconds / 86400;
    const qint64 secondOfDay = seconds % 86400;
    QString datePart;
    if (kind != DateKind::Time) {
        if (date1904) {
            datePart = QDate(1904, 1, 1).addDays(day).toString(u"yyyy-MM-dd");
        } else if (day == 60) {
            datePart = QStringLiteral("1900-02-29");  // the 1900 system's leap day that never was
        } else if (day == 0) {
            datePart = QStringLiteral("1900-01-00");
        } else {
            datePart = QDate(1899, 12, day < 60 ? 31 : 30).addDays(day).toString(u"yyyy-MM-dd");
        }
        if (kind == DateKind::Date)
            return datePart;
    }
    const QString timePart = QStringLiteral("%1:%2:%3")
                                 .arg(secondOfDay / 3600, 2, 10, QChar(u'0'))
                                 .arg(secondOfDay / 60 % 60, 2, 10, QChar(u'0'))
                                 .arg(secondOfDay % 60, 2, 10, QChar(u'0'));
    if (kind == DateKind::Time)
        return timePart;
    return datePart + u' ' + timePart;
}

static int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString decodeXmlEscapes(const QString& text)
{
    if (!text.contains(u"_x"))
        return text;
    QString out;
    out.reserve(text.size());
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        if (text[i] == u'_' && i + 6 < n && text[i + 1] == u'x' && text[i + 6] == u'_') {
            int value = 0;
            bool hex = true;
            for (int k = 2; k < 6 && hex; ++k) {
                const int h = hexValue(text[i + k]);
                hex = h >= 0;
                value = value * 16 + h;
            }
            if (hex) {
                out.append(QChar(char16_t(value)));
                i += 6;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

}  // namespace workbook
