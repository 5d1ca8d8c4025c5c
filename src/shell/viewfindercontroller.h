#pragma once
#include "viewfinder.h"

class DrawPanel;

// The viewfinder wired to the main window's units (filled by the window) and
// its zoom state. The camera side calls showFrame(), hideFrame() and
// RefreshFrameShape() when the preview is switched; the photo side reads
// frameInterior() and the target size.
class ViewfinderController : public Viewfinder {
    Q_OBJECT
public:
    ViewfinderController(const ViewfinderUnits& units, DrawPanel* resultPane, double& frameScaleValue, QObject* parent);

    // Puts a photo preset's size into both boxes and lays the frame out once
    // for it, not for a half-changed pair.
    void fillTargetSize(QSize size);
};
