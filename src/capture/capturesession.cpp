#include "capturesession.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace capture {

namespace {
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Seconds for a message: "2", "2.7".
QString seconds(qint64 ms)
{
    return QString::number(std::round(double(ms) / 100.0) / 10.0);
}

}  // namespace

int stallTimeMs(double frameRate)
{
    const int fourPeriods = frameRate > 0 ? int(std::lround(4000.0 / frameRate)) : 0;
    return std::max(kMinStallMs, fourPeriods);
}

void Interrupt::arm(int timeoutMs)
{
    deadlineNs = timeoutMs > 0 ? nowNs() + qint64(timeoutMs) * 1000000 : 0;
}

bool Interrupt::expired() const
{
    const qint64 d = deadlineNs.load();
    return d != 0 && nowNs() > d;
}

int Interrupt::callback(void* opaque)
{
    const auto* i = static_cast<const Interrupt*>(opaque);
    return i->stop.load() || i->expired() ? 1 : 0;
}

Result<OpenedInputPtr> openInput(const CaptureSource& source, const CaptureFormat& format,
                                 const std::shared_ptr<Interrupt>& interrupt)
{
    Result<ReaderPtr> r = openReader(source, format, interrupt);
    if (!r)
        return failure(r.error());
    auto opened = std::make_shared<OpenedInput>();
    opened->source = source;
    opened->reader = std::move(r).value();
    opened->interrupt = interrupt;
    return opened;
}

CaptureSession::CaptureSession(QObject* parent)
    : QObject(parent)
{
}

CaptureSession::~CaptureSession()
{
    close();
}

Status CaptureSession::open(const CaptureSource& source, const CaptureFormat& format)
{
    close();
    interrupt_->stop = false;
    Result<OpenedInputPtr> r = openInput(source, format, interrupt_);
    if (!r)
        return failure(r.error());
    adopt(std::move(r).value());
    return Status::success();
}

void CaptureSession::adopt(OpenedInputPtr opened)
{
    close();
    if (!opened)
        return;
    opened_ = std::move(opened);
    interrupt_ = opened_->interrupt;
    interrupt_->stop = false;
    source_ = opened_->source;
    kind_ = &kindOf(source_);
    format_ = opened_->reader->format();
    frameSize_ = opened_->reader->frameSize();
    frameRate_ = opened_->reader->frameRate();
    stills_ = opened_->reader->stills();
    damaged_ = 0;
    hasSource_ = true;
    dead_ = false;
    ++generation_;
}

void CaptureSession::release()
{
    stop();
    opened_.reset();
    {
        std::lock_guard<std::mutex> lock(rateMutex_);
        recentNs_.clear();
    }
    std::lock_guard<std::mutex> lock(frameMutex_);
    latest_ = QImage();
    serial_ = 0;
}

void CaptureSession::close()
{
    release();
    source_ = {};
    format_ = {};
    hasSource_ = false;
}

Status CaptureSession::start()
{
    if (running_)
        return Status::success();
    if (thread_.joinable())
        thread_.join();  // a reader that ended by itself
    if (!opened_ || dead_) {
        if (!hasSource_)
            return failure(QStringLiteral("未连接视频来源"));
        const CaptureSource s = source_;
        const CaptureFormat f = format_;
        const Status r = open(s, f);  // a source that ended or was let go is opened afresh
        if (!r) {
            // Still gone: keep what to open, so a later start finds it once it is back.
            source_ = s;
            format_ = f;
            hasSource_ = true;
            return r;
        }
    }
    interrupt_->stop = false;
    running_ = true;
    thread_ = std::thread([this, g = generation_] { run(g); });
    return Status::success();
}

void CaptureSession::stop()
{
    interrupt_->stop = true;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    interrupt_->stop = false;
    // A still asked for but not taken is answered, so nobody waits for it.
    StillDone done;
    {
        std::lock_guard<std::mutex> lock(stillMutex_);
        done = std::move(stillDone_);
        stillDone_ = nullptr;
        stillWanted_ = false;
    }
    if (done)
        done(failure(QStringLiteral("视频来源已关闭，没有拍照。")));
}

bool CaptureSession::requestStill(StillDone done)
{
    if (!running_)
        return false;
    std::lock_guard<std::mutex> lock(stillMutex_);
    if (stillDone_)
        return false;  // one shutter at a time
    stillDone_ = std::move(done);
    stillWanted_ = true;
    return true;
}

