#pragma once
#include "appstate.h"
#include "stationcontext.h"
#include "statuslog.h"

#include <QWidget>

#include <memory>

class QTimer;
class RosterController;
class RosterState;
class DuplicatePhotoWindow;
class SwapConfirmWindow;
class VoiceController;

namespace Ui {
class MainWindow;
}

// The station's main window. Its units come from the form; the handlers of
// each subsystem live in their own controller classes that wire units to
// operations. This class keeps the window's own lifecycle.
class MainWindow : public QWidget, public StationContext {
    Q_OBJECT
public:
    // When the first camera is opened: while the window is made, or once it
    // is on screen through camera->ConnectShownDriver() (the program does
    // that: starting a camera would hold up the window's first picture).
    enum class CameraStart { WithTheWindow, AfterShowing };
    explicit MainWindow(CameraStart cameraStart = CameraStart::WithTheWindow, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The shared state the window shows.
    AppState& appState() override { return state_; }
    VoiceController* voice = nullptr;  // speech settings and announcing
    class ViewfinderController* viewfinder = nullptr;  // frame, target size and zoom
    class SearchController* search = nullptr;  // search window and cell colours

    // The controllers that wire each subsystem's units.
    RosterController* roster() const override { return roster_; }
    // The roster itself: rows, current row, name columns (owned by the window).
    RosterState& rosterState() const override { return *rosterState_; }
    Viewfinder* frame() const override;
    QWidget* stationWindow() override { return this; }
    class CameraController* camera = nullptr;
    class PhotoController* photo = nullptr;  // taking, naming and saving photos
    class ReportController* reports = nullptr;  // missing list and contact sheet
    class BarcodeController* barcode = nullptr;  // the scan box
    // Tells when the photo folder changed (another station saved into it).
    class PhotoFolderWatch* folderWatch = nullptr;
    class FaceController* faces = nullptr;  // automatic framing and the photo checks
    class ShotKeys* shotKeys = nullptr;  // one key per student
    class ShotKeysDialog* shotKeysDialog = nullptr;
    class JobController* job = nullptr;  // the job kept from one start to the next
    class PresetChooser* presets = nullptr;  // 照片规格 beside the size boxes
    class IdCheckController* idCheck = nullptr;  // identity numbers checked at import

    DuplicatePhotoWindow* duplicateWindow() const override { return duplicateWindow_; }
    SwapConfirmWindow* swapWindow() const override { return swapWindow_; }

    void setStatus(const QString& text) override;
    // A status that reports a refusal, in red until the next status.
    void setErrorStatus(const QString& text);
    QString status() const override;
    // The status line's messages; a click on the line shows the last ones.
    StatusLog& statusLog() { return statusLog_; }
    class StatusHistoryWindow* statusHistory() const { return statusHistory_; }

    // One tick of the fade-in.
    void fadeInStep();
    QTimer* fadeTimer() const { return fadeTimer_; }

    // Satellite windows follow the main window (rule A) or sit above it (rule B).
    void placeSatellites();
    void placeSwapWindowAbove();

    void toggleSwapWindow();
    void toggleSound();
    void toggleUpdateLinkColour();
    void openUpdatePage();

    // A workbook named on the command line is imported as if dropped.
    void importWorkbookAtStart(const QString& path);

    // The address behind "查看更新"; empty opens nothing.
    static const QString updatePageAddress;

protected:
    void moveEvent(QMoveEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void created();
    void placeDuplicateWindow();
    void placeSwapWindow();
    void showPhotoFolder(const QString& folder);
    void showStatus(const StatusMessage& message);

    std::unique_ptr<Ui::MainWindow> ui;  // the form's units
    AppState state_;
    StatusLog statusLog_;
    class StatusHistoryWindow* statusHistory_ = nullptr;
    QTimer* fadeTimer_;
    DuplicatePhotoWindow* duplicateWindow_ = nullptr;
    SwapConfirmWindow* swapWindow_ = nullptr;
    bool swapAbove_ = false;  // rule B holds until the main window moves
    RosterState* rosterState_;
    RosterController* roster_ = nullptr;
};
