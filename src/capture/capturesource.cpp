#include "capturesource.h"

#include "sourcekind.h"
#include "v4l2device.h"

#ifdef Q_OS_WIN
#include "ffmpegutil.h"
extern "C" {
#include <libavdevice/avdevice.h>
}
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <optional>

namespace capture {

Result<CaptureSource> addressSource(const QString& address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return failure(QStringLiteral("没有输入地址。"));
    CaptureSource s;
    s.description = text;
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    static const QStringList network = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("rtsp"),
                                        QStringLiteral("rtsps")};
    if (network.contains(scheme)) {
        if (url.host().isEmpty())
            return failure(QStringLiteral("地址 %1 没有主机名。").arg(text));
        s.url = text;
        return s;
    }
    // Anything else is a file: a path, or a file: address.
    const QString path = scheme == QLatin1String("file") ? url.toLocalFile() : text;
    if (!QFileInfo(path).isFile())
        return failure(
            QStringLiteral("找不到文件 %1。地址应以 http://、https:// 或 rtsp:// 开头，或是一个图片或视频文件。")
                .arg(QDir::toNativeSeparators(path)));
    s.url = QFileInfo(path).absoluteFilePath();
    s.description = QFileInfo(path).fileName();
    return s;
}

Result<CaptureSource> folderSource(const QString& folder)
{
    const QString text = folder.trimmed();
    const QString path = QUrl(text).scheme() == QLatin1String("file") ? QUrl(text).toLocalFile() : text;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return failure(QStringLiteral("找不到文件夹 %1。").arg(QDir::toNativeSeparators(path)));
    if (!info.isReadable())
        return failure(QStringLiteral("没有权限读取文件夹 %1。").arg(QDir::toNativeSeparators(path)));
    CaptureSource s;
    s.kind = QStringLiteral("folder");
    s.url = info.absoluteFilePath();
    s.description = QStringLiteral("文件夹 %1").arg(info.fileName().isEmpty() ? s.url : info.fileName());
    return s;
}

Result<CaptureSource> namedSource(const QString& text)
{
    const QString t = text.trimmed();
    const QString path = QUrl(t).scheme() == QLatin1String("file") ? QUrl(t).toLocalFile() : t;
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return folderSource(path);
    return addressSource(text);
}

QString testCameraDescription()
{
    return QStringLiteral("内置测试图像");
}

CaptureSource testCamera()
{
    CaptureSource s;
    s.description = testCameraDescription();
    s.inputFormat = QStringLiteral("lavfi");
    s.builtIn = true;
    return s;
}

QList<CaptureFormat> testCameraFormats()
{
    const QString pf = QStringLiteral("bgr0");
    return {{QSize(640, 480), pf, 30}, {QSize(1280, 960), pf, 30}, {QSize(1280, 720), pf, 30}};
}

QString testCameraGraph(const CaptureFormat& format)
{
    const int w = format.size.width() > 1 ? format.size.width() : 640;
    const int h = format.size.height() > 1 ? format.size.height() : 480;
    const int fps = format.frameRate > 0 ? int(std::lround(format.frameRate)) : 30;
    // The gradient is computed once and looped; only the small mark is drawn
    // per frame, so the source costs little more than a copy.
    return QStringLiteral("color=c=black:s=%1x%2:r=1:d=1,format=rgb24,"
                          "geq=r='round(X*255/(W-1))':g='round(Y*255/(H-1))':b=128,"
                          "loop=loop=-1:size=1,settb=1/%3,setpts=N,format=bgr0[bg];"
                          "color=c=white:s=8x8:r=%3,format=bgr0[m];"
                          "[bg][m]overlay=x='mod(n*4\\,W-w)':y=2:format=rgb,realtime")
        .arg(w)
        .arg(h)
        .arg(fps);
}

void testCameraColour(int x, int y, QSize size, int* r, int* g, int* b)
{
    *r = int(std::lround(x * 255.0 / (size.width() - 1)));
    *g = int(std::lround(y * 255.0 / (size.height() - 1)));
    *b = 128;
}

