#pragma once
#include <QSize>
#include <QString>

namespace capture {

// One picture format a source can deliver.
struct CaptureFormat {
    QSize size;
    QString pixelFormat;  // FFmpeg's name ("yuyv422", "mjpeg"); empty = the source's default
    double frameRate = 0;  // 0 = the source's default

    QString label() const;
    bool operator==(const CaptureFormat& o) const
    {
        return size == o.size && pixelFormat == o.pixelFormat && frameRate == o.frameRate;
    }
};

}  // namespace capture
