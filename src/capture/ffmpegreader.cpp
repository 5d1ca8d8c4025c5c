#include "ffmpegreader.h"

#include "cameraerror.h"
#include "capturesession.h"
#include "ffmpegutil.h"

#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

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

// A system error number inside an FFmpeg result (FFmpeg's own codes are tags far below).
bool isErrno(int rc)
{
    return rc < 0 && rc > -4096;
}

// Where a stream that was delivering broke off: a server that went away
// mid-picture leaves FFmpeg with "invalid data", which is no reason to show.
QString streamBrokeText(int rc)
{
    if (rc == AVERROR_INVALIDDATA || rc == AVERROR_EOF)
        return QStringLiteral("视频流已中断（服务器已关闭或网络断开）");
    return QStringLiteral("视频来源已断开：%1").arg(ff::errorText(rc));
}

// Each decoder counts its own messages here (AVCodecContext::opaque).
struct DecoderNoise {
    std::atomic<qint64> messages{0};
};

// The decoder a message comes from: its own context, or one it logs through
// (image checks name the decoder as their parent).
const AVCodecContext* decoderOf(void* avcl)
{
    for (int depth = 0; avcl && depth < 4; ++depth) {
        const AVClass* cls = *static_cast<AVClass**>(avcl);
        if (!cls)
            return nullptr;
        if (cls->class_name && std::strcmp(cls->class_name, "AVCodecContext") == 0) {
            const auto* ctx = static_cast<const AVCodecContext*>(avcl);
            return ctx->codec && av_codec_is_decoder(ctx->codec) ? ctx : nullptr;
        }
        if (cls->parent_log_context_offset <= 0)
            return nullptr;
        avcl = *reinterpret_cast<void**>(static_cast<char*>(avcl) + cls->parent_log_context_offset);
    }
    return nullptr;
}

void logCallback(void* avcl, int level, const char* fmt, va_list args)
{
    if (const AVCodecContext* decoder = decoderOf(avcl)) {
        if (auto* noise = static_cast<DecoderNoise*>(decoder->opaque); noise && level <= AV_LOG_WARNING)
            ++noise->messages;
        return;
    }
    av_log_default_callback(avcl, level, fmt, args);
}

class FfmpegReader final : public SourceReader {
public:
    CaptureSource source;
    CaptureFormat chosen;
    ff::Input input;
    ff::Codec decoder;
    ff::Sws sws;
    ff::Packet pkt{av_packet_alloc()};
    ff::Frame frame{av_frame_alloc()};
    int stream = -1;
    QSize size;
    double rate = 0;
    std::shared_ptr<Interrupt> interrupt;  // the callback FFmpeg was opened with
    DecoderNoise noise;
    // Pacing of files: they play at their own rate, from the start again at their end.
    bool paced = false;
    qint64 periodNs = 0;
    qint64 paceStart = 0;
    qint64 delivered = 0;
    int thisRound = 0;
    QImage still;  // a one-picture file, shown again at the pace
    bool repeatStill = false;

    QSize frameSize() const override { return size; }
    double frameRate() const override { return rate; }
    CaptureFormat format() const override { return chosen; }
    qint64 damagedPictures() const override { return noise.messages.load(); }

