#include "viewfindercontroller.h"

#include "drawpanel.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

namespace {

ViewfinderUnits unitsOf(Ui::MainWindow& ui)
{
    ViewfinderUnits u;
    u.frame = ui.外形框1;
    u.grip = ui.透明标签7;
    u.preview = ui.图片框2;
    u.pane = ui.画板1;
    u.panePicture = ui.图片框1111;
    u.strip = ui.透明标签9;
    u.widthBox = ui.编辑框3;
    u.heightBox = ui.编辑框4;
    u.zoomBox = ui.编辑框5;
    u.zoomCopy = ui.透明标签12;
    u.helpLabel = ui.透明标签16;
    u.statusLabel = ui.透明标签1;
    return u;
}

}  // namespace

ViewfinderController::ViewfinderController(MainWindow& window)
    : Viewfinder(unitsOf(*window.ui), window.state.frameScaleValue, &window)
{
    // A new target size makes the last photo in the result pane meaningless.
    connect(this, &Viewfinder::resultPaneCleared, window.ui->画板1, &DrawPanel::clear);
}
