#pragma once
#include "result.h"

#include <QSize>
#include <QString>

class DrawPanel;

// Shows a saved photo file: clears the canvas and draws the file at (0, 0)
// scaled to shownSize (pane coordinates). A missing or unreadable file leaves
// the canvas cleared and says why.
Status showPhotoFile(DrawPanel& canvas, const QString& path, QSize shownSize);

// The size a saved photo is shown at on the roster's current-photo pane:
// (w - 8) x (h - 10).
inline QSize currentPhotoShownSize(QSize pane)
{
    return {pane.width() - 8, pane.height() - 10};
}
