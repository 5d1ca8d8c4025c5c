#pragma once
#include "photoresult.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class DrawPanel;
class PhotoImage;

// Writes bytes to a temporary file beside path, syncs it and renames it over
// path. On any failure (folder missing or read-only, disk full, rename
// refused) the old file at path is left as it was and no temporary remains.
SaveResult writeFileReplacing(const QString& path, const QByteArray& bytes);

// Creates the photo folder with every missing parent. Ok when it exists.
SaveResult ensurePhotoFolder(const QString& folder);

// The photo size for a requested target on a canvas: each side as requested;
// 0 means the canvas's own side, a negative -p means p percent of it (at
// least 10 percent).
QSize photoSizeFor(int targetWidth, int targetHeight, QSize canvasSize);

// The picture scaled to exactly size: area averaging when shrinking, smooth
// interpolation when enlarging. Null when size or picture is empty.
QImage scaleToPhotoSize(const QImage& picture, QSize size);

// Writes the canvas picture as the photo file at path: scaled to the target
// size (see photoSizeFor), held by image, and saved as JPEG at its
// compression setting, replacing the old file only once the new one is
// complete.
SaveResult EncodePhotoFile(PhotoImage& image, const QImage& canvasPicture, QSize canvasSize, const QString& path,
                           int targetWidth, int targetHeight);

// The same for what a result canvas holds.
SaveResult EncodePhotoFile(PhotoImage& image, const DrawPanel& canvas, const QString& path, int targetWidth,
                           int targetHeight);
