#include "aviwriter.h"

#include "ffmpegutil.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>

namespace capture {

QList<AviCodecChoice> availableAviCodecs()
{
    static const AviCodecChoice known[] = {
        {QStringLiteral("mjpeg"), QStringLiteral("Motion JPEG"), true},
        {QStringLiteral("mpeg4"), QStringLiteral("MPEG-4 Part 2"), true},
        {QStringLiteral("msmpeg4v2"), QStringLiteral("MS MPEG-4 V2"), true},
        {QStringLiteral("huffyuv"), QStringLiteral("HuffYUV (无损)"), false},
        {QStringLiteral("ffv1"), QStringLiteral("FFV1 (无损)"), false},
    };
    QList<AviCodecChoice> list;
    for (const auto& c : known)
        if (avcodec_find_encoder_by_name(c.name.toUtf8().constData()))
            list.append(c);
    return list;
}

struct AviWriter::Impl {
    ff::Output out;
    ff::Codec enc;
    ff::Frame frame;
    ff::Packet pkt;
    ff::Sws sws;
    AVStream* stream = nullptr;
    QSize size;
    qint64 written = 0;
    qint64 nextPeriod = 0;
    int quality = 0;  // lambda for the quantiser, 0 = codec default

    Status drain()
    {
        for (;;) {
            const int rc = avcodec_receive_packet(enc.get(), pkt.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return Status::success();
            if (rc < 0)
                return failure(QStringLiteral("视频编码出错：%1").arg(ff::errorText(rc)));
            av_packet_rescale_ts(pkt.get(), enc->time_base, stream->time_base);
            pkt->stream_index = stream->index;
            const int wr = av_write_frame(out.get(), pkt.get());
            av_packet_unref(pkt.get());
            if (wr < 0)
                return failure(QStringLiteral("写入视频文件出错：%1").arg(ff::errorText(wr)));
            avio_flush(out->pb);
            if (out->pb->error < 0)
                return failure(QStringLiteral("写入视频文件出错：%1").arg(ff::errorText(out->pb->error)));
        }
    }
};

AviWriter::AviWriter() = default;

AviWriter::~AviWriter()
{
    const Status r = finish();
    Q_UNUSED(r);  // a writer dropped without finish() has no one to tell
}

bool AviWriter::isOpen() const
{
    return d_ && d_->out;
}

qint64 AviWriter::framesWritten() const
{
    return d_ ? d_->written : 0;
}

qint64 AviWriter::periodsCovered() const
{
    return d_ ? d_->nextPeriod : 0;
}

Status AviWriter::open(const QString& path, QSize size, const CompressionSettings& settings, int periodMs)
{
    if (isOpen()) {
        const Status r = finish();
        Q_UNUSED(r);  // the file given up for a new one
    }
    d_ = std::make_unique<Impl>();
    if (size.isEmpty() || periodMs <= 0)
        return failure(QStringLiteral("录制参数无效"));
    const AVCodec* codec = avcodec_find_encoder_by_name(settings.codec.toUtf8().constData());
    if (!codec)
        return failure(QStringLiteral("没有视频压缩程序 %1").arg(settings.codec));

    const QByteArray file = QFile::encodeName(path);
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "avi", file.constData()) < 0 || !oc)
        return failure(QStringLiteral("无法建立 AVI 输出"));
    d_->out.reset(oc);

