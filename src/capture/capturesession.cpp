#include "capturesession.h"

#include "cameraerror.h"
#include "ffmpegutil.h"

#include <QFile>
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

QString noPicture(const CaptureSource& s)
{
    return QStringLiteral("视频来源 %1 没有图像").arg(s.description);
}

bool isCamera(const CaptureSource& s)
{
    return s.inputFormat == QLatin1String("v4l2");
}

// Cameras and network streams send at their own pace and may stop without
// a word; files, pictures and the lavfi graphs are paced here and never do.
bool mayStall(const CaptureSource& s)
{
    return s.isNetwork() || (!s.isAddress() && s.inputFormat != QLatin1String("lavfi"));
}

// Seconds for a message: "2", "2.7".
QString seconds(qint64 ms)
{
    return QString::number(std::round(double(ms) / 100.0) / 10.0);
}

// A system error number inside an FFmpeg result (FFmpeg's own codes are tags far below).
bool isErrno(int rc)
{
    return rc < 0 && rc > -4096;
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

struct OpenedInput {
    CaptureSource source;
    CaptureFormat format;
    ff::Input input;
    ff::Codec decoder;
    ff::Sws sws;
    int stream = -1;
    QSize frameSize;
    double frameRate = 0;
    std::shared_ptr<Interrupt> interrupt;  // the callback FFmpeg was opened with
};

Result<OpenedInputPtr> openInput(const CaptureSource& source, const CaptureFormat& format,
                                 const std::shared_ptr<Interrupt>& interruptPtr)
{
    Interrupt& interrupt = *interruptPtr;
    ff::registerDevices();
    CaptureFormat chosen = format;
    if (source.builtIn && chosen.size.isEmpty())
        chosen = testCameraFormats().first();

    const AVInputFormat* fmt = nullptr;
    if (!source.isAddress()) {
        fmt = av_find_input_format(source.inputFormat.toUtf8().constData());
        if (!fmt)
            return failure(QStringLiteral("此系统不支持视频输入 %1").arg(source.inputFormat));
    }

    ff::Dict opts;
    if (source.isAddress()) {
        // A file name is a name, not a numbered pattern; a socket gives up in time.
        ff::setOption(opts, "pattern_type", "none");
        if (source.isNetwork())
            ff::setOption(opts, "timeout", QByteArray::number(qint64(kNetworkTimeoutMs) * 1000));
    } else if (!source.builtIn) {
        const CaptureFormat& f = chosen;
        if (!f.size.isEmpty())
            ff::setOption(opts, "video_size",
                          QStringLiteral("%1x%2").arg(f.size.width()).arg(f.size.height()).toUtf8());
        if (!f.pixelFormat.isEmpty())
            ff::setOption(opts, source.inputFormat == QLatin1String("v4l2") ? "input_format" : "pixel_format",
                          f.pixelFormat.toUtf8());
        if (f.frameRate > 0)
            ff::setOption(opts, "framerate", QByteArray::number(f.frameRate));
    }

    ff::Input in(avformat_alloc_context());
    if (!in)
        return failure(QStringLiteral("内存不足，无法打开视频来源 %1").arg(source.description));
    in->interrupt_callback = {&Interrupt::callback, &interrupt};
    if (source.isAddress()) {
        // Enough of the stream to know its picture size, not seconds of it.
        in->probesize = 2000000;
        in->max_analyze_duration = 2 * AV_TIME_BASE;
    } else {
        // Never block inside a device read: the worker polls, so a stop is seen at once.
        in->flags |= AVFMT_FLAG_NONBLOCK;
    }
    const QByteArray url = source.builtIn    ? testCameraGraph(chosen).toUtf8()
                           : source.isFile() ? QFile::encodeName(source.url)
                                             : source.url.toUtf8();
    interrupt.arm(source.isNetwork() ? kNetworkTimeoutMs : 0);
    AVFormatContext* raw = in.release();
    AVDictionary* rawOpts = opts.release();
    int rc = avformat_open_input(&raw, url.constData(), fmt, &rawOpts);  // frees raw on failure
    opts.reset(rawOpts);
    if (rc < 0) {
        const QString why =
            interrupt.expired() ? QStringLiteral("%1 秒内没有应答").arg(kNetworkTimeoutMs / 1000) : ff::errorText(rc);
        interrupt.arm(0);
        if (isCamera(source) && isErrno(rc))
            return failure(AVUNERROR(rc) == EBUSY ? cameraBusyText(source.description)
                                                  : cameraErrorText(AVUNERROR(rc), source.description));
        return failure(QStringLiteral("无法打开视频来源 %1：%2").arg(source.description, why));
    }
    in.reset(raw);
    if (source.isAddress()) {
        rc = avformat_find_stream_info(raw, nullptr);
        if (rc < 0) {
            const QString why = interrupt.expired()
                                    ? QStringLiteral("%1 秒内没有收到图像").arg(kNetworkTimeoutMs / 1000)
                                    : ff::errorText(rc);
            interrupt.arm(0);
            return failure(QStringLiteral("无法打开视频来源 %1：%2").arg(source.description, why));
        }
    }
    interrupt.arm(0);

    int stream = -1;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            stream = int(i);
            break;
        }
    if (stream < 0)
        return failure(noPicture(source));
    const AVCodecParameters* par = raw->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec)
        return failure(QStringLiteral("视频来源 %1 的格式无法解码").arg(source.description));
    ff::Codec dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0)
        return failure(QStringLiteral("视频来源 %1 的格式无法解码").arg(source.description));
    if (par->width <= 0 || par->height <= 0)
        return failure(QStringLiteral("视频来源 %1 没有图像尺寸").arg(source.description));

    auto opened = std::make_shared<OpenedInput>();
    opened->source = source;
    opened->stream = stream;
    opened->decoder = std::move(dec);
    opened->frameSize = QSize(par->width, par->height);
    const AVStream* st = raw->streams[stream];
    const AVRational r = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
    opened->frameRate = r.num && r.den ? av_q2d(r) : 30.0;
    if (opened->frameRate <= 0 || opened->frameRate > 120)
        opened->frameRate = 25.0;
    if (chosen.size.isEmpty())
        chosen.size = opened->frameSize;
    opened->format = chosen;
    opened->input = std::move(in);
    opened->interrupt = interruptPtr;
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
    opened_->input->interrupt_callback = {&Interrupt::callback, interrupt_.get()};
    source_ = opened_->source;
    format_ = opened_->format;
    frameSize_ = opened_->frameSize;
    frameRate_ = opened_->frameRate;
    hasSource_ = true;
    dead_ = false;
    ++generation_;
}