#ifndef Q_OS_WIN
namespace {
// A camera node this user may not open (now) is still listed, so
// connecting it can say why it fails. The kernel names it in sysfs for everyone; its
// second and later nodes (metadata) are left out.
std::optional<QString> deniedCameraName(const QString& path)
{
    const QFileInfo node(path);
    if (node.absolutePath() == QLatin1String("/dev")) {
        const QString sys = QStringLiteral("/sys/class/video4linux/") + node.fileName();
        QFile index(sys + QStringLiteral("/index"));
        if (index.open(QIODevice::ReadOnly) && index.readAll().trimmed() != "0")
            return std::nullopt;
        QFile name(sys + QStringLiteral("/name"));
        if (name.open(QIODevice::ReadOnly)) {
            const QString text = QString::fromUtf8(name.readAll().trimmed());
            if (!text.isEmpty())
                return text;
        }
    }
    return node.fileName();
}
}  // namespace
#endif

QList<CaptureSource> scanCameras(const QString& devDir)
{
    QList<CaptureSource> found;
#ifdef Q_OS_WIN
    // DirectShow names its cameras itself; devDir has no meaning there.
    Q_UNUSED(devDir);
    ff::registerDevices();
    AVDeviceInfoList* list = nullptr;
    if (const AVInputFormat* dshow = av_find_input_format("dshow");
        dshow && avdevice_list_input_sources(dshow, nullptr, nullptr, &list) >= 0 && list) {
        for (int i = 0; i < list->nb_devices && found.size() < kMaxCameras; ++i) {
            const AVDeviceInfo* d = list->devices[i];
            bool video = false;
            for (int m = 0; m < d->nb_media_types; ++m)
                video = video || d->media_types[m] == AVMEDIA_TYPE_VIDEO;
            if (!video)
                continue;
            CaptureSource s;
            s.description = QString::fromUtf8(d->device_description);
            s.inputFormat = QStringLiteral("dshow");
            s.url = QStringLiteral("video=") + QString::fromUtf8(d->device_name);
            found.append(s);
        }
    }
    avdevice_free_list_devices(&list);
#else
    const QDir dir(devDir);
    static const QRegularExpression node(QStringLiteral("^video(\\d+)$"));
    QList<QPair<int, QString>> nodes;
    for (const QString& name : dir.entryList(QDir::System | QDir::Files)) {
        const auto m = node.match(name);
        if (m.hasMatch())
            nodes.append({m.captured(1).toInt(), dir.filePath(name)});
    }
    std::sort(nodes.begin(), nodes.end());
    for (const auto& [number, path] : nodes) {
        if (found.size() >= kMaxCameras)
            break;
        bool denied = false;
        auto card = v4l2::captureCardName(path, &denied);
        if (!card && denied)
            card = deniedCameraName(path);
        if (!card)
            continue;  // metadata nodes, output devices, plain files
        CaptureSource s;
        s.description = *card;
        s.url = path;
        s.inputFormat = QStringLiteral("v4l2");
        found.append(s);
    }
#endif
    return found;
}

QList<CaptureSource> defaultSources(const QString& devDir)
{
    QList<CaptureSource> cameras, builtIn;
    for (const SourceKind* kind : sourceKinds()) {
        if (!kind->scan)
            continue;
        for (const CaptureSource& s : kind->scan(devDir))
            (s.builtIn ? builtIn : cameras).append(s);
    }
    return cameras.mid(0, kMaxCameras) + builtIn;
}

namespace {
SourceProvider& provider()
{
    static SourceProvider p;
    return p;
}
}  // namespace

void setSourceProvider(SourceProvider p)
{
    provider() = std::move(p);
}

QList<CaptureSource> currentSources()
{
    return provider() ? provider()() : defaultSources();
}

QString listDevicesText()
{
    QString text;
    const QList<CaptureSource> all = currentSources();
    for (int i = 0; i < all.size(); ++i)
        text += QStringLiteral("%1\t%2\n").arg(i + 1).arg(all[i].description);
    return text;
}

QList<CaptureFormat> sourceFormats(const CaptureSource& source)
{
    const SourceKind& kind = kindOf(source);
    return kind.formats ? kind.formats(source) : QList<CaptureFormat>{};
}

}  // namespace capture
