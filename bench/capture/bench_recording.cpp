// Recording the test camera (30 fps) to AVI at the station's 41 ms period.
// Prints frames written against the expected count, repeated and skipped
// pictures, late periods and CPU.
// Then the same against the emulated UVC webcam (640x480 YUYV, 1280x720 MJPEG).
// Usage: bench_capture_recording [seconds, default 20] [codec, default mjpeg]
#include "benchutil.h"
#include "capcontrol.h"
#include "emulatedcamera.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace capture;

namespace {

// Records one format for a while and prints a row.
bool record(const CaptureFormat& format, const QString& codec, int seconds, const QTemporaryDir& dir,
            EmulatedCamera* cam)
{
    capControl c;
    c.resize(480, 360);
    c.driverCount();
    c.setDriverIndex(1);
    if (!c.setCaptureFormat(format)) {
        std::printf("cannot set format: %s\n", qPrintable(c.lastError()));
        return false;
    }
    c.setCompression({codec, 85});
    const QString path = dir.filePath(QStringLiteral("bench.avi"));
    const long long dropped0 = cam ? cam->get("dropped") : 0;
    const double camera0 = EmulatedCamera::emulatorCpuSeconds();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (!c.StartCapture(CaptureRequest::recording(path))) {
        std::printf("cannot record: %s\n", qPrintable(c.lastError()));
        return false;
    }
    QTest::qWait(seconds * 1000);
    c.StopCapture();
    const double wallS = wall.elapsed() / 1000.0;
    const double cameraS = EmulatedCamera::emulatorCpuSeconds() - camera0;
    const double cpu = cpuSeconds() - cpu0 - cameraS;
    const auto st = c.recordingStats();
    const QString label =
        cam ? QStringLiteral("%1x%2 %3").arg(format.size.width()).arg(format.size.height()).arg(format.pixelFormat)
            : QStringLiteral("%1x%2").arg(format.size.width()).arg(format.size.height());
    std::printf("%-16s %8lld %8.0f %9lld %8lld %6lld %10.2f %7.1f%% %10.1f", qPrintable(label), st.written,
                st.seconds * 1000 / 41, st.repeated, st.skipped, st.late, st.written ? cpu * 1000 / st.written : 0.0,
                cpu / wallS * 100, QFileInfo(path).size() / 1e6);
    if (cam)
        std::printf(" %8lld %8.1f%%", cam->get("dropped") - dropped0, cameraS / wallS * 100);
    std::printf("\n");
    QFile::remove(path);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Formats chosen here must not become the operator's settings.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.path()));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString codec = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("mjpeg");
    setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
    QTemporaryDir dir;

    std::printf("recording, test camera 30 fps, period 41 ms, %s, %d s\n", qPrintable(codec), seconds);
    std::printf("%-16s %8s %8s %9s %8s %6s %10s %8s %10s\n", "size", "written", "expected", "repeated", "skipped",
                "late", "cpu ms/fr", "% core", "file MB");
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        if (!record({size, QStringLiteral("bgr0"), 30}, codec, seconds, dir, nullptr))
            return 1;
    }
    std::printf("(source delivers 30 fps, the file takes 24.4: about 5.6 pictures a second are skipped by design; "
                "repeated = periods without a new picture)\n");
    if (EmulatedCamera::available()) {
        QTemporaryDir devices;
        EmulatedCamera cam(devices.filePath(QStringLiteral("video0")), QStringLiteral("基准摄像头"));
        const QString d = devices.path();
        setSourceProvider([d] { return defaultSources(d); });
        std::printf("\nrecording, emulated UVC webcam 30 fps (dropped = frames the webcam had no free buffer for)\n");
        std::printf("%-16s %8s %8s %9s %8s %6s %10s %8s %10s %8s %9s\n", "format", "written", "expected", "repeated",
                    "skipped", "late", "cpu ms/fr", "% core", "file MB", "dropped", "camera %");
        for (const CaptureFormat& f : {CaptureFormat{QSize(640, 480), QStringLiteral("yuyv422"), 0},
                                       CaptureFormat{QSize(1280, 720), QStringLiteral("mjpeg"), 0}})
            record(f, codec, seconds, dir, &cam);
        std::printf("(cpu leaves out the emulated camera's own work, shown as camera %%)\n");
    } else {
        std::printf("\nemulated webcam: not available (built without the tests)\n");
    }
    return 0;
}
