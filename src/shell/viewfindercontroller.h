#pragma once
#include "viewfinder.h"

class MainWindow;

// The viewfinder wired to the main window's units and its zoom state. The
// camera side calls showFrame(), hideFrame() and RefreshFrameShape() when the
// preview is switched; the photo side reads frameInterior() and the target size.
class ViewfinderController : public Viewfinder {
    Q_OBJECT
public:
    explicit ViewfinderController(MainWindow& window);
};
