#include "cameraerror.h"

#include "systemerror.h"

#include <cerrno>
#include <cstring>

namespace capture {

namespace {
QString withSystemText(const QString& reason, int errnum)
{
    return reason + QStringLiteral("（") + QString::fromLocal8Bit(std::strerror(errnum)) + QStringLiteral("）");
}

QString cameraReason(int errnum)
{
    switch (errnum) {
    case ENODEV:
    case ENXIO:
    case ENOENT:  // the node went with the camera
        return QStringLiteral("摄像头已断开");
    case EBUSY:
        return QStringLiteral("摄像头被占用");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限打开摄像头 — 请把用户加入 video 组");
    case EIO:
    case EPROTO:
    case ETIMEDOUT:
        return QStringLiteral("摄像头没有应答");
    default:
        return {};
    }
}
}  // namespace

QString cameraErrorText(int errnum, const QString& camera)
{
    const QString reason = cameraReason(errnum);
    if (reason.isEmpty()) {
        const QString general = systemerror::fromErrno(errnum);
        return camera.isEmpty() ? general : camera + QStringLiteral("：") + general;
    }
    return withSystemText(camera.isEmpty() ? reason : reason + QStringLiteral("：") + camera, errnum);
}

QString cameraBusyText(const QString& camera)
{
    return QStringLiteral("摄像头正被其他程序使用：") + camera;
}

QString controlErrorText(int errnum)
{
    switch (errnum) {
    case EILSEQ:  // what a camera answers for "wrong state"
    case EACCES:
        return withSystemText(QStringLiteral("摄像头在当前模式下不接受这个值，请先关闭对应的自动模式"), errnum);
    case EINVAL:
    case ERANGE:
        return withSystemText(QStringLiteral("摄像头不接受这个值"), errnum);
    case EBUSY:
        return withSystemText(QStringLiteral("摄像头正忙，暂时不能调整"), errnum);
    default:
        return cameraErrorText(errnum);
    }
}

}  // namespace capture
