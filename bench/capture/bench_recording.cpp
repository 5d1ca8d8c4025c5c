// Recording the test camera (30 fps) to AVI at the station's 41 ms period.
// Prints frames written against the expected count, repeated and skipped
// pictures, late periods and CPU.
// Usage: bench_capture_recording [seconds, default 20] [codec, default mjpeg]
#include "benchutil.h"
#include "capcontrol.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace capture;

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString codec = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("mjpeg");
    setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
    QTemporaryDir dir;

    std::printf("recording, test camera 30 fps, period 41 ms, %s, %d s\n", qPrintable(codec), seconds);
    std::printf("%-10s %8s %8s %9s %8s %6s %10s %8s %10s\n", "size", "written", "expected", "repeated", "skipped",
                "late", "cpu ms/fr", "% core", "file MB");
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        capControl c;
        c.resize(480, 360);
        c.driverCount();
        c.setDriverIndex(1);
        if (!c.setCaptureFormat({size, QStringLiteral("bgr0"), 30})) {
            std::printf("cannot set format: %s\n", qPrintable(c.lastError()));
            return 1;
        }
        c.setCompression({codec, 85});
        const QString path = dir.filePath(QStringLiteral("bench.avi"));
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        if (!c.StartCapture(false, path, 41, false, false, true, -1)) {
            std::printf("cannot record: %s\n", qPrintable(c.lastError()));
            return 1;
        }
        QTest::qWait(seconds * 1000);
        c.StopCapture();
        const double wallS = wall.elapsed() / 1000.0;
        const double cpu = cpuSeconds() - cpu0;
        const auto st = c.recordingStats();
        std::printf("%4dx%-5d %8lld %8.0f %9lld %8lld %6lld %10.2f %7.1f%% %10.1f\n", size.width(), size.height(),
                    st.written, st.seconds * 1000 / 41, st.repeated, st.skipped, st.late,
                    st.written ? cpu * 1000 / st.written : 0.0, cpu / wallS * 100, QFileInfo(path).size() / 1e6);
        QFile::remove(path);
    }
    std::printf("(source delivers 30 fps, the file takes 24.4: about 5.6 pictures a second are skipped by design; "
                "repeated = periods without a new picture)\n");
    return 0;
}
