#pragma once
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a settings window goes so that it covers none of the main window's
// controls: beside the main window (right, left, below, above, in that
// order), on the screen, and clear of the windows already placed around it
// (the banner under the main window). All rectangles are outer frames in
// screen coordinates; the result is the window's top-left corner.
//
// When no side has room the window goes where it covers least of the main
// window, kept inside the screen.
QPoint placeBeside(const QRect& main, const QSize& window, const QRect& screen, const QList<QRect>& occupied = {});
