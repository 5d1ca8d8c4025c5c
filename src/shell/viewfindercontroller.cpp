#include "viewfindercontroller.h"

#include "drawpanel.h"

ViewfinderController::ViewfinderController(const ViewfinderUnits& units, DrawPanel* resultPane,
                                           double& frameScaleValue, QObject* parent)
    : Viewfinder(units, frameScaleValue, parent)
{
    // A new target size makes the last photo in the result pane meaningless.
    connect(this, &Viewfinder::resultPaneCleared, resultPane, &DrawPanel::clear);
}
