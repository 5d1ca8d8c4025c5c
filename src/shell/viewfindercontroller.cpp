#include "viewfindercontroller.h"

#include "drawpanel.h"

#include <QLineEdit>
#include <QSignalBlocker>

ViewfinderController::ViewfinderController(const ViewfinderUnits& units, DrawPanel* resultPane, double& frameScaleValue,
                                           QObject* parent)
    : Viewfinder(units, frameScaleValue, parent)
{
    // A new target size makes the last photo in the result pane meaningless.
    connect(this, &Viewfinder::resultPaneCleared, resultPane, &DrawPanel::clear);
}

void ViewfinderController::fillTargetSize(QSize size)
{
    {
        const QSignalBlocker width(units().widthBox);
        const QSignalBlocker height(units().heightBox);
        units().widthBox->setText(QString::number(size.width()));
        units().heightBox->setText(QString::number(size.height()));
    }
    ApplyTargetResolution();
}
