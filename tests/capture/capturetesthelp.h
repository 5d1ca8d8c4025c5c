#pragma once
// Shared by the capture tests: sources that misbehave on purpose and an
// AVI reader that decodes every frame.
#include "capturesource.h"
#include "ffmpegutil.h"

#include <QFile>
#include <QString>

namespace testhelp {

// A lavfi source that delivers for a short while and then ends, as an
// unplugged camera does.
inline capture::CaptureSource endingSource(double seconds = 0.6)
{
    capture::CaptureSource s;
    s.description = QStringLiteral("会断开的相机");
    s.inputFormat = QStringLiteral("lavfi");
    s.url = QStringLiteral("color=c=red:s=320x240:r=25:d=%1,format=bgr0,realtime").arg(seconds);
    return s;
}

// A camera node that does not exist: connecting it is refused.
inline capture::CaptureSource missingCamera()
{
    capture::CaptureSource s;
    s.description = QStringLiteral("不存在的相机");
    s.inputFormat = QStringLiteral("v4l2");
    s.url = QStringLiteral("/nonexistent/video7");
    return s;
}

struct AviInfo {
    bool opened = false;
    QString container;
    QString codec;
    AVRational frameRate{0, 1};
    AVRational timeBase{0, 1};
    int width = 0, height = 0;
    int packets = 0;  // pictures stored; a repeated picture is stored once
    qint64 periods = 0;  // frame periods the file plays, repeats included
    int decoded = 0;
    int decodeErrors = 0;
};

inline AviInfo readAvi(const QString& path)
{
    AviInfo info;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return info;
    ff::Input in(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 || raw->nb_streams < 1)
        return info;
    info.opened = true;
    info.container = QString::fromUtf8(raw->iformat->name);
    AVStream* st = raw->streams[0];
    info.codec = QString::fromUtf8(avcodec_get_name(st->codecpar->codec_id));
    info.frameRate = st->avg_frame_rate;
    info.timeBase = st->time_base;
    info.width = st->codecpar->width;
    info.height = st->codecpar->height;
    info.periods = st->nb_frames;
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    ff::Codec dec(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec.get(), st->codecpar);
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return info;
    ff::Packet pkt(av_packet_alloc());
    ff::Frame frame(av_frame_alloc());
    auto receive = [&] {
        for (;;) {
            const int rc = avcodec_receive_frame(dec.get(), frame.get());
            if (rc < 0)
                return;
            ++info.decoded;
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(raw, pkt.get()) >= 0) {
        if (pkt->stream_index == 0) {
            ++info.packets;
            if (avcodec_send_packet(dec.get(), pkt.get()) < 0)
                ++info.decodeErrors;
            receive();
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    receive();
    return info;
}

}  // namespace testhelp
