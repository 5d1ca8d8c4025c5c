#pragma once
// One connected source: opened through libavdevice, read, decoded and
// converted to QImage on a worker thread while someone needs pictures.
#include "capturesource.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <atomic>
#include <mutex>
#include <thread>

struct AVFormatContext;

namespace capture {

struct OpenResult {
    bool ok = false;
    QString error;
};

class CaptureSession : public QObject {
    Q_OBJECT
public:
    explicit CaptureSession(QObject* parent = nullptr);
    ~CaptureSession() override;

    // Opens the source at a format (empty size = its default); closes the old one first.
    OpenResult open(const CaptureSource& source, const CaptureFormat& format = {});
    void close();
    bool isOpen() const { return bool(input_); }
    const CaptureSource& source() const { return source_; }
    const CaptureFormat& format() const { return format_; }
    QSize frameSize() const { return frameSize_; }
    double frameRate() const { return frameRate_; }

    // Starts or stops the reading thread. Stopping returns within one frame period.
    OpenResult start();
    void stop();
    bool isRunning() const { return running_; }

    // The newest picture (full resolution, RGB32) and its sequence number
    // (0 = none yet). Safe from any thread.
    QImage latest(quint64* serial = nullptr, qint64* arrivalNs = nullptr) const;
    quint64 serial() const { return serial_.load(); }

signals:
    // The source stopped delivering (unplugged, busy, ended). Raised from the
    // reading thread; the next start() opens the source afresh.
    void lost(const QString& message);

private:
    void run();
    static int interruptCallback(void* opaque);

    CaptureSource source_;
    CaptureFormat format_;
    struct Impl;
    std::unique_ptr<Impl> d_;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> input_{nullptr, nullptr};
    QSize frameSize_;
    double frameRate_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> dead_{false};
    mutable std::mutex frameMutex_;
    QImage latest_;
    qint64 latestArrivalNs_ = 0;
    std::atomic<quint64> serial_{0};
};

}  // namespace capture
