// The preview path with the test camera at 30 fps: read, decode, convert,
// paint into a 480x360 unit at the station's 60 ms rate. Prints CPU per
// frame, share of one core, arrival-to-paint delay and stop latency.
// Usage: bench_capture_preview [seconds per size, default 10]
#include "benchutil.h"
#include "capcontrol.h"
#include "capturesource.h"
#include "ffmpegutil.h"

#include <QApplication>
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

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
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
        c.ShowPreview(true, 60);
        QTest::qWait(1000);  // settle
        std::vector<double> delays;
        const auto serialStart = c.latestFrame().cacheKey();
        Q_UNUSED(serialStart);
        int frames = 0;
        QImage last;
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        qint64 lastDelay = -1;
        while (wall.elapsed() < seconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            const QImage f = c.latestFrame();
            if (f.cacheKey() != last.cacheKey()) {
                ++frames;
                last = f;
            }
            if (c.lastPaintDelayNs() != lastDelay) {
                lastDelay = c.lastPaintDelayNs();
                delays.push_back(lastDelay / 1e6);
            }
            QThread::msleep(10);  // paints come every 60 ms; each leaves its delay behind
        }
        const double cpu = cpuSeconds() - cpu0;
        const double wallS = wall.elapsed() / 1000.0;
        QElapsedTimer stop;
        stop.start();
        c.ShowPreview(false, -1);
        const double stopMs = stop.nsecsElapsed() / 1e6;
        double sum = 0, mx = 0;
        for (double d : delays) {
            sum += d;
            mx = std::max(mx, d);
        }
        const double total = cpu / wallS * 100;
        const double source = sourceCpuShare(size, std::min(seconds, 5));
        std::printf("%4dx%-5d %8d %12.2f %9.1f%% %9.1f%% %11.1f%% %12.1f ms %12.1f ms %12.1f\n", size.width(),
                    size.height(), frames, frames ? cpu * 1000 / frames : 0.0, total, source,
                    total - source - loopCpuShare, delays.empty() ? 0 : sum / delays.size(), mx, stopMs);
    }
    std::printf(
        "(%% core is the whole process; source %% is the test camera's picture generation alone; preview %% is\n"
        " the rest, read, convert and paint, less the bench's own polling loop (%.1f%%); frames counted by\n"
        " polling may miss a few)\n",
        loopCpuShare);
    return 0;
}
