#pragma once
#include "result.h"

#include <QImage>
#include <QString>

// The station's single picture object: holds the last picture loaded into it
// and the JPEG compression setting used when it is saved.
//
// Compression is a byte shown in the hidden selector (items "1", "2", "4",
// "8"); larger means smaller files. It maps to libjpeg quality as
//     quality = max(10, 100 - 5 * compression)      (0 counts as 1)
// so 1 → 95, 2 → 90 (the default), 4 → 80, 8 → 60. Loading a picture keeps the
// setting: it belongs to the station, not to the file.
class PhotoImage {
public:
    // Format codes of the picture loader.
    enum Format : int { Other = 0, Bmp = 1, Gif = 2, Jpg = 3, Png = 4, Ico = 5 };

    static constexpr quint8 defaultCompression = 2;

    // The loader's code for a path: the text after the last "." (the whole
    // path when it has none), compared exactly and case-sensitively with bmp,
    // gif, jpg, png, ico. -1 when that text is empty (nothing is loaded then).
    static int formatCodeFor(const QString& path);

    static int qualityFor(quint8 compression);

    // Loads a picture file. The code is a hint tried first; the file's
    // content decides when the hint is wrong or 0, so a BMP under a ".jpg"
    // name or "PHOTO.JPG" (code 0) still loads. On failure the previous
    // picture is kept and the reason comes back.
    Status load(const QString& path, int formatCode);

    void setImage(const QImage& picture) { m_image = picture; }
    const QImage& image() const { return m_image; }

    quint8 compression() const { return m_compression; }
    void setCompression(quint8 value) { m_compression = value; }

private:
    QImage m_image;
    quint8 m_compression = defaultCompression;
};
