#include "photocanvas.h"

#include "drawpanel.h"
#include "jpegcodec.h"

#include <QRect>

Status showPhotoFile(DrawPanel& canvas, const QString& path, QSize shownSize)
{
    canvas.clear();
    const Result<QImage> photo = loadJpeg(path);
    if (!photo)
        return failure(photo.error());
    canvas.drawPicture(photo.value(), QRect(QPoint(0, 0), shownSize));
    return Status::success();
}
