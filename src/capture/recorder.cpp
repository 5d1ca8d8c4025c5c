#include "recorder.h"

#include "capturesession.h"

#include <chrono>

namespace capture {

Recorder::Recorder(QObject* parent)
    : QObject(parent)
{
}

Recorder::~Recorder()
{
    const Status r = stop();
    Q_UNUSED(r);
}

Recorder::Stats Recorder::stats() const
{
    std::lock_guard<std::mutex> lock(statsMutex_);
    return stats_;
}

Status Recorder::start(CaptureSession* session, const Settings& settings)
{
    const Status stopped = stop();
    Q_UNUSED(stopped);  // nothing was running, or its end was reported then
    if (!session || !session->isRunning())
        return failure(QStringLiteral("视频来源没有图像"));
    if (settings.periodMs <= 0)
        return failure(QStringLiteral("帧间隔无效"));
    if (!settings.path.isEmpty()) {
        const Status r = writer_.open(settings.path, session->frameSize(), settings.compression, settings.periodMs);
        if (!r)
            return r;
    }
    session_ = session;
    settings_ = settings;
    stopping_ = false;
    runError_.clear();
    {
        std::lock_guard<std::mutex> lock(statsMutex_);
        stats_ = {};
        t0_ = {};
    }
    thread_ = std::thread([this, g = ++generation_] { run(g); });
    return Status::success();
}

Status Recorder::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        stopAt_ = std::chrono::steady_clock::now();
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
        std::lock_guard<std::mutex> lock(statsMutex_);
        if (t0_ != std::chrono::steady_clock::time_point{})
            stats_.seconds = std::chrono::duration<double>(stopAt_ - t0_).count();
    }
    Status r = writer_.finish();
    if (!runError_.isEmpty())
        r = failure(runError_);
    runError_.clear();
    return r;
}

void Recorder::run(quint64 generation)
{
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(settings_.periodMs);
    const qint64 limitFrames = settings_.limitS >= 0 ? qint64(settings_.limitS) * 1000 / settings_.periodMs : -1;

    // The clock starts with the first picture.
    quint64 lastSerial = 0;
    QImage picture;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_ && (picture = session_->latest(&lastSerial)).isNull())
            wake_.wait_for(lock, std::chrono::milliseconds(5));
        if (stopping_)
            return;
    }
    const auto t0 = clock::now();
    {
        std::lock_guard<std::mutex> lock(statsMutex_);
        t0_ = t0;
    }
    auto periodAt = [&](clock::time_point t) { return qint64((t - t0) / period); };
    // Writes the picture for period n; the periods before it that are still
    // empty play the previous picture.
    auto fill = [&](qint64 n, quint64 serial) {
        {
            std::lock_guard<std::mutex> lock(statsMutex_);
            const qint64 owed = n - stats_.written;
            stats_.repeated += owed;
            stats_.late += owed;
            if (n > 0 && serial == lastSerial)
                ++stats_.repeated;
            else if (n > 0 && serial > lastSerial + 1)
                stats_.skipped += qint64(serial - lastSerial - 1);
            stats_.written = n + 1;
        }
        lastSerial = serial;
        if (writer_.isOpen()) {
            const Status r = writer_.write(picture, n);
            if (!r) {
                runError_ = r.error();
                emit writeFailed(generation, r.error());
                return false;
            }
        }
        if (settings_.streamFrames)
            emit frameStreamed(bmpFile(picture));
        return true;
    };

    qint64 next = 0;  // the first period not yet filled
    for (;;) {
        if (limitFrames >= 0 && next >= limitFrames) {
            emit limitReached(generation);
            return;
        }
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, t0 + next * period, [this] { return stopping_; }))
                break;
        }
        // Late by whole periods: those get the previous picture.
        qint64 n = std::max(next, periodAt(clock::now()));
        if (limitFrames >= 0)
            n = std::min(n, limitFrames - 1);
        quint64 serial = lastSerial;
        if (n > 0) {
            const QImage newest = session_->latest(&serial);
            if (!newest.isNull())
                picture = newest;
            else
                serial = lastSerial;
        }
        if (!fill(n, serial))
            return;
        next = n + 1;
    }
    // Stopped: the periods up to the stop are owed too.
    clock::time_point stopAt;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopAt = stopAt_;
    }
    qint64 last = periodAt(stopAt);
    if (limitFrames >= 0)
        last = std::min(last, limitFrames - 1);
    if (last >= next) {
        quint64 serial = lastSerial;
        const QImage newest = session_->latest(&serial);
        if (!newest.isNull())
            picture = newest;
        fill(last, serial);
    }
}

}  // namespace capture
