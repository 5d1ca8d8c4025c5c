#pragma once
#include <QString>

#include <array>

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

    QString photoBaseName;  // file name of the current photo, without folder
    int freeShotCounter = 0;  // number of the next automatic free-shooting name
    // The small record of three integers: [1] and [2] receive the result
    // pane's width and height when a photo is taken.
    std::array<int, 3> paneRecord{};
};
