#include "photoimage.h"

#include "jpegcodec.h"

#include <QImageReader>
#include <QStringList>

namespace {

QByteArray readerFormat(int code)
{
    switch (code) {
    case PhotoImage::Bmp:
        return "bmp";
    case PhotoImage::Gif:
        return "gif";
    case PhotoImage::Jpg:
        return "jpg";
    case PhotoImage::Png:
        return "png";
    case PhotoImage::Ico:
        return "ico";
    default:
        return {};
    }
}

}  // namespace

int PhotoImage::formatCodeFor(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? path : path.mid(dot + 1);
    if (ext.isEmpty())
        return -1;
    static const QStringList known = {"bmp", "gif", "jpg", "png", "ico"};
    return int(known.indexOf(ext)) + 1;  // not found: -1 + 1 = Other
}

int PhotoImage::qualityFor(quint8 compression)
{
    const int c = compression == 0 ? 1 : compression;
    return qMax(10, 100 - 5 * c);
}

Status PhotoImage::load(const QString& path, int formatCode)
{
    QImage picture;
    QString why;
    const QByteArray hint = readerFormat(formatCode);
    if (!hint.isEmpty()) {
        QImageReader reader(path, hint);
        reader.setAutoDetectImageFormat(false);
        picture = reader.read();
        why = reader.errorString();
    }
    if (picture.isNull()) {
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        picture = reader.read();
        if (picture.isNull() && why.isEmpty())
            why = reader.errorString();
    }
    if (picture.isNull())
        return failure(QStringLiteral("无法读取图片 %1: %2").arg(path, why));
    m_image = picture;
    return Status::success();
}
