#pragma once
#include "photoresult.h"

#include <QColor>
#include <QRectF>
#include <QSize>

class DrawPanel;

// Puts a new photo on the result canvas: the camera picture inside the
// viewfinder's interior (frame coordinates) at camera resolution, and the
// caption when captionText is not empty. When nothing can be cut (no camera
// picture yet, empty interior) the canvas is left cleared and the reason
// comes back.
SaveResult takePhoto(DrawPanel& canvas, const QImage& cameraFrame, const QRectF& interior, const QString& captionText,
                     const QColor& captionColour);

// Shows a saved photo file: clears the canvas and draws the file at (0, 0)
// scaled to shownSize (pane coordinates). A missing or unreadable file leaves
// the canvas cleared and says why.
SaveResult showPhotoFile(DrawPanel& canvas, const QString& path, QSize shownSize);

// The size a saved photo is shown at on the roster's current-photo pane:
// (w - 8) x (h - 10).
inline QSize currentPhotoShownSize(QSize pane)
{
    return {pane.width() - 8, pane.height() - 10};
}
