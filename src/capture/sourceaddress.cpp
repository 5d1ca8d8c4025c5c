// Sources the operator names by address: a network stream (an IP camera, a
// phone app) or a picture or video file.
#include "ffmpegreader.h"
#include "sourcekind.h"

namespace capture {

const SourceKind& streamKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
        k.id = QStringLiteral("stream");
        k.open = &openFfmpegReader;
        k.identity = [](const CaptureSource& s) { return s.url; };
        k.stalls = true;
        k.opensSlowly = true;
        k.comesBack = true;
        return k;
    }();
    return kind;
}

const SourceKind& fileKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
        k.id = QStringLiteral("file");
        k.open = &openFfmpegReader;
        k.identity = [](const CaptureSource& s) { return s.url; };
        return k;
    }();
    return kind;
}

}  // namespace capture
