#pragma once
// What a camera's failures mean to the operator: a Chinese reason first,
// the system's own text after it in brackets.
#include <QString>

namespace capture {

// For opening and reading a camera: "摄像头已断开（No such device）", or
// with the camera named "摄像头已断开：教室摄像头（No such device）".
// Failures no camera explains are passed to the general system wording.
QString cameraErrorText(int errnum, const QString& camera = {});

// The message for a camera another program holds.
QString cameraBusyText(const QString& camera);

// For a picture control the camera refused: "摄像头在当前模式下不接受这个值，
// 请先关闭对应的自动模式（Invalid or incomplete multibyte or wide character）".
QString controlErrorText(int errnum);

}  // namespace capture