    ff::Codec enc(avcodec_alloc_context3(codec));
    if (!enc) {
        d_->out.reset();
        return failure(QStringLiteral("内存不足"));
    }
    enc->width = size.width() & ~1;  // 4:2:0 encoders need even sizes
    enc->height = size.height() & ~1;
    enc->time_base = {periodMs, 1000};
    enc->framerate = {1000, periodMs};
    enc->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (enc->pix_fmt == AV_PIX_FMT_YUVJ420P)
        enc->color_range = AVCOL_RANGE_JPEG;
    const int q = std::clamp(settings.quality, 1, 100);
    // A fixed quantiser from the quality: 100 -> q2, 1 -> q31. The encoders
    // read it from each frame, so write() stamps it on every one.
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * (2 + (100 - q) * 29 / 99);
    enc->gop_size = 12;
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(enc.get(), codec, nullptr);
    if (rc < 0) {
        d_->out.reset();
        return failure(QStringLiteral("视频压缩程序 %1 无法打开：%2").arg(settings.codec, ff::errorText(rc)));
    }
    AVStream* st = avformat_new_stream(oc, nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, enc.get()) < 0) {
        d_->out.reset();
        return failure(QStringLiteral("无法建立 AVI 输出"));
    }
    st->time_base = enc->time_base;
    st->avg_frame_rate = enc->framerate;

    rc = avio_open(&oc->pb, file.constData(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        d_->out.reset();
        return failure(kFileRefused);
    }
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "flush_packets", "1", 0);
    rc = avformat_write_header(oc, &opts);
    av_dict_free(&opts);
    if (rc < 0) {
        d_->out.reset();
        return failure(QStringLiteral("无法写入文件 %1：%2").arg(path, ff::errorText(rc)));
    }
    avio_flush(oc->pb);

    d_->stream = st;
    d_->size = QSize(enc->width, enc->height);
    d_->frame.reset(av_frame_alloc());
    d_->frame->format = enc->pix_fmt;
    d_->frame->width = enc->width;
    d_->frame->height = enc->height;
    d_->frame->color_range = enc->color_range;
    d_->pkt.reset(av_packet_alloc());
    if (!d_->frame || !d_->pkt || av_frame_get_buffer(d_->frame.get(), 0) < 0) {
        d_->out.reset();
        return failure(QStringLiteral("内存不足"));
    }
    d_->quality = enc->global_quality;
    d_->enc = std::move(enc);
    return Status::success();
}

Status AviWriter::write(const QImage& picture)
{
    return write(picture, d_ ? d_->nextPeriod : 0);
}

Status AviWriter::write(const QImage& picture, qint64 period)
{
    if (!isOpen())
        return failure(QStringLiteral("视频文件未打开"));
    QImage img = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                     ? picture
                     : picture.convertToFormat(QImage::Format_RGB32);
    if (img.isNull())
        return failure(QStringLiteral("没有图像"));
    Impl& d = *d_;
    SwsContext* s =
        sws_getCachedContext(d.sws.release(), img.width(), img.height(), AV_PIX_FMT_BGRA, d.size.width(),
                             d.size.height(), AVPixelFormat(d.frame->format), SWS_BILINEAR, nullptr, nullptr, nullptr);
    d.sws.reset(s);
    if (!s || av_frame_make_writable(d.frame.get()) < 0)
        return failure(QStringLiteral("图像转换失败"));
    const uint8_t* src[4] = {img.constBits(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(img.bytesPerLine()), 0, 0, 0};
    sws_scale(s, src, srcStride, 0, img.height(), d.frame->data, d.frame->linesize);
    // The muxer fills a gap in the frame numbers with empty frames, which
    // play as the previous picture: owed periods cost no encoding.
    d.frame->pts = std::max(period, d.nextPeriod);
    d.frame->quality = d.quality;
    const int rc = avcodec_send_frame(d.enc.get(), d.frame.get());
    if (rc < 0)
        return failure(QStringLiteral("视频编码出错：%1").arg(ff::errorText(rc)));
    ++d.written;
    d.nextPeriod = d.frame->pts + 1;
    return d.drain();
}

Status AviWriter::finish()
{
    if (!isOpen())
        return Status::success();
    Status r = Status::success();
    if (d_->enc) {
        avcodec_send_frame(d_->enc.get(), nullptr);
        r = d_->drain();
        const int rc = av_write_trailer(d_->out.get());
        if (rc < 0 && r.ok())
            r = failure(QStringLiteral("写入视频文件出错：%1").arg(ff::errorText(rc)));
    }
    d_->out.reset();
    return r;
}

QByteArray bmpFile(const QImage& picture)
{
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    const quint32 dataSize = quint32(w) * quint32(h) * 4;
    QByteArray out(int(54 + dataSize), '\0');
    uchar* p = reinterpret_cast<uchar*>(out.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(dataSize + 54, p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(w, p + 18);
    qToLittleEndian<qint32>(h, p + 22);  // positive: rows bottom-up
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(32, p + 28);
    qToLittleEndian<quint32>(0, p + 30);  // BI_RGB
    qToLittleEndian<quint32>(dataSize, p + 34);
    uchar* rows = p + 54;
    for (int y = 0; y < h; ++y) {
        const uchar* src = img.constScanLine(h - 1 - y);
        uchar* dst = rows + qsizetype(y) * w * 4;
        for (int x = 0; x < w; ++x) {
            const QRgb c = reinterpret_cast<const QRgb*>(src)[x];
            dst[4 * x] = uchar(qBlue(c));
            dst[4 * x + 1] = uchar(qGreen(c));
            dst[4 * x + 2] = uchar(qRed(c));
            dst[4 * x + 3] = 0;
        }
    }
    return out;
}

}  // namespace capture
