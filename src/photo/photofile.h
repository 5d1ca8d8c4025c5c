#pragma once
#include "result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// The subfolder of the photo folder that keeps every replaced photo.
QString replacedFolderName();  // "已替换"

// Creates the photo folder with every missing parent. Ok when it exists.
Status ensurePhotoFolder(const QString& folder);

// The photo size for a requested target on a canvas: each side as requested;
// 0 means the canvas's own side, a negative -p means p percent of it (at
// least 10 percent).
QSize photoSizeFor(int targetWidth, int targetHeight, QSize canvasSize);

// The picture scaled to exactly size: area averaging when shrinking, smooth
// interpolation when enlarging. Null when size or picture is empty.
QImage scaleToPhotoSize(const QImage& picture, QSize size);

// The number of the next automatic name prefix + n: at least from (and 1), and
// above every prefix + n + ".jpg" already in folder, so no numbered photo is
// ever replaced by a new one.
int nextFreeShotNumber(const QString& folder, const QString& prefix, int from);