QSize CaptureSession::frameSize() const
{
    std::lock_guard<std::mutex> lock(frameMutex_);
    return latest_.isNull() ? frameSize_ : latest_.size();
}

double CaptureSession::measuredRate() const
{
    std::lock_guard<std::mutex> lock(rateMutex_);
    if (recentNs_.size() < 3)
        return 0;
    const qint64 span = recentNs_.last() - recentNs_.first();
    // Less than a second of pictures says little about a rate.
    if (span < 1000000000)
        return 0;
    return double(recentNs_.size() - 1) * 1e9 / double(span);
}

qint64 CaptureSession::framePeriodMs() const
{
    return frameRate_ > 0 ? std::llround(1000.0 / frameRate_) : 0;
}

QImage CaptureSession::latest(quint64* serial, qint64* arrivalNs) const
{
    std::lock_guard<std::mutex> lock(frameMutex_);
    if (serial)
        *serial = serial_.load();
    if (arrivalNs)
        *arrivalNs = latestArrivalNs_;
    return latest_;
}

qint64 CaptureSession::publish(QImage picture, qint64 arrivalNs)
{
    const qint64 now = nowNs();
    const qint64 t = arrivalNs ? arrivalNs : now;
    {
        std::lock_guard<std::mutex> lock(rateMutex_);
        recentNs_.append(now);
        while (recentNs_.size() > 2 && now - recentNs_.first() > 2000000000)
            recentNs_.removeFirst();
    }
    std::lock_guard<std::mutex> lock(frameMutex_);
    latest_ = std::move(picture);
    latestArrivalNs_ = t;
    ++serial_;
    return t;
}

void CaptureSession::run(quint64 generation)
{
    SourceReader& reader = *opened_->reader;
    const SourceKind& kind = *kind_;
    const QString description = source_.description;
    qint64 delivered = 0;
    QString failureText;

    // A camera that stops sending is reported like one that is unplugged. A
    // first picture may take longer (exposure settling, a stream's buffering):
    // as long as a network source gets to answer.
    const qint64 stallMs = kind.stalls ? stallTimeMs(frameRate_) : 0;
    const qint64 firstMs = std::max<qint64>(stallMs, kNetworkTimeoutMs);
    qint64 freshNs = nowNs();  // the newest picture's arrival, or the start
    auto allowedMs = [&] { return delivered > 0 ? stallMs : firstMs; };
    auto stalledText = [&] {
        return delivered > 0
                   ? QStringLiteral("视频来源 %1 已停止发送图像（%2 秒没有新画面）").arg(description, seconds(stallMs))
                   : QStringLiteral("视频来源 %1 没有发送图像（%2 秒没有画面）").arg(description, seconds(firstMs));
    };

    while (!interrupt_->stop) {
        if (stillWanted_) {
            StillDone done;
            {
                std::lock_guard<std::mutex> lock(stillMutex_);
                done = std::move(stillDone_);
                stillDone_ = nullptr;
                stillWanted_ = false;
            }
            if (done)
                done(reader.captureStill(*interrupt_));
            // The live view paused for the shutter: that is no stall.
            freshNs = nowNs();
            continue;
        }
        if (stallMs > 0 && nowNs() - freshNs > allowedMs() * 1000000) {
            failureText = stalledText();
            break;
        }
        const qint64 deadline = stallMs > 0 ? freshNs + allowedMs() * 1000000 : 0;
        SourceReader::Read r = reader.next(*interrupt_, deadline);
        damaged_ = reader.damagedPictures();
        if (r.outcome == SourceReader::Read::Outcome::Picture) {
            publish(std::move(r.picture.image), r.picture.arrivalNs);
            freshNs = nowNs();
            ++delivered;
        } else if (r.outcome == SourceReader::Read::Outcome::Failed) {
            if (interrupt_->stop)
                break;
            failureText = r.stalled || r.error.isEmpty() ? stalledText() : r.error;
            break;
        }
    }
    interrupt_->arm(0);
    if (!failureText.isEmpty()) {
        dead_ = true;
        running_ = false;
        emit lost(generation, failureText);
    }
}

}  // namespace capture
