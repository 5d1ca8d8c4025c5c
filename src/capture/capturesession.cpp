#include "capturesession.h"

#include "ffmpegutil.h"

#include <QElapsedTimer>
#include <chrono>

namespace capture {

namespace {
void closeInput(AVFormatContext* c)
{
    avformat_close_input(&c);
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

struct CaptureSession::Impl {
    int stream = -1;
    ff::Codec decoder;
    ff::Sws sws;
};

CaptureSession::CaptureSession(QObject* parent)
    : QObject(parent)
{
}

CaptureSession::~CaptureSession()
{
    close();
}

int CaptureSession::interruptCallback(void* opaque)
{
    return static_cast<CaptureSession*>(opaque)->stopping_.load() ? 1 : 0;
}

OpenResult CaptureSession::open(const CaptureSource& source, const CaptureFormat& format)
{
    close();
    ff::registerDevices();
    source_ = {};
    CaptureFormat chosen = format;
    if (source.builtIn && chosen.size.isEmpty())
        chosen = testCameraFormats().first();

    const AVInputFormat* fmt = av_find_input_format(source.inputFormat.toUtf8().constData());
    if (!fmt)
        return {false, QStringLiteral("此系统不支持视频输入 %1").arg(source.inputFormat)};

    AVDictionary* opts = nullptr;
    if (!source.builtIn) {
        const CaptureFormat& f = chosen;
        if (!f.size.isEmpty())
            av_dict_set(&opts, "video_size",
                        QStringLiteral("%1x%2").arg(f.size.width()).arg(f.size.height()).toUtf8().constData(), 0);
        if (!f.pixelFormat.isEmpty())
            av_dict_set(&opts, source.inputFormat == QLatin1String("v4l2") ? "input_format" : "pixel_format",
                        f.pixelFormat.toUtf8().constData(), 0);
        if (f.frameRate > 0)
            av_dict_set(&opts, "framerate", QByteArray::number(f.frameRate).constData(), 0);
    }

    AVFormatContext* ctx = avformat_alloc_context();
    ctx->interrupt_callback = {&CaptureSession::interruptCallback, this};
    // Never block inside a read: the worker polls, so a stop is seen at once.
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    stopping_ = false;
    const QByteArray url = source.builtIn ? testCameraGraph(chosen).toUtf8() : source.url.toUtf8();
    const int rc = avformat_open_input(&ctx, url.constData(), fmt, &opts);
    av_dict_free(&opts);
    if (rc < 0)  // ctx is freed by FFmpeg on failure
        return {false, QStringLiteral("无法打开视频来源 %1：%2").arg(source.description, ff::errorText(rc))};
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> in(ctx, &closeInput);

    int stream = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
        if (ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            stream = int(i);
            break;
        }
    if (stream < 0)
        return {false, QStringLiteral("视频来源 %1 没有图像").arg(source.description)};
    const AVCodecParameters* par = ctx->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec)
        return {false, QStringLiteral("视频来源 %1 的格式无法解码").arg(source.description)};
    ff::Codec dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0)
        return {false, QStringLiteral("视频来源 %1 的格式无法解码").arg(source.description)};
    if (par->width <= 0 || par->height <= 0)
        return {false, QStringLiteral("视频来源 %1 没有图像尺寸").arg(source.description)};

    d_ = std::make_unique<Impl>();
    d_->stream = stream;
    d_->decoder = std::move(dec);
    frameSize_ = QSize(par->width, par->height);
    const AVRational r = ctx->streams[stream]->avg_frame_rate.num ? ctx->streams[stream]->avg_frame_rate
                                                                  : ctx->streams[stream]->r_frame_rate;
    frameRate_ = r.num && r.den ? av_q2d(r) : 30.0;
    if (chosen.size.isEmpty())
        chosen.size = frameSize_;
    source_ = source;
    format_ = chosen;
    input_ = std::move(in);
    dead_ = false;
    return {true, {}};
}

void CaptureSession::close()
{
    stop();
    input_.reset();
    d_.reset();
    std::lock_guard<std::mutex> lock(frameMutex_);
    latest_ = QImage();
    serial_ = 0;
}

OpenResult CaptureSession::start()
{
    if (running_)
        return {true, {}};
    if (thread_.joinable())
        thread_.join();  // a reader that ended by itself
    if (!input_ || dead_) {
        if (source_.inputFormat.isEmpty())
            return {false, QStringLiteral("未连接视频来源")};
        const CaptureSource s = source_;
        const CaptureFormat f = format_;
        const OpenResult r = open(s, f);  // a source that ended is opened afresh
        if (!r.ok) {
            // Still gone: keep what to open, so a later start finds it once it is back.
            source_ = s;
            format_ = f;
            return r;
        }
    }
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return {true, {}};
}

void CaptureSession::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    stopping_ = false;
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

void CaptureSession::run()
{
    ff::Packet pkt(av_packet_alloc());
    ff::Frame frame(av_frame_alloc());
    AVFormatContext* ctx = input_.get();
    AVCodecContext* dec = d_->decoder.get();
    QString failure;

    auto convert = [&] {
        const int w = frame->width, h = frame->height;
        SwsContext* s = sws_getCachedContext(d_->sws.release(), w, h, AVPixelFormat(frame->format), w, h,
                                             AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        d_->sws.reset(s);
        if (!s)
            return;
        QImage img(w, h, QImage::Format_RGB32);
        uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(s, frame->data, frame->linesize, 0, h, dst, dstStride);
        const qint64 t = nowNs();
        std::lock_guard<std::mutex> lock(frameMutex_);
        latest_ = std::move(img);
        latestArrivalNs_ = t;
        ++serial_;
    };

    while (!stopping_) {
        int rc = av_read_frame(ctx, pkt.get());
        if (rc == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (rc < 0) {
            if (!stopping_)
                failure = rc == AVERROR_EOF ? QStringLiteral("视频来源已停止发送图像")
                                            : QStringLiteral("视频来源已断开：%1").arg(ff::errorText(rc));
            break;
        }
        if (pkt->stream_index == d_->stream && avcodec_send_packet(dec, pkt.get()) >= 0) {
            while (avcodec_receive_frame(dec, frame.get()) >= 0) {
                convert();
                av_frame_unref(frame.get());
            }
        }
        av_packet_unref(pkt.get());
    }
    if (!failure.isEmpty()) {
        dead_ = true;
        running_ = false;
        emit lost(failure);
    }
}

}  // namespace capture