void CaptureSession::release()
{
    stop();
    opened_.reset();
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

qint64 CaptureSession::publish(QImage picture)
{
    const qint64 t = nowNs();
    std::lock_guard<std::mutex> lock(frameMutex_);
    latest_ = std::move(picture);
    latestArrivalNs_ = t;
    ++serial_;
    return t;
}

void CaptureSession::run(quint64 generation)
{
    OpenedInput& in = *opened_;
    ff::Packet pkt(av_packet_alloc());
    ff::Frame frame(av_frame_alloc());
    AVFormatContext* ctx = in.input.get();
    AVCodecContext* dec = in.decoder.get();
    const bool network = in.source.isNetwork();
    // Files play at their own rate and start again at their end.
    const bool paced = in.source.isFile();
    const qint64 periodNs = qint64(1e9 / in.frameRate);
    const qint64 paceStart = nowNs();
    qint64 delivered = 0;  // pictures since the start, for the pace
    int thisRound = 0;  // pictures since the file last started
    QString failureText;

    // A camera that stops sending is reported like one that is unplugged. A
    // first picture may take longer (exposure settling, a stream's buffering):
    // as long as a network source gets to answer.
    const qint64 stallMs = mayStall(in.source) ? stallTimeMs(in.frameRate) : 0;
    const qint64 firstMs = std::max<qint64>(stallMs, kNetworkTimeoutMs);
    qint64 freshNs = nowNs();  // the newest picture's arrival, or the start
    auto allowedMs = [&] { return delivered > 0 ? stallMs : firstMs; };
    auto stalledText = [&] {
        return delivered > 0 ? QStringLiteral("视频来源 %1 已停止发送图像（%2 秒没有新画面）")
                                   .arg(in.source.description, seconds(stallMs))
                             : QStringLiteral("视频来源 %1 没有发送图像（%2 秒没有画面）")
                                   .arg(in.source.description, seconds(firstMs));
    };

    auto waitForTurn = [&] {
        const qint64 due = paceStart + delivered * periodNs;
        while (!interrupt_->stop) {
            const qint64 left = due - nowNs();
            if (left <= 0)
                break;
            std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<qint64>(left, 20000000)));
        }
    };
    auto convert = [&] {
        const int w = frame->width, h = frame->height;
        SwsContext* s = sws_getCachedContext(in.sws.release(), w, h, AVPixelFormat(frame->format), w, h,
                                             AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        in.sws.reset(s);
        if (!s)
            return;
        QImage img(w, h, QImage::Format_RGB32);
        uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(s, frame->data, frame->linesize, 0, h, dst, dstStride);
        if (paced)
            waitForTurn();
        freshNs = publish(std::move(img));
        ++delivered;
        ++thisRound;
    };
    auto receiveAll = [&] {
        while (avcodec_receive_frame(dec, frame.get()) >= 0) {
            convert();
            av_frame_unref(frame.get());
        }
    };

    while (!interrupt_->stop) {
        if (stallMs > 0 && nowNs() - freshNs > allowedMs() * 1000000) {
            failureText = stalledText();
            break;
        }
        // A network read gives up at the same moment.
        if (network)
            interrupt_->deadlineNs = freshNs + allowedMs() * 1000000;
        const int rc = av_read_frame(ctx, pkt.get());
        if (rc == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (rc == AVERROR_EOF && paced && !interrupt_->stop) {
            avcodec_send_packet(dec, nullptr);
            receiveAll();
            if (thisRound == 0) {
                failureText = noPicture(in.source);
                break;
            }
            if (thisRound == 1) {
                // A still picture: shown again at the pace, nothing to read.
                const QImage still = latest();
                while (!interrupt_->stop) {
                    waitForTurn();
                    if (interrupt_->stop)
                        break;
                    publish(still);
                    ++delivered;
                }
                break;
            }
            if (avformat_seek_file(ctx, -1, INT64_MIN, 0, 0, 0) < 0 &&
                av_seek_frame(ctx, in.stream, 0, AVSEEK_FLAG_BACKWARD) < 0) {
                failureText = QStringLiteral("视频来源 %1 无法从头播放").arg(in.source.description);
                break;
            }
            avcodec_flush_buffers(dec);
            thisRound = 0;
            continue;
        }
        if (rc < 0) {
            if (interrupt_->stop)
                break;
            if (isCamera(in.source) && isErrno(rc))
                failureText = cameraErrorText(AVUNERROR(rc), in.source.description);
            else if (interrupt_->expired())
                failureText = stalledText();  // a network read that outlived the stall time
            else if (rc == AVERROR_EOF)
                failureText = QStringLiteral("视频来源已停止发送图像");
            else
                failureText = QStringLiteral("视频来源已断开：%1").arg(ff::errorText(rc));
            break;
        }
        if (pkt->stream_index == in.stream && avcodec_send_packet(dec, pkt.get()) >= 0)
            receiveAll();
        av_packet_unref(pkt.get());
    }
    interrupt_->arm(0);
    if (!failureText.isEmpty()) {
        dead_ = true;
        running_ = false;
        emit lost(generation, failureText);
    }
}

}  // namespace capture
