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
    stop();
}

Recorder::Stats Recorder::stats() const
{
    std::lock_guard<std::mutex> lock(statsMutex_);
    return stats_;
}

AviWriter::Result Recorder::start(CaptureSession* session, const Settings& settings)
{
    stop();
    if (!session || !session->isRunning())
        return {false, AviWriter::Failure::Write, QStringLiteral("视频来源没有图像")};
    if (settings.periodMs <= 0)
        return {false, AviWriter::Failure::Codec, QStringLiteral("帧间隔无效")};
    if (!settings.path.isEmpty()) {
        const AviWriter::Result r =
            writer_.open(settings.path, session->frameSize(), settings.compression, settings.periodMs);
        if (!r.ok)
            return r;
    }
    session_ = session;
    settings_ = settings;
    stopping_ = false;
    runError_ = {};
    {
        std::lock_guard<std::mutex> lock(statsMutex_);
        stats_ = {};
        t0_ = {};
    }
    thread_ = std::thread([this] { run(); });
    return {};
}

AviWriter::Result Recorder::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
        std::lock_guard<std::mutex> lock(statsMutex_);
        if (t0_ != std::chrono::steady_clock::time_point{})
            stats_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0_).count();
    }
    AviWriter::Result r = writer_.finish();
    if (!runError_.ok)
        r = runError_;
    runError_ = {};
    return r;
}

void Recorder::run()
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
    for (qint64 n = 0;; ++n) {
        if (limitFrames >= 0 && n >= limitFrames) {
            emit limitReached();
            return;
        }
        const auto due = t0 + n * period;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, due, [this] { return stopping_; }))
                return;
        }
        const bool late = clock::now() - due > period;
        quint64 serial = 0;
        if (n > 0) {
            const QImage next = session_->latest(&serial);
            if (!next.isNull())
                picture = next;
        } else {
            serial = lastSerial;
        }
        {
            std::lock_guard<std::mutex> lock(statsMutex_);
            if (n > 0 && serial == lastSerial)
                ++stats_.repeated;
            else if (n > 0 && serial > lastSerial + 1)
                stats_.skipped += qint64(serial - lastSerial - 1);
            if (late)
                ++stats_.late;
            ++stats_.written;
        }
        lastSerial = serial;
        if (writer_.isOpen()) {
            const AviWriter::Result r = writer_.write(picture);
            if (!r.ok) {
                runError_ = r;
                emit writeFailed(r.error);
                return;
            }
        }
        if (settings_.streamFrames)
            emit frameStreamed(bmpFile(picture));
    }
}

}  // namespace capture
