#pragma once
// Which format a camera is connected at: the one the operator chose for it
// before (kept per camera across restarts), else the sharpest picture that
// still moves smoothly.
#include "capturesource.h"

#include <optional>

namespace capture {

// The smallest frame rate that counts as smooth, and the largest picture
// worth its USB bandwidth.
inline constexpr double kSmoothFrameRate = 25;
inline constexpr QSize kLargestAutoSize{1920, 1080};

// The largest size up to kLargestAutoSize offered at kSmoothFrameRate or
// better; at the same size MJPEG before raw formats (it needs a fraction of
// the bandwidth); the faster rate breaks a tie. Without one, `current`.
CaptureFormat chooseFormat(const QList<CaptureFormat>& offered, const CaptureFormat& current);

// The format the operator last chose for a camera (see v4l2::cameraIdentity),
// kept in the station's settings.
std::optional<CaptureFormat> rememberedFormat(const QString& cameraIdentity);
void rememberFormat(const QString& cameraIdentity, const CaptureFormat& format);

// The picture controls the operator set for a camera in 图像参数 (control
// id, value), kept the same way and applied whenever it is connected.
QList<QPair<quint32, int>> rememberedControls(const QString& cameraIdentity);
void rememberControls(const QString& cameraIdentity, const QList<QPair<quint32, int>>& values);
void forgetControls(const QString& cameraIdentity);

}  // namespace capture
