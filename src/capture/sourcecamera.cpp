// Cameras the system offers: V4L2 nodes (DirectShow devices on Windows).
#include "ffmpegreader.h"
#include "formatrule.h"
#include "sourcekind.h"
#include "v4l2device.h"

#include <QFileInfo>

namespace capture {

namespace {

// A camera starts at the format chosen for it in an earlier run if it still
// offers it, else at the rule's choice.
CaptureFormat initialFormat(const CaptureSource& source)
{
    const QList<CaptureFormat> offered = v4l2::formats(source.url);
    if (const auto kept = rememberedFormat(v4l2::cameraIdentity(source.url))) {
        for (const CaptureFormat& f : offered)
            if (f.size == kept->size && f.pixelFormat == kept->pixelFormat)
                return *kept;
    }
    return chooseFormat(offered, v4l2::currentFormat(source.url).value_or(CaptureFormat{}));
}

QString identity(const CaptureSource& source)
{
    return v4l2::cameraIdentity(source.url);
}

// A camera plugged back in comes back on the first free node, not always its old one.
std::optional<CaptureSource> find(const CaptureSource& lost)
{
    const QString wanted = lost.identity;
    for (const CaptureSource& s : scanCameras(QFileInfo(lost.url).absolutePath()))
        if (!wanted.isEmpty() ? v4l2::cameraIdentity(s.url) == wanted : s.url == lost.url)
            return s;
    return std::nullopt;
}

}  // namespace

const SourceKind& v4l2CameraKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
#ifdef Q_OS_WIN
        k.id = QStringLiteral("dshow");
#else
        k.id = QStringLiteral("v4l2");
        k.formats = [](const CaptureSource& s) { return v4l2::formats(s.url); };
        k.initialFormat = &initialFormat;
        k.identity = &identity;
        k.find = &find;
        k.controls = [](const CaptureSource& s) { return std::make_unique<v4l2::ControlSet>(s.url); };
#endif
        k.scan = &scanCameras;
        k.open = &openFfmpegReader;
        k.stalls = true;
        k.comesBack = true;
        return k;
    }();
    return kind;
}

}  // namespace capture
