#pragma once
#include <QString>

namespace systemerror {

// The system's own reason for a failure (strerror, FFmpeg, Qt's file errors:
// English texts such as "No space left on device") with a Chinese sentence in
// front, so the operator reads what happened first and the exact system text
// after it: "磁盘空间已满（No space left on device）". A reason that already
// reads Chinese, or an empty one, is returned as it is.
QString withChinese(const QString& reason);

// The same for an errno value.
QString fromErrno(int code);

}  // namespace systemerror