    void waitForTurn(const Interrupt& stop)
    {
        if (delivered == 0)
            paceStart = nowNs();
        const qint64 due = paceStart + delivered * periodNs;
        while (!stop.stop) {
            const qint64 left = due - nowNs();
            if (left <= 0)
                break;
            std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<qint64>(left, 20000000)));
        }
    }

    // A decoded frame as RGB32, or nothing.
    std::optional<QImage> receive(Interrupt& stop)
    {
        if (avcodec_receive_frame(decoder.get(), frame.get()) < 0)
            return std::nullopt;
        const int w = frame->width, h = frame->height;
        SwsContext* s = sws_getCachedContext(sws.release(), w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_BGRA,
                                             SWS_POINT, nullptr, nullptr, nullptr);
        sws.reset(s);
        if (!s) {
            av_frame_unref(frame.get());
            return std::nullopt;
        }
        QImage img(w, h, QImage::Format_RGB32);
        uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(s, frame->data, frame->linesize, 0, h, dst, dstStride);
        av_frame_unref(frame.get());
        if (paced)
            waitForTurn(stop);
        ++delivered;
        ++thisRound;
        if (paced)
            still = img;
        return img;
    }

    Read picture(QImage img)
    {
        Read r;
        r.outcome = Read::Outcome::Picture;
        r.picture.image = std::move(img);
        return r;
    }
    static Read failed(const QString& why, bool stalled = false)
    {
        Read r;
        r.outcome = Read::Outcome::Failed;
        r.error = why;
        r.stalled = stalled;
        return r;
    }

    Read next(Interrupt& stop, qint64 deadlineNs) override
    {
        if (repeatStill) {
            waitForTurn(stop);
            if (stop.stop)
                return {};
            ++delivered;
            return picture(still);
        }
        if (auto img = receive(stop))
            return picture(std::move(*img));
        // A network read gives up at the same moment as the session would.
        if (source.isNetwork())
            stop.deadlineNs = deadlineNs;
        const int rc = av_read_frame(input.get(), pkt.get());
        if (rc == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return {};
        }
        if (rc == AVERROR_EOF && paced && !stop.stop) {
            avcodec_send_packet(decoder.get(), nullptr);
            if (auto img = receive(stop))
                return picture(std::move(*img));
            if (thisRound == 0)
                return failed(noPicture(source));
            if (thisRound == 1) {
                repeatStill = true;
                return {};
            }
            if (avformat_seek_file(input.get(), -1, INT64_MIN, 0, 0, 0) < 0 &&
                av_seek_frame(input.get(), stream, 0, AVSEEK_FLAG_BACKWARD) < 0)
                return failed(QStringLiteral("视频来源 %1 无法从头播放").arg(source.description));
            avcodec_flush_buffers(decoder.get());
            thisRound = 0;
            return {};
        }
        if (rc < 0) {
            if (stop.stop)
                return {};
            if (isCamera(source) && isErrno(rc))
                return failed(cameraErrorText(AVUNERROR(rc), source.description));
            if (stop.expired())
                return failed(QString(), true);  // a network read that outlived the stall time
            if (rc == AVERROR_EOF && !source.isNetwork())
                return failed(QStringLiteral("视频来源已停止发送图像"));
            return failed(streamBrokeText(rc));
        }
        if (pkt->stream_index == stream)
            avcodec_send_packet(decoder.get(), pkt.get());
        av_packet_unref(pkt.get());
        if (auto img = receive(stop))
            return picture(std::move(*img));
        return {};
    }
};

}  // namespace

void quietDecoders()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(&logCallback); });
}

Result<ReaderPtr> openFfmpegReader(const CaptureSource& source, const CaptureFormat& format,
                                   const std::shared_ptr<Interrupt>& interruptPtr)
{
    Interrupt& interrupt = *interruptPtr;
    ff::registerDevices();
    quietDecoders();
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
    auto reader = std::make_unique<FfmpegReader>();
    ff::Codec dec(avcodec_alloc_context3(codec));
    if (dec)
        dec->opaque = &reader->noise;
    if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0)
        return failure(QStringLiteral("视频来源 %1 的格式无法解码").arg(source.description));
    if (par->width <= 0 || par->height <= 0)
        return failure(QStringLiteral("视频来源 %1 没有图像尺寸").arg(source.description));

    reader->source = source;
    reader->stream = stream;
    reader->decoder = std::move(dec);
    reader->size = QSize(par->width, par->height);
    const AVStream* st = raw->streams[stream];
    const AVRational r = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
    reader->rate = r.num && r.den ? av_q2d(r) : 30.0;
    if (reader->rate <= 0 || reader->rate > 120)
        reader->rate = 25.0;
    if (chosen.size.isEmpty())
        chosen.size = reader->size;
    reader->chosen = chosen;
    reader->input = std::move(in);
    reader->interrupt = interruptPtr;
    reader->paced = source.isFile();
    reader->periodNs = qint64(1e9 / reader->rate);
    return ReaderPtr(std::move(reader));
}

}  // namespace capture
