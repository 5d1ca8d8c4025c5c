// The preview path with the test camera at 30 fps: read, decode, convert,
// paint into a 480x360 unit at the station's 60 ms rate. Prints CPU per
// frame, share of one core, arrival-to-paint delay and stop latency.
// Then the same against the emulated UVC webcam (640x480 YUYV, 1280x720 MJPEG).
// Usage: bench_capture_preview [seconds per size, default 10]
#include "benchutil.h"
#include "capcontrol.h"
#include "capturesource.h"
#include "emulatedcamera.h"
#include "ffmpegutil.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace capture;

namespace {

// CPU share of the test camera alone: its lavfi graph read for a while with
// nothing converted or painted. A real camera costs nothing of this.
double sourceCpuShare(QSize size, int seconds)
{
    ff::registerDevices();
    const AVInputFormat* lavfi = av_find_input_format("lavfi");
    AVFormatContext* raw = nullptr;
    const QByteArray graph = testCameraGraph({size, QStringLiteral("bgr0"), 30}).toUtf8();
    if (!lavfi || avformat_open_input(&raw, graph.constData(), lavfi, nullptr) < 0)
        return -1;
    ff::Input input(raw);
    ff::Packet packet(av_packet_alloc());
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000 && av_read_frame(raw, packet.get()) >= 0)
        av_packet_unref(packet.get());
    return (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0) * 100;
}

struct PreviewFigures {
    int frames = 0;  // distinct pictures seen by polling
    double cpuS = 0, wallS = 0, cameraCpuS = 0;
    double delayAvg = 0, delayMax = 0;
    int late = 0;  // paints that came more than one repaint period after their picture
    double stopMs = 0;
    double share() const { return wallS > 0 ? cpuS / wallS * 100 : 0; }
    double cameraShare() const { return wallS > 0 ? cameraCpuS / wallS * 100 : 0; }
};

// Previews for a while and switches off again.
PreviewFigures measurePreview(capControl& c, int seconds)
{
    PreviewFigures p;
    c.ShowPreview(true, 60);
    QTest::qWait(1000);  // settle
    std::vector<double> delays;
    QImage last;
    const double cpu0 = cpuSeconds();
    const double camera0 = EmulatedCamera::emulatorCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    qint64 lastDelay = -1;
    while (wall.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        const QImage f = c.latestFrame();
        if (f.cacheKey() != last.cacheKey()) {
            ++p.frames;
            last = f;
        }
        if (c.lastPaintDelayNs() != lastDelay) {
            lastDelay = c.lastPaintDelayNs();
            delays.push_back(lastDelay / 1e6);
        }
        QThread::msleep(10);  // paints come every 60 ms; each leaves its delay behind
    }
    p.cpuS = cpuSeconds() - cpu0;
    p.cameraCpuS = EmulatedCamera::emulatorCpuSeconds() - camera0;
    p.wallS = wall.elapsed() / 1000.0;
    QElapsedTimer stop;
    stop.start();
    c.ShowPreview(false, -1);
    p.stopMs = stop.nsecsElapsed() / 1e6;
    double sum = 0;
    for (double d : delays) {
        sum += d;
        p.delayMax = std::max(p.delayMax, d);
        p.late += d > c.previewRate();
    }
    p.delayAvg = delays.empty() ? 0 : sum / delays.size();
    return p;
}

