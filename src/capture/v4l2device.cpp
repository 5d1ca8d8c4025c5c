#include "v4l2device.h"

#include "cameraerror.h"

#include <QFile>
#include <QHash>

#include <algorithm>

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

std::optional<QString> captureCardName(const QString& path, bool* denied)
{
    if (denied)
        *denied = false;
    const Fd f = openNode(path);
    if (!f.isOpen()) {
        if (denied)
            *denied = errno == EACCES || errno == EPERM || errno == EBUSY;
        return std::nullopt;
    }
    v4l2_capability cap{};
    if (xioctl(f.get(), VIDIOC_QUERYCAP, &cap) != 0)
        return std::nullopt;
    const quint32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
        return std::nullopt;
    return QString::fromUtf8(reinterpret_cast<const char*>(cap.card));
}

namespace {

QString chineseLabel(quint32 id, const QString& own)
{
    switch (id) {
    case V4L2_CID_BRIGHTNESS:
        return QStringLiteral("亮度");
    case V4L2_CID_CONTRAST:
        return QStringLiteral("对比度");
    case V4L2_CID_SATURATION:
        return QStringLiteral("饱和度");
    case V4L2_CID_HUE:
        return QStringLiteral("色调");
    case V4L2_CID_HUE_AUTO:
        return QStringLiteral("自动色调");
    case V4L2_CID_GAMMA:
        return QStringLiteral("伽马");
    case V4L2_CID_GAIN:
        return QStringLiteral("增益");
    case V4L2_CID_AUTOGAIN:
        return QStringLiteral("自动增益");
    case V4L2_CID_SHARPNESS:
        return QStringLiteral("锐度");
    case V4L2_CID_AUTO_WHITE_BALANCE:
        return QStringLiteral("自动白平衡");
    case V4L2_CID_WHITE_BALANCE_TEMPERATURE:
        return QStringLiteral("白平衡色温");
    case V4L2_CID_RED_BALANCE:
        return QStringLiteral("红色平衡");
    case V4L2_CID_BLUE_BALANCE:
        return QStringLiteral("蓝色平衡");
    case V4L2_CID_EXPOSURE_AUTO:
        return QStringLiteral("自动曝光");
    case V4L2_CID_EXPOSURE_ABSOLUTE:
        return QStringLiteral("曝光时间");
    case V4L2_CID_EXPOSURE:
        return QStringLiteral("曝光");
    case V4L2_CID_EXPOSURE_AUTO_PRIORITY:
        return QStringLiteral("曝光优先（可降低帧率）");
    case V4L2_CID_BACKLIGHT_COMPENSATION:
        return QStringLiteral("背光补偿");
    case V4L2_CID_POWER_LINE_FREQUENCY:
        return QStringLiteral("电源频率");
    case V4L2_CID_FOCUS_AUTO:
        return QStringLiteral("自动对焦");
    case V4L2_CID_FOCUS_ABSOLUTE:
        return QStringLiteral("焦距");
    case V4L2_CID_ZOOM_ABSOLUTE:
        return QStringLiteral("变焦");
    case V4L2_CID_PAN_ABSOLUTE:
        return QStringLiteral("水平转动");
    case V4L2_CID_TILT_ABSOLUTE:
        return QStringLiteral("垂直转动");
    case V4L2_CID_HFLIP:
        return QStringLiteral("水平翻转");
    case V4L2_CID_VFLIP:
        return QStringLiteral("垂直翻转");
    default:
        return own;
    }
}

QString chineseMenuText(const QString& own)
{
    static const QHash<QString, QString> known = {
        {QStringLiteral("Disabled"), QStringLiteral("关闭")},
        {QStringLiteral("Auto"), QStringLiteral("自动")},
        {QStringLiteral("Manual Mode"), QStringLiteral("手动")},
        {QStringLiteral("Auto Mode"), QStringLiteral("自动")},
        {QStringLiteral("Aperture Priority Mode"), QStringLiteral("自动（光圈优先）")},
        {QStringLiteral("Shutter Priority Mode"), QStringLiteral("快门优先")},
    };
    return known.value(own, own);
}

// The best frame rate offered for a size: the shortest frame interval.
double bestFrameRate(int fd, quint32 fourcc, quint32 width, quint32 height)
{
    v4l2_frmivalenum fi{};
    fi.pixel_format = fourcc;
    fi.width = width;
    fi.height = height;
    double best = 0;
    for (fi.index = 0; xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &fi) == 0; ++fi.index) {
        const v4l2_fract t = fi.type == V4L2_FRMIVAL_TYPE_DISCRETE ? fi.discrete : fi.stepwise.min;
        if (t.numerator > 0 && t.denominator > 0)
            best = std::max(best, double(t.denominator) / t.numerator);
        if (fi.type != V4L2_FRMIVAL_TYPE_DISCRETE)
            break;
    }
    return best;
}

}  // namespace

