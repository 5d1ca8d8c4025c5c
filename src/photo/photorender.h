#pragma once
#include "result.h"
#include "safewrite.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// The photo pipeline on pictures: the cut from the camera is scaled to the
// photo size and the caption is written on the photo itself, so the same take
// gives the same file on any screen; the result pane shows the same picture
// rendered at its own size.
namespace photorender {

// The caption's place on a photo of the given size, in proportion to the
// photo: 宋体 at 11/245 of the photo's height (8 pt on the 245-pixel pane),
// its left edge 2/245 of the height in, the bottom of its line 4% of the
// height above the bottom edge. A text too long for the width gets a smaller
// font, so it is never cut off.
QFont captionFont(int photoHeight);
struct CaptionPlacement {
    QFont font;
    QPointF baseline;  // where the text's baseline starts
};
CaptionPlacement placeCaption(const QString& text, QSize photo);

// Writes the caption on the photo (nothing when text is empty).
void drawCaption(QImage& photo, const QString& text, const QColor& colour);

// The cut scaled to size with the caption on it.
Result<QImage> renderPhoto(const QImage& cut, QSize size, const QString& caption, const QColor& colour);

}  // namespace photorender

// Everything a save needs, copied so it can run on another thread.
struct PhotoJob {
    QImage cut;  // camera pixels under the frame
    QSize size;  // the photo's size
    QString caption;  // empty: none
    QColor captionColour;
    int quality = 90;
    qint64 maxBytes = 0;  // the file must fit this many bytes; 0: no limit
    // The chosen photo preset's (照片规格): the file reaches this many bytes
    // (0: no minimum) and states this density (0: none).
    qint64 minBytes = 0;
    int dpi = 0;
    safewrite::WriteTarget target;  // the photo file and what may be replaced
    // The camera's region around the photo, kept beside it (null: none).
    QImage original;
    safewrite::WriteTarget originalTarget;
};

// What a job wrote: the photo, and the camera original when one was kept.
struct PhotoWritten {
    Result<safewrite::Published> photo = failure(QString());
    std::optional<Result<safewrite::Published>> original;
};

// Renders, encodes and writes the photo through the safe-write routine.
// Touches no widget: it may run on a worker thread.
Result<safewrite::Published> runPhotoJob(const PhotoJob& job);

// Photos this large tell the operator that they are being written.
constexpr qint64 kLargePhotoPixels = 4'000'000;

// Runs the job on a worker thread; done gets the result on receiver's thread
// (not at all when receiver is gone by then).
// The camera original of a written photo is written after it.
void runPhotoJobInBackground(PhotoJob job, QObject* receiver, std::function<void(const PhotoWritten&)> done);
