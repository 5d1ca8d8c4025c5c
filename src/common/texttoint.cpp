#include "texttoint.h"

#include <limits>

namespace text {

QString toHalfWidth(const QString& s)
{
    QString out = s;
    for (QChar& c : out) {
        const ushort u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(ushort(u - 0xFEE0));
        else if (u == 0x3000)
            c = QChar(' ');
    }
    return out;
}

int toInt(const QString& s)
{
    const QString t = toHalfWidth(s);
    int i = 0;
    const int n = t.size();
    // Leading blanks are skipped, as the C conversion does.
    while (i < n && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    qint64 value = 0;
    bool any = false;
    while (i < n && t[i] >= '0' && t[i] <= '9') {
        any = true;
        value = value * 10 + (t[i].unicode() - '0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            value = qint64(std::numeric_limits<int>::max()) + 1;
        ++i;
    }
    if (!any)
        return 0;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(value);
}

quint8 toByte(const QString& s)
{
    return quint8(toInt(s) & 0xFF);
}

}  // namespace text
