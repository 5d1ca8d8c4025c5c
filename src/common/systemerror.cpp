#include "systemerror.h"

#include <cerrno>
#include <cstring>

namespace systemerror {

namespace {

struct Known {
    int code;
    const char* chinese;
};

// The failures an operator meets while saving photos and videos or using a
// camera; anything else is called a system error.
const Known known[] = {
    {ENOSPC, "磁盘空间已满"},
#ifdef EDQUOT
    {EDQUOT, "磁盘配额已用完"},
#endif
    {EFBIG, "文件太大"},
    {EACCES, "没有访问权限"},
    {EPERM, "操作不被允许"},
    {EROFS, "磁盘是只读的"},
    {ENOENT, "文件或文件夹不存在"},
    {ENOTDIR, "路径中有一项不是文件夹"},
    {EISDIR, "这是一个文件夹"},
    {EEXIST, "文件已存在"},
    {ENAMETOOLONG, "文件名太长"},
    {EIO, "读写设备出错"},
    {EBUSY, "设备正被占用"},
    {ENODEV, "设备不存在"},
    {ENXIO, "设备不存在"},
    {EINVAL, "参数无效"},
    {ENOMEM, "内存不足"},
    {EMFILE, "打开的文件太多"},
    // Network cameras.
    {ECONNREFUSED, "连接被拒绝（地址或端口不对，或摄像头的服务没有运行）"},
    {ECONNRESET, "连接被对方断开"},
    {ECONNABORTED, "连接已中断"},
    {EPIPE, "连接已断开"},
    {ETIMEDOUT, "连接超时"},
    {EHOSTUNREACH, "无法到达主机"},
    {ENETUNREACH, "网络不可达"},
    {ENETDOWN, "网络已断开"},
};

bool hasChinese(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

QString joined(const char* chinese, const QString& reason)
{
    return QString::fromUtf8(chinese) + QStringLiteral("（") + reason + QStringLiteral("）");
}

}  // namespace

QString withChinese(const QString& reason)
{
    const QString r = reason.trimmed();
    if (r.isEmpty() || hasChinese(r))
        return reason;
    // Compared with this system's own wording of each error, which Qt and
    // FFmpeg pass on unchanged.
    for (const Known& k : known)
        if (r.compare(QString::fromLocal8Bit(std::strerror(k.code)), Qt::CaseInsensitive) == 0)
            return joined(k.chinese, r);
    return joined("系统错误", r);
}

QString fromErrno(int code)
{
    for (const Known& k : known)
        if (k.code == code)
            return joined(k.chinese, QString::fromLocal8Bit(std::strerror(code)));
    return joined("系统错误", QString::fromLocal8Bit(std::strerror(code)));
}

}  // namespace systemerror
