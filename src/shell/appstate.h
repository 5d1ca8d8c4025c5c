#pragma once
#include <QString>

// The process-wide application state shared by the main window's parts.
struct AppState {
    // knownDriverCount, devicesListed, previewOn and recording: the camera's
    // capture::CaptureState, held by the camera controller.
    bool soundOn = false;  // shutter sound, and with the voice settings the announcements
    QString photoFolder;  // mirrors 编辑框2
    double frameScaleValue = 0;  // zoom value at which the frame size was last applied
    int windowAlpha = 0;  // opacity during the fade-in, 0..255
    // The name columns, the current row and the workbook path live in the
    // roster's own state (RosterState).
    // The viewfinder handles its own drag limits, so no replaced window
    // procedure (framePrevProc) is kept.

    // The current take, photoBaseName, freeShotCounter and the pane record
    // belong to the photo part's session (PhotoController::session()).
};
