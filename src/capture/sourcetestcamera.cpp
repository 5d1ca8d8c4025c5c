// The built-in test camera (and other lavfi graphs the tests build).
#include "ffmpegreader.h"
#include "sourcekind.h"

namespace capture {

const SourceKind& testCameraKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
        k.id = QStringLiteral("lavfi");
        k.scan = [](const QString&) { return QList<CaptureSource>{testCamera()}; };
        k.open = &openFfmpegReader;
        k.formats = [](const CaptureSource& s) { return s.builtIn ? testCameraFormats() : QList<CaptureFormat>{}; };
        return k;
    }();
    return kind;
}

}  // namespace capture
