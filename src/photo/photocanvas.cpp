#include "photocanvas.h"

#include "drawpanel.h"
#include "jpegcodec.h"
#include "photocut.h"

SaveResult takePhoto(DrawPanel& canvas, const QImage& cameraFrame, const QRectF& interior, const QString& captionText,
                     const QColor& captionColour)
{
    canvas.clear();
    const ImageResult cut = cutPhoto(cameraFrame, interior);
    if (!cut.ok())
        return SaveResult::failure(cut.error);
    canvas.setRetainedImage(cut.image);
    if (!captionText.isEmpty())
        canvas.drawCaption(captionText, captionColour);
    return SaveResult::success();
}

SaveResult showPhotoFile(DrawPanel& canvas, const QString& path, QSize shownSize)
{
    canvas.clear();
    const ImageResult photo = loadJpeg(path);
    if (!photo.ok())
        return SaveResult::failure(photo.error);
    canvas.drawPicture(photo.image, QRect(QPoint(0, 0), shownSize));
    return SaveResult::success();
}
