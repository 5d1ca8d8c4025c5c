#pragma once
// What a JPEG file states about itself, read from its bytes as a registry's
// checker would, not through the station's own codec.
#include <QByteArray>

// The JFIF density in dots per inch: 0 when the file states none (unit 0),
// -1 when there is no JFIF segment or it gives dots per cm.
inline int jfifDpi(const QByteArray& jpg)
{
    // SOI, then APP0: FF E0, length, "JFIF\0", version (2), unit, X, Y.
    if (jpg.size() < 18 || !jpg.startsWith(QByteArray("\xFF\xD8\xFF\xE0", 4)) ||
        jpg.mid(6, 5) != QByteArray("JFIF\0", 5))
        return -1;
    const auto byte = [&jpg](int at) { return int(uchar(jpg[at])); };
    const int unit = byte(13);
    const int x = byte(14) << 8 | byte(15);
    const int y = byte(16) << 8 | byte(17);
    if (unit == 0)
        return 0;
    return unit == 1 && x == y ? x : -1;
}
