#pragma once

class QWidget;

namespace windowopacity {

// Sets a top-level window's opacity, 0 invisible to 255 opaque, and hands it
// to the window system at once. Headless platforms have no opacity and only
// warn about it, so nothing is set there.
void apply(QWidget* window, int alpha);

}  // namespace windowopacity
