#pragma once
// The capture unit ("视频设备"): connects a capture source by 1-based index,
// shows its live picture filling the unit (centre-cropped, never stretched),
// records it to AVI and offers the three settings dialogs. Failures come
// back as false results with the reason in lastError().
#include "aviwriter.h"
#include "capturesource.h"
#include "fillgeometry.h"
#include "recorder.h"

#include <QImage>
#include <QWidget>
#include <memory>

class QTimer;

namespace capture {
class CaptureSession;
}  // namespace capture

class capControl : public QWidget {
    Q_OBJECT
public:
    explicit capControl(QWidget* parent = nullptr);
    ~capControl() override;

    // Properties.
    int driverCount() const;
    QString driverDescription() const;
    int driverIndex() const { return driverIndex_; }
    void setDriverIndex(int index);
    QString lastError() const { return lastError_; }
    // Why the last driverIndex write was refused (busy, gone); empty after a success.
    QString connectionError() const { return connectionError_; }

    // Commands.
    bool ShowPreview(bool show, int rateMs);
    bool StartCapture(bool keep, const QString& file, int periodMs, bool askOk, bool leftAborts, bool rightAborts,
                      int limitS);
    bool VideoFormatDialog();
    bool StopCapture();
    bool CompressionDialog();
    bool VideoSourceDialog();

    // State.
    bool isPreviewing() const { return previewing_; }
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
    QRectF widgetToFrame(const QRectF& widgetRect) const;
    capture::FillMapping fillMapping() const;

    // The capture backend ("capture window"). It is torn down with the unit;
    // tearDownBackend() does so early, after which every call fails with
    // its "窗口未创建" text.
    bool hasBackend() const { return backend_; }
    void tearDownBackend();

    // Recording figures of the current or last capture.
    qint64 framesRecorded() const;
    capture::Recorder::Stats recordingStats() const;

signals:
    void frameCaptured(const QByteArray& bmpFile);
    // The previewed source stopped delivering; the preview is off.
    void previewLost(const QString& message);
    // The capture ended by itself: source lost, write error or time limit
    // (message empty). The file is closed with its index.
    void captureEnded(const QString& message);
    // The capture was aborted with a mouse button.
    void captureAborted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool connectSource(const capture::CaptureSource& source, const capture::CaptureFormat& format);
    void refreshActivity();
    void onSourceLost(const QString& message);
    void endCapture(const QString& message);

    bool backend_ = true;
    mutable QString lastError_;
    QString connectionError_;
    int driverIndex_ = -1;
    capture::CaptureSource connected_;  // the source of driverIndex_
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
    capture::CompressionSettings compression_;
    std::unique_ptr<capture::CaptureSession> session_;
    std::unique_ptr<capture::Recorder> recorder_;
    QTimer* repaint_;
    quint64 paintedSerial_ = 0;
    qint64 lastPaintDelayNs_ = 0;
    quint64 paintedSerialAtDelay_ = 0;
};
