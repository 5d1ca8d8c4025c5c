#include "captureformat.h"

namespace capture {

QString CaptureFormat::label() const
{
    QString t = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
    if (!pixelFormat.isEmpty())
        t += QStringLiteral("  ") + pixelFormat;
    if (frameRate > 0)
        t += QStringLiteral("  %1 fps").arg(frameRate);
    return t;
}

}  // namespace capture
