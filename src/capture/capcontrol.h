#pragma once
// The capture unit ("视频设备"): connects a capture source by 1-based index,
// shows its live picture filling the unit (centre-cropped, never stretched),
// records it to AVI and offers the three settings dialogs. Failures come
// back as false results with the reason in lastError().
#include "aviwriter.h"
#include "capturesource.h"
#include "fillgeometry.h"
#include "recorder.h"

#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace capture {
class CaptureSession;
struct FrameStamp;
struct Interrupt;
struct SourceKind;
struct OpenedInput;

// What StartCapture records, and how it may be ended.
struct CaptureRequest {
    QString file;  // empty = frames are streamed, nothing is written
    int periodMs = 41;
    int limitS = -1;  // -1 = no time limit
    bool keepSettings = false;  // use the period, limit and buttons of the last request
    bool askOk = false;  // there is no ready prompt: the station starts at once
    bool leftButtonAborts = false;
    bool rightButtonAborts = true;

    static CaptureRequest recording(const QString& file, int limitS = -1)
    {
        CaptureRequest r;
        r.file = file;
        r.limitS = limitS;
        return r;
    }
};
}  // namespace capture

class capControl : public QWidget {
    Q_OBJECT
public:
    explicit capControl(QWidget* parent = nullptr);
    ~capControl() override;

    // Properties.
    int driverCount() const;
    QString driverDescription() const;
    // Whether driver `index` (1-based) is the built-in test source.
    bool driverIsBuiltIn(int index) const;
    // The name of driver `index` (1-based), connected or not.
    QString driverName(int index) const;
    // 1-based; kAddressSource while an address is connected; -1 before any connection.
    int driverIndex() const { return driverIndex_; }
    void setDriverIndex(int index);
    static constexpr int kAddressSource = 0;
    // Connects a network address or a file without blocking the window: the
    // answer comes with addressConnected. Until then the old source stays;
    // a newer request replaces an older one still under way.
    void connectAddress(const capture::CaptureSource& source);
    // Also while a lost network source is opened again for the preview.
    bool isConnectingAddress() const { return bool(pendingOpen_); }
    QString lastError() const { return lastError_; }
    // Why the last driverIndex write was refused (busy, gone); empty after a success.
    QString connectionError() const { return connectionError_; }
    // The source the dialogs and the preview mean: the connected one, or the
    // one chosen last although it refused (busy at start).
    const capture::CaptureSource& chosenSource() const { return chosen_; }

    // Commands.
    bool ShowPreview(bool show, int rateMs);
    bool StartCapture(const capture::CaptureRequest& request);
    bool VideoFormatDialog();
    bool StopCapture();
    bool CompressionDialog();
    bool VideoSourceDialog();

    // State.
    bool isPreviewing() const { return previewing_; }
    // Also while a lost network source is opened again for a recording
    // that starts once it answers.
    bool isCapturing() const;
    int previewRate() const { return previewRateMs_; }
    capture::CaptureFormat captureFormat() const;
    // Reconnects the current source at another of its formats.
    bool setCaptureFormat(const capture::CaptureFormat& format);
    // How long the last painted frame waited between its arrival and its paint.
    qint64 lastPaintDelayNs() const { return lastPaintDelayNs_; }
    capture::CompressionSettings compression() const { return compression_; }
    void setCompression(const capture::CompressionSettings& s) { compression_ = s; }

    // For the photo pipeline: the newest full-resolution frame, and where a
    // rectangle of this unit lies in it (exactly what is painted there).
    QImage latestFrame() const;
    // The same, with when it arrived and the source's frame period, so its
    // age can be judged; a zero serial means no picture yet.
    QImage latestFrame(capture::FrameStamp* stamp) const;
    // Undoes the preview's mirror: photos and recordings are never mirrored.
    QRectF widgetToFrame(const QRectF& widgetRect) const;
    capture::FillMapping fillMapping() const;
    // Where a rectangle of this unit lies on a still of that size: through
    // the live view when there is one, else as if the still were previewed.
    QRectF widgetToStill(const QRectF& widgetRect, QSize stillSize) const;

    // Whether 照相 fires the connected source's shutter (a tethered camera)
    // rather than taking the newest frame.
    bool firesShutter() const;
    // The still for a photo: the shutter's picture at full resolution, or
    // for other sources the newest frame. `done` runs on this thread, also
    // with the reason when there is none; the stamp's serial is 0 then.
    using StillDone = std::function<void(Result<QImage> still, capture::FrameStamp stamp)>;
    void captureStill(StillDone done);