// The same path against the emulated UVC webcam: FFmpeg's v4l2 input with
// YUYV or MJPEG decoding. The emulator's own frame thread (what the camera
// hardware does) is shown apart.
void emulatedWebcam(int seconds, double loopCpuShare)
{
    if (!EmulatedCamera::available()) {
        std::printf("\nemulated webcam: not available (built without the tests)\n");
        return;
    }
    QTemporaryDir dir;
    EmulatedCamera cam(dir.filePath(QStringLiteral("video0")), QStringLiteral("基准摄像头"));
    const QString d = dir.path();
    setSourceProvider([d] { return defaultSources(d); });
    std::printf("\npreview, emulated UVC webcam 30 fps, same unit and rate\n");
    std::printf("%-16s %8s %8s %8s %12s %9s %10s %10s %14s %6s\n", "format", "camera", "dropped", "seen",
                "cpu ms/frame", "% core", "camera %", "preview %", "paint delay avg", "late");
    // The first row is the format the station chooses by itself on connecting
    // (before a format set here is remembered for the camera).
    for (CaptureFormat format : {CaptureFormat{}, CaptureFormat{QSize(640, 480), QStringLiteral("yuyv422"), 0}}) {
        capControl c;
        c.resize(480, 360);
        c.show();
        c.driverCount();
        c.setDriverIndex(1);
        if (format.size.isEmpty()) {
            format = c.captureFormat();
            std::printf("(chosen on connecting: %s)\n", qPrintable(format.label()));
        } else if (!c.setCaptureFormat(format)) {
            std::printf("cannot set %s: %s\n", qPrintable(format.label()), qPrintable(c.lastError()));
            continue;
        }
        const long long frames0 = cam.get("frames"), dropped0 = cam.get("dropped");
        const PreviewFigures p = measurePreview(c, seconds);
        const long long delivered = cam.get("frames") - frames0;
        std::printf(
            "%-16s %8lld %8lld %8d %12.2f %8.1f%% %9.1f%% %9.1f%% %11.1f ms %6d\n",
            qPrintable(
                QStringLiteral("%1x%2 %3").arg(format.size.width()).arg(format.size.height()).arg(format.pixelFormat)),
            delivered, cam.get("dropped") - dropped0, p.frames,
            delivered ? (p.cpuS - p.cameraCpuS) * 1000 / delivered : 0.0, p.share(), p.cameraShare(),
            p.share() - p.cameraShare() - loopCpuShare, p.delayAvg, p.late);
    }
    std::printf("(camera = frames the webcam sent, dropped = frames it had no free buffer for; cpu ms/frame and\n"
                " preview %% leave out the emulated camera's own work and the polling loop; late = paints more than\n"
                " one repaint period after their picture arrived)\n");
    setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // Formats chosen here must not become the operator's settings.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.path()));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });

    std::printf("preview, test camera 30 fps, unit 480x360, repaint every 60 ms, %d s per size\n", seconds);
    std::printf("%-10s %8s %12s %10s %10s %12s %14s %14s %12s\n", "size", "frames", "cpu ms/frame", "% core",
                "source %", "preview %", "paint delay avg", "paint delay max", "stop ms");
    // The bench's own polling loop, with no camera: its cost is shown apart.
    double loopCpuShare = 0;
    {
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            QThread::msleep(10);
        }
        loopCpuShare = (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0) * 100;
    }
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        capControl c;
        c.resize(480, 360);
        c.show();
        c.driverCount();
        c.setDriverIndex(1);
        if (!c.setCaptureFormat({size, QStringLiteral("bgr0"), 30})) {
            std::printf("cannot set %dx%d: %s\n", size.width(), size.height(), qPrintable(c.lastError()));
            return 1;
        }
        const PreviewFigures p = measurePreview(c, seconds);
        const double source = sourceCpuShare(size, std::min(seconds, 5));
        std::printf("%4dx%-5d %8d %12.2f %9.1f%% %9.1f%% %11.1f%% %12.1f ms %12.1f ms %12.1f\n", size.width(),
                    size.height(), p.frames, p.frames ? p.cpuS * 1000 / p.frames : 0.0, p.share(), source,
                    p.share() - source - loopCpuShare, p.delayAvg, p.delayMax, p.stopMs);
    }
    std::printf(
        "(%% core is the whole process; source %% is the test camera's picture generation alone; preview %% is\n"
        " the rest, read, convert and paint, less the bench's own polling loop (%.1f%%); frames counted by\n"
        " polling may miss a few)\n",
        loopCpuShare);
    emulatedWebcam(seconds, loopCpuShare);
    return 0;
}
