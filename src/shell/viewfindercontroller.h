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
    ViewfinderController(const ViewfinderUnits& units, DrawPanel* resultPane, double& frameScaleValue,
                         QObject* parent);
};
