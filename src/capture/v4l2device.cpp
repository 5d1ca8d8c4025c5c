#include "v4l2device.h"

#include "systemerror.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace v4l2 {

#ifdef Q_OS_LINUX
namespace {

int xioctl(int fd, unsigned long request, void* arg)
{
    int r;
    do
        r = ioctl(fd, request, arg);
    while (r == -1 && errno == EINTR);
    return r;
}

// Opens only character devices, without blocking on a busy node.
Fd openNode(const QString& path)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st { };
    if (stat(p.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return Fd();
    return Fd(::open(p.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
}

QString ffmpegPixelFormat(quint32 fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return QStringLiteral("yuyv422");
    case V4L2_PIX_FMT_UYVY:
        return QStringLiteral("uyvy422");
    case V4L2_PIX_FMT_MJPEG:
        return QStringLiteral("mjpeg");
    case V4L2_PIX_FMT_JPEG:
        return QStringLiteral("mjpeg");
    case V4L2_PIX_FMT_NV12:
        return QStringLiteral("nv12");
    case V4L2_PIX_FMT_YUV420:
        return QStringLiteral("yuv420p");
    case V4L2_PIX_FMT_RGB24:
        return QStringLiteral("rgb24");
    case V4L2_PIX_FMT_BGR24:
        return QStringLiteral("bgr24");
    case V4L2_PIX_FMT_GREY:
        return QStringLiteral("gray");
    default:
        return {};
    }
}

}  // namespace

std::optional<QString> captureCardName(const QString& path)
{
    const Fd f = openNode(path);
    if (!f.isOpen())
        return std::nullopt;
    v4l2_capability cap{};
    if (xioctl(f.get(), VIDIOC_QUERYCAP, &cap) != 0)
        return std::nullopt;
    const quint32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
        return std::nullopt;
    return QString::fromUtf8(reinterpret_cast<const char*>(cap.card));
}

QList<capture::CaptureFormat> formats(const QString& path)
{
    QList<capture::CaptureFormat> list;
    const Fd f = openNode(path);
    if (!f.isOpen())
        return list;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; xioctl(f.get(), VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
        const QString name = ffmpegPixelFormat(desc.pixelformat);
        if (name.isEmpty())
            continue;
        v4l2_frmsizeenum fs{};
        fs.pixel_format = desc.pixelformat;
        for (fs.index = 0; xioctl(f.get(), VIDIOC_ENUM_FRAMESIZES, &fs) == 0; ++fs.index) {
            if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                list.append({QSize(int(fs.discrete.width), int(fs.discrete.height)), name, 0});
            } else {
                // Stepwise sizes: offer the largest and the common 640x480 when it fits.
                const auto& s = fs.stepwise;
                if (s.min_width <= 640 && s.max_width >= 640 && s.min_height <= 480 && s.max_height >= 480)
                    list.append({QSize(640, 480), name, 0});
                list.append({QSize(int(s.max_width), int(s.max_height)), name, 0});
                break;
            }
        }
    }
    return list;
}

void Fd::reset()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

ControlSet::ControlSet(const QString& path)
    : fd_(openNode(path))
{
}

QList<Control> ControlSet::controls() const
{
    QList<Control> list;
    if (!fd_.isOpen())
        return list;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (xioctl(fd_.get(), VIDIOC_QUERYCTRL, &q) == 0) {
        const bool usable = !(q.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY));
        const bool known =
            q.type == V4L2_CTRL_TYPE_INTEGER || q.type == V4L2_CTRL_TYPE_BOOLEAN || q.type == V4L2_CTRL_TYPE_MENU;
        if (usable && known) {
            Control c;
            c.id = q.id;
            c.name = QString::fromUtf8(reinterpret_cast<const char*>(q.name));
            c.kind = q.type == V4L2_CTRL_TYPE_BOOLEAN ? Control::Kind::Boolean
                     : q.type == V4L2_CTRL_TYPE_MENU  ? Control::Kind::Menu
                                                      : Control::Kind::Integer;
            c.minimum = q.minimum;
            c.maximum = q.maximum;
            c.step = q.step > 0 ? q.step : 1;
            c.defaultValue = q.default_value;
            v4l2_control g{};
            g.id = q.id;
            c.value = xioctl(fd_.get(), VIDIOC_G_CTRL, &g) == 0 ? g.value : q.default_value;
            if (c.kind == Control::Kind::Menu) {
                v4l2_querymenu m{};
                m.id = q.id;
                for (int i = q.minimum; i <= q.maximum; ++i) {
                    m.index = quint32(i);
                    if (xioctl(fd_.get(), VIDIOC_QUERYMENU, &m) == 0)
                        c.menu.append({i, QString::fromUtf8(reinterpret_cast<const char*>(m.name))});
                }
            }
            list.append(c);
        }
        q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return list;
}

Status ControlSet::set(quint32 id, int value)
{
    if (!fd_.isOpen())
        return failure(QStringLiteral("设备未打开"));
    v4l2_control c{};
    c.id = id;
    c.value = value;
    if (xioctl(fd_.get(), VIDIOC_S_CTRL, &c) != 0)
        return failure(systemerror::fromErrno(errno));
    return Status::success();
}

#else  // no V4L2 on this platform

std::optional<QString> captureCardName(const QString&)
{
    return std::nullopt;
}
QList<capture::CaptureFormat> formats(const QString&)
{
    return {};
}
void Fd::reset()
{
    fd_ = -1;
}
ControlSet::ControlSet(const QString&) { }
QList<Control> ControlSet::controls() const
{
    return {};
}
Status ControlSet::set(quint32, int)
{
    return failure(QStringLiteral("此系统不支持图像参数"));
}

#endif

}  // namespace v4l2
