#include "sourcekind.h"

#include "capturesession.h"

namespace capture {

const QList<const SourceKind*>& sourceKinds()
{
    // Listing order: cameras, tethered cameras, then the test camera.
    static const QList<const SourceKind*> kinds = {
        &v4l2CameraKind(), &tetheredKind(), &testCameraKind(), &streamKind(), &fileKind(), &folderKind(),
    };
    return kinds;
}

const SourceKind& kindOf(const CaptureSource& source)
{
    const QString id = source.kindId();
    for (const SourceKind* k : sourceKinds())
        if (k->id == id)
            return *k;
    return streamKind();
}

Result<ReaderPtr> openReader(const CaptureSource& source, const CaptureFormat& format,
                             const std::shared_ptr<Interrupt>& interrupt)
{
    const SourceKind& kind = kindOf(source);
    if (!kind.open)
        return failure(QStringLiteral("此系统不支持视频来源 %1").arg(source.description));
    return kind.open(source, format, interrupt);
}

}  // namespace capture
