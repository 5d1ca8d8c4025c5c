#pragma once
// One connected source: opened through libavdevice/libavformat, read,
// decoded and converted to QImage on a worker thread while someone needs
// pictures.
#include "capturesource.h"
#include "result.h"
#include "sourcekind.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace capture {

// Lets a blocking FFmpeg call give up: when asked to stop, or when its
// deadline has passed (a network source that went silent).
struct Interrupt {
    std::atomic<bool> stop{false};
    std::atomic<qint64> deadlineNs{0};  // 0 = none

    void arm(int timeoutMs);  // deadline = now + timeout; 0 = none
    bool expired() const;
    static int callback(void* opaque);
};

// When the newest picture arrived, for whoever must judge its age (a photo
// is not taken from a picture the camera stopped renewing).
struct FrameStamp {
    quint64 serial = 0;  // 0 = no picture yet
    qint64 arrivalMs = 0;  // std::chrono::steady_clock, in milliseconds
    qint64 periodMs = 0;  // the source's frame period, from its frame rate
    // A separate still (a picture file that arrived in a hot folder, a
    // tethered camera's capture) rather than a live frame: arrivalMs is when
    // it arrived, however old that is, and it must have arrived after the
    // current student was chosen.
    bool still = false;
};

// How long a camera or a network stream may send no picture before it
// counts as lost: 2 s, or four frame periods for a slow one. Its first
// picture may take as long as a network source gets to answer.
inline constexpr int kMinStallMs = 2000;
int stallTimeMs(double frameRate);

// A source opened and ready to be read. Made on any thread (opening a
// network source takes a while), then given to a session.
struct OpenedInput {
    CaptureSource source;
    ReaderPtr reader;
    std::shared_ptr<Interrupt> interrupt;  // the one it was opened with, kept for reading
};
using OpenedInputPtr = std::shared_ptr<OpenedInput>;

// Opens a source at a format (empty size = its default) through its kind.
// Blocks up to kNetworkTimeoutMs for network sources; `interrupt` cancels it.
Result<OpenedInputPtr> openInput(const CaptureSource& source, const CaptureFormat& format,
                                 const std::shared_ptr<Interrupt>& interrupt);

class CaptureSession : public QObject {
    Q_OBJECT
public:
    explicit CaptureSession(QObject* parent = nullptr);
    ~CaptureSession() override;

    // Opens the source at a format; closes the old one first.
    Status open(const CaptureSource& source, const CaptureFormat& format = {});
    // Takes over a source opened elsewhere; closes the old one first.
    void adopt(OpenedInputPtr opened);
    // Forgets the source.
    void close();
    // Lets the device go (a webcam's light goes off) but keeps the source
    // and format: the next start() opens it again.
    void release();
    bool isOpen() const { return bool(opened_); }
    // The source is known but must be opened again before it delivers
    // (let go, or lost).
    bool needsOpening() const { return hasSource_ && (!opened_ || dead_); }
    bool hasSource() const { return hasSource_; }
    const CaptureSource& source() const { return source_; }
    const CaptureFormat& format() const { return format_; }
    // The newest picture's size (a folder's pictures differ), else the opened one's.
    QSize frameSize() const;
    double frameRate() const { return frameRate_; }
    // Pictures per second over the last two seconds of reading (0 = not known yet).
    double measuredRate() const;
    // Damaged pictures since the source was opened (decoder messages counted).
    qint64 damagedPictures() const { return damaged_.load(); }
    const SourceKind& kind() const { return *kind_; }
    // The opened source delivers separate stills, not live frames.
    bool deliversStills() const { return stills_; }
    // The frame period in whole milliseconds; 0 before any opening.
    qint64 framePeriodMs() const;
    // Grows with every opening; reports carry the one they belong to.
    quint64 generation() const { return generation_; }

    // Starts or stops the reading thread. Stopping returns within one frame period.
    Status start();
    void stop();
    bool isRunning() const { return running_; }

    // The newest picture (full resolution, RGB32) and its sequence number
    // (0 = none yet). Safe from any thread.
    QImage latest(quint64* serial = nullptr, qint64* arrivalNs = nullptr) const;
    quint64 serial() const { return serial_.load(); }

    // Asks the reading thread for a still (the reader fires the shutter);
    // `done` runs on that thread with the picture or why not. False when
    // the reader is not running.
    using StillDone = std::function<void(Result<QImage>)>;
    bool requestStill(StillDone done);

signals:
    // The source stopped delivering (unplugged, busy, ended, network gone,
    // or a camera or stream that sent no picture for its stall time).
    // Raised from the reading thread with the generation it was reading;
    // the next start() opens the source afresh.
    void lost(quint64 generation, const QString& message);

private:
    void run(quint64 generation);
    qint64 publish(QImage picture, qint64 arrivalNs = 0);  // answers the arrival time

    CaptureSource source_;
    CaptureFormat format_;
    bool hasSource_ = false;
    OpenedInputPtr opened_;
    const SourceKind* kind_ = &kindOf(CaptureSource{});
    bool stills_ = false;
    QSize frameSize_;
    double frameRate_ = 0;
    quint64 generation_ = 0;
    std::shared_ptr<Interrupt> interrupt_ = std::make_shared<Interrupt>();  // the opened input's
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> dead_{false};
    mutable std::mutex frameMutex_;
    QImage latest_;
    qint64 latestArrivalNs_ = 0;
    std::atomic<quint64> serial_{0};
    std::atomic<qint64> damaged_{0};
    mutable std::mutex stillMutex_;
    StillDone stillDone_;
    std::atomic<bool> stillWanted_{false};
    // Arrival times of the recent pictures, for measuredRate().
    mutable std::mutex rateMutex_;
    QList<qint64> recentNs_;
};

}  // namespace capture
