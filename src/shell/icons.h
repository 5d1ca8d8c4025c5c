#pragma once
#include <QIcon>
#include <QPixmap>

// The station's own pictures.
namespace icons {

// The menu entry's icon, at every size it is rendered in.
QIcon windowIcon();
// The 13x13 speaker of the bottom strip, with sound on or off.
QPixmap speaker(bool soundOn);
// The sample photograph shown in the result pane while the preview is off.
QPixmap samplePhoto(const QSize& size);

}  // namespace icons
