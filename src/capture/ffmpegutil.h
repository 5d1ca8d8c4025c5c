#pragma once
// Small owners for FFmpeg objects so every early return frees what it opened.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}
#include <QByteArray>
#include <QString>
#include <memory>

namespace ff {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// A muxing context: closes its file (if opened) and frees the context.
struct OutputCloser {
    void operator()(AVFormatContext* c) const
    {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct DictFreer {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

// An input context, also before avformat_open_input (which frees it on failure:
// release() it into that call and take the result back).
using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Sws = std::unique_ptr<SwsContext, SwsFreer>;
using Dict = std::unique_ptr<AVDictionary, DictFreer>;

// Sets one option in an owned dictionary.
void setOption(Dict& dict, const char* key, const QByteArray& value);

// FFmpeg's text for an error code.
QString errorText(int code);

// Registers the capture devices once (safe to call many times).
void registerDevices();

}  // namespace ff