QString cameraIdentity(const QString& path)
{
    const Fd f = openNode(path);
    v4l2_capability cap{};
    if (!f.isOpen() || xioctl(f.get(), VIDIOC_QUERYCAP, &cap) != 0)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(cap.card)) + QLatin1Char('@') +
           QString::fromUtf8(reinterpret_cast<const char*>(cap.bus_info));
}

std::optional<capture::CaptureFormat> currentFormat(const QString& path)
{
    const Fd f = openNode(path);
    if (!f.isOpen())
        return std::nullopt;
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(f.get(), VIDIOC_G_FMT, &fmt) != 0)
        return std::nullopt;
    const QString name = ffmpegPixelFormat(fmt.fmt.pix.pixelformat);
    if (name.isEmpty() || fmt.fmt.pix.width == 0 || fmt.fmt.pix.height == 0)
        return std::nullopt;
    capture::CaptureFormat c{QSize(int(fmt.fmt.pix.width), int(fmt.fmt.pix.height)), name, 0};
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(f.get(), VIDIOC_G_PARM, &parm) == 0) {
        const v4l2_fract t = parm.parm.capture.timeperframe;
        if (t.numerator > 0 && t.denominator > 0)
            c.frameRate = double(t.denominator) / t.numerator;
    }
    return c;
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
                const quint32 w = fs.discrete.width, h = fs.discrete.height;
                list.append({QSize(int(w), int(h)), name, bestFrameRate(f.get(), desc.pixelformat, w, h)});
            } else {
                // Stepwise sizes: offer the largest and the common 640x480 when it fits.
                const auto& s = fs.stepwise;
                if (s.min_width <= 640 && s.max_width >= 640 && s.min_height <= 480 && s.max_height >= 480)
                    list.append({QSize(640, 480), name, bestFrameRate(f.get(), desc.pixelformat, 640, 480)});
                list.append({QSize(int(s.max_width), int(s.max_height)), name,
                             bestFrameRate(f.get(), desc.pixelformat, s.max_width, s.max_height)});
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
            c.label = chineseLabel(q.id, c.name);
            c.kind = q.type == V4L2_CTRL_TYPE_BOOLEAN ? Control::Kind::Boolean
                     : q.type == V4L2_CTRL_TYPE_MENU  ? Control::Kind::Menu
                                                      : Control::Kind::Integer;
            c.minimum = q.minimum;
            c.maximum = q.maximum;
            c.step = q.step > 0 ? q.step : 1;
            c.defaultValue = q.default_value;
            c.inactive = q.flags & V4L2_CTRL_FLAG_INACTIVE;
            c.updatesOthers = q.flags & V4L2_CTRL_FLAG_UPDATE;
            v4l2_control g{};
            g.id = q.id;
            c.value = xioctl(fd_.get(), VIDIOC_G_CTRL, &g) == 0 ? g.value : q.default_value;
            if (c.kind == Control::Kind::Menu) {
                v4l2_querymenu m{};
                m.id = q.id;
                for (int i = q.minimum; i <= q.maximum; ++i) {
                    m.index = quint32(i);
                    if (xioctl(fd_.get(), VIDIOC_QUERYMENU, &m) == 0)
                        c.menu.append({i, chineseMenuText(QString::fromUtf8(reinterpret_cast<const char*>(m.name)))});
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
        return failure(capture::controlErrorText(errno));
    return Status::success();
}

namespace {
// Manual values and the automatic mode that governs each, with the mode's
// manual setting: while the mode is automatic the camera refuses them.
struct Governed {
    quint32 control, mode;
    int manual;
};
constexpr Governed governed[] = {
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE, 0},
    {V4L2_CID_RED_BALANCE, V4L2_CID_AUTO_WHITE_BALANCE, 0},
    {V4L2_CID_BLUE_BALANCE, V4L2_CID_AUTO_WHITE_BALANCE, 0},
    {V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
    {V4L2_CID_EXPOSURE, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
    {V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, 0},
    {V4L2_CID_HUE, V4L2_CID_HUE_AUTO, 0},
    {V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, 0},
};

bool isMode(const Control& c)
{
    return c.updatesOthers ||
           std::any_of(std::begin(governed), std::end(governed), [&](const Governed& g) { return g.mode == c.id; });
}
}  // namespace

Status ControlSet::restoreDefaults()
{
    if (!fd_.isOpen())
        return failure(QStringLiteral("设备未打开"));
    auto find = [](const QList<Control>& list, quint32 id) {
        const auto it = std::find_if(list.begin(), list.end(), [id](const Control& c) { return c.id == id; });
        return it == list.end() ? nullptr : &*it;
    };
    // A manual value under an automatic mode is only accepted in manual
    // mode: the mode goes manual first, the values follow, the modes last.
    QList<Control> now = controls();
    for (const Governed& g : governed) {
        const Control* c = find(now, g.control);
        if (c && c->inactive && c->value != c->defaultValue && find(now, g.mode)) {
            const Status freed = set(g.mode, g.manual);
            Q_UNUSED(freed);  // a mode that stays automatic leaves its value where it is
        }
    }
    QString refused;
    for (const bool modes : {false, true}) {
        now = controls();
        for (const Control& c : now) {
            if (isMode(c) != modes || c.inactive || c.value == c.defaultValue)
                continue;
            if (const Status r = set(c.id, c.defaultValue); !r)
                refused = c.label + QStringLiteral("：") + r.error();
        }
    }
    return refused.isEmpty() ? Status::success() : failure(refused);
}

Status ControlSet::apply(const QList<QPair<quint32, int>>& values)
{
    if (!fd_.isOpen())
        return failure(QStringLiteral("设备未打开"));
    const QList<Control> now = controls();
    QString refused;
    for (const bool modes : {true, false}) {
        for (const auto& [id, value] : values) {
            const auto it = std::find_if(now.begin(), now.end(), [id = id](const Control& c) { return c.id == id; });
            if (it == now.end() || isMode(*it) != modes)
                continue;
            if (const Status r = set(id, value); !r)
                refused = it->label + QStringLiteral("：") + r.error();
        }
    }
    return refused.isEmpty() ? Status::success() : failure(refused);
}

namespace {
// The automatic modes the lock switches, each with its manual setting, the
// values it holds, and its usual automatic setting.
struct Lockable {
    quint32 mode;
    int manual;
    int automatic;
    quint32 held;
};
constexpr Lockable lockables[] = {
    {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_CID_EXPOSURE_ABSOLUTE},
    {V4L2_CID_AUTO_WHITE_BALANCE, 0, 1, V4L2_CID_WHITE_BALANCE_TEMPERATURE},
    {V4L2_CID_FOCUS_AUTO, 0, 1, V4L2_CID_FOCUS_ABSOLUTE},
};
}  // namespace

Result<QList<QPair<quint32, int>>> ControlSet::lockAutomatic(bool lock)
{
    if (!fd_.isOpen())
        return failure(QStringLiteral("设备未打开"));
    const QList<Control> now = controls();
    auto find = [&](quint32 id) {
        const auto it = std::find_if(now.begin(), now.end(), [id](const Control& c) { return c.id == id; });
        return it == now.end() ? nullptr : &*it;
    };
    QList<QPair<quint32, int>> written;
    QString refused;
    for (const Lockable& l : lockables) {
        const Control* mode = find(l.mode);
        if (!mode)
            continue;
        int automatic = l.automatic;
        if (l.mode == V4L2_CID_EXPOSURE_AUTO && mode->defaultValue != V4L2_EXPOSURE_MANUAL)
            automatic = mode->defaultValue;  // the camera's own automatic mode
        const int wanted = lock ? l.manual : automatic;
        if (mode->value == wanted)
            continue;
        // What the automatic mode chose now is what the lock holds.
        const Control* held = find(l.held);
        const int heldValue = held ? held->value : 0;
        if (const Status r = set(l.mode, wanted); !r) {
            refused = mode->label + QStringLiteral("：") + r.error();
            continue;
        }
        written.append({l.mode, wanted});
        if (lock && held) {
            if (const Status r = set(l.held, heldValue); r)
                written.append({l.held, heldValue});
        }
    }
    if (!refused.isEmpty())
        return failure(refused);
    return written;
}

bool ControlSet::automaticLocked() const
{
    const QList<Control> now = controls();
    for (const Lockable& l : lockables)
        for (const Control& c : now)
            if (c.id == l.mode && c.value == l.manual)
                return true;
    return false;
}

#else  // no V4L2 on this platform

std::optional<QString> captureCardName(const QString&, bool* denied)
{
    if (denied)
        *denied = false;
    return std::nullopt;
}
QString cameraIdentity(const QString&)
{
    return {};
}
std::optional<capture::CaptureFormat> currentFormat(const QString&)
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
Status ControlSet::apply(const QList<QPair<quint32, int>>&)
{
    return failure(QStringLiteral("此系统不支持摄像头参数"));
}
Result<QList<QPair<quint32, int>>> ControlSet::lockAutomatic(bool)
{
    return failure(QStringLiteral("此系统不支持摄像头参数"));
}
bool ControlSet::automaticLocked() const
{
    return false;
}
Status ControlSet::restoreDefaults()
{
    return failure(QStringLiteral("此系统不支持图像参数"));
}

#endif

}  // namespace v4l2