    // 拍照使用最高分辨率: where the camera offers a larger mode than the
    // preview's, a still is taken from it (switch, grab, switch back), kept
    // between runs. Only without a recording.
    bool stillFromBestMode() const { return bestModeStill_; }
    void setStillFromBestMode(bool on);
    // The larger mode a still would come from; nothing when there is none.
    std::optional<capture::CaptureFormat> bestStillFormat() const;

    // The preview mirrored left to right (kept between runs).
    bool previewMirrored() const { return mirrored_; }
    void setPreviewMirrored(bool on);

    // The connected source's pictures per second, measured (0 = not yet).
    double measuredFrameRate() const;
    // Damaged pictures the decoder dropped or mended since the source opened.
    qint64 damagedFrames() const;
    // "1280×720 MJPEG 30 fps": the format being read; empty with no picture.
    QString liveModeText() const;
    // A lost source is being looked for (it reconnects by itself).
    bool isAwaitingReturn() const { return awaitingReturn_; }

    // The capture backend ("capture window"). It is torn down with the unit;
    // tearDownBackend() does so early, after which every call fails with
    // its "窗口未创建" text.
    bool hasBackend() const { return backend_; }
    void tearDownBackend();

    // Recording figures of the current or last capture.
    qint64 framesRecorded() const;
    capture::Recorder::Stats recordingStats() const;
    // The connected source's reader, for tests and benchmarks that watch it.
    capture::CaptureSession* session() const { return session_.get(); }
    // The recorder, for tests that watch what it reports from its thread.
    const capture::Recorder* recorder() const { return recorder_.get(); }

signals:
    // The end of connectAddress: the address is connected, or why not.
    void addressConnected(bool ok, const QString& message);
    void frameCaptured(const QByteArray& bmpFile);
    // The previewed source stopped delivering; the preview is off.
    void previewLost(const QString& message);
    // The capture ended by itself: source lost or switched, write error, or
    // the time limit (message empty). The file is closed with its index.
    void captureEnded(const QString& message);
    // The capture was aborted with a mouse button.
    void captureAborted();
    // A lost source answers again and delivers pictures (not previewed yet).
    void sourceReturned(const QString& description);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool backendMissing(int call) const;
    using OpenAttempt = std::shared_ptr<Result<std::shared_ptr<capture::OpenedInput>>>;

    bool connectSource(const capture::CaptureSource& source);
    capture::CaptureFormat initialFormat(const capture::CaptureSource& source) const;
    // Opens a source on a worker thread; `done` runs here with the result
    // unless a newer request or a switch cancelled it.
    void openInBackground(const capture::CaptureSource& source, std::function<void(const OpenAttempt&)> done);
    void reopenForPreview();
    Status startRecorder();
    void endRecordingForSwitch();
    void cancelAddress();
    void refreshActivity();
    void onSourceLost(quint64 generation, const QString& message);
    void endCapture(quint64 generation, const QString& message);
    const capture::SourceKind& connectedKind() const;
    void applyRememberedControls(const capture::CaptureSource& source);
    void lookForReturn();
    void stopLookingForReturn();

    bool backend_ = true;
    mutable QString lastError_;
    QString connectionError_;
    int driverIndex_ = -1;
    capture::CaptureSource connected_;  // the source of driverIndex_
    capture::CaptureSource chosen_;  // the source last asked for, connected or not
    mutable QList<capture::CaptureSource> sources_;
    bool previewing_ = false;
    int previewRateMs_ = 60;
    bool leftAborts_ = false;
    bool rightAborts_ = false;
    // Capture parameters kept for StartCapture(keep = true).
    int keptPeriod_ = 67;
    int keptLimit_ = -1;
    bool keptLeft_ = true;
    bool keptRight_ = true;
    // A recording asked for while its network source is opened again: it
    // starts (into this file) when the source answers.
    bool captureWaiting_ = false;
    QString waitingFile_;
    capture::CompressionSettings compression_;
    // The format chosen for each source, kept when it is connected again.
    QHash<QString, capture::CaptureFormat> chosenFormats_;
    QFutureWatcher<OpenAttempt>* pendingOpen_ = nullptr;
    std::shared_ptr<capture::Interrupt> pendingInterrupt_;
    std::unique_ptr<capture::CaptureSession> session_;
    std::unique_ptr<capture::Recorder> recorder_;
    QTimer* repaint_;
    QTimer* returnTimer_;
    bool awaitingReturn_ = false;
    bool mirrored_ = false;
    bool bestModeStill_ = false;
    void captureBestModeStill(const capture::CaptureFormat& best, StillDone done);
    // An address opened but not read yet is kept open until the preview or a
    // recording reads it: a source serving one client would be used up.
    bool holdUnread_ = false;
    quint64 paintedSerial_ = 0;
    qint64 lastPaintDelayNs_ = 0;
    quint64 paintedSerialAtDelay_ = 0;
};
