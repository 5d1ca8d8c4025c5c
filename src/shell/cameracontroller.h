#pragma once
#include "capturestate.h"

#include <QColor>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;
class ShapeBox;
class capControl;

// The main window's units that the camera side drives, and the few window
// operations it calls; the window fills it in.
struct CameraUnits {
    QWidget* window = nullptr;  // its closing stops a recording
    capControl* device = nullptr;  // 视频设备
    QComboBox* deviceBox = nullptr;  // 组合框
    QPushButton* detect = nullptr;  // 按钮检测设备
    QPushButton* preview = nullptr;  // 预览按钮
    QPushButton* formatButton = nullptr;  // 按钮2
    QPushButton* sourceButton = nullptr;  // 视频输出按钮
    QPushButton* compressionButton = nullptr;  // 压缩格式按钮
    QPushButton* record = nullptr;  // 录制按钮
    QPushButton* stopRecord = nullptr;  // 结束录制按钮
    QPushButton* takePhoto = nullptr;  // 按钮照相
    QLabel* previewState = nullptr;  // 标签3
    QWidget* helpText = nullptr;  // 透明标签16
    QWidget* picture111 = nullptr;  // 图片框111
    QWidget* picture1111 = nullptr;  // 图片框1111
    QWidget* picture2 = nullptr;  // 图片框2
    std::array<QWidget*, 3> photoEdits{};  // 编辑框5, 编辑框3, 编辑框4
    ShapeBox* frame = nullptr;  // 外形框1
    std::function<void(const QString&)> setStatus;
    std::function<void()> showFrame, hideFrame, refreshFrameShape;
};

// The camera side of the main window: detecting and listing the capture
// sources in the device box, connecting the chosen one (or an address),
// the preview switch with the controls it enables, the three settings
// buttons and recording. The state lives in state(); the units show it.
class CameraController : public QObject {
    Q_OBJECT
public:
    // Whether the driver shown first is connected at once or left to
    // ConnectShownDriver().
    enum class FirstConnection { Now, Later };
    explicit CameraController(const CameraUnits& units, FirstConnection first = FirstConnection::Now);

    capControl* device() const { return u_.device; }
    const capture::CaptureState& state() const { return state_; }

    // Lists the drivers again, one per event-loop turn; listingFinished follows.
    void DetectDevices();
    bool isListing() const;
    void ConnectChosenDriver(int comboIndex);
    // Connects the driver shown as selected when nothing is connected yet.
    void ConnectShownDriver();
    // Connects an address (network camera or file) or a hot folder and
    // selects its entry.
    void UseAddress(const QString& address);
    void TogglePreview();
    void StartRecording();
    void StopRecording();

    // The viewfinder line colours, as 0x00BBGGRR values.
    static const std::array<unsigned, 10> frameColours;
    static QColor colourOf(unsigned bgr);
    // The line colour last given to the viewfinder frame.
    QColor frameColour() const { return frameColour_; }
    // The entries of the device box that ask for an address, or a hot folder.
    static QString addressEntryText();
    static QString folderEntryText();
    static constexpr int kFolderEntry = -2;

signals:
    void listingFinished();
    // The end of an address connection: connected, or the reason it was not.
    void addressFinished(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void beginListing();
    bool listNextDriver();
    void finishListing(bool connectShown = true);
    void pickFrameColour();
    void showPreviewOffState();
    void finishRecording();
    QString recordingEndText() const;
    bool refuseWhileRecording();
    bool hasSource() const;
    void selectItem(int index);
    int addressItem() const;
    int folderItem() const;
    bool asksForSource(int item) const;
    void askForAddress();
    void connectAddress(const QString& address);
    void onAddressConnected(bool ok, const QString& message);
    void onPreviewLost(const QString& message);
    void onCaptureEnded(const QString& message);
    void onSourceReturned(const QString& description);
    void askForFolder();
    void showPreviewOnState();
    void watchRate();

    CameraUnits u_;
    capture::CaptureState state_;
    QTimer* listTimer_;
    int listed_ = 0;  // drivers listed so far in a running listing
    int shownItem_ = -1;  // the box item of the connected source
    bool previewForRecording_ = false;  // the preview is on because a recording started
    QColor frameColour_;
    // The loss a recording just ended with: the preview's loss that follows
    // is the same news and is not told again.
    QString lossTold_;
    // The preview was on (or a recording ran) when the source was lost: it
    // comes back on when the source does.
    bool previewWanted_ = false;
    QTimer* rateTimer_;
    int slowSeconds_ = 0;
    QString recordingPath_;  // the file of the last recording started
};
