// A still from the camera's largest mode while the preview runs at a smaller
// one: switch, first picture, switch back, on the emulated UVC webcam
// (preview 1280x720 MJPEG, still 1920x1080 MJPEG). Prints the time from the
// request to the still, and until the preview delivers again.
// Usage: bench_capture_modeswitch [rounds, default 10]
#include "capcontrol.h"
#include "capturesession.h"
#include "emulatedcamera.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

using namespace capture;

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings made here must not become the operator's.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.path()));
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (!EmulatedCamera::available()) {
        std::printf("the emulated webcam is not linked in: nothing to measure\n");
        return 0;
    }
    QTemporaryDir devices;
    EmulatedCamera cam(devices.filePath(QStringLiteral("video0")), QStringLiteral("基准摄像头"));
    const QString d = devices.path();
    setSourceProvider([d] { return defaultSources(d); });
    capControl c;
    c.resize(480, 360);
    c.driverCount();
    c.setDriverIndex(1);
    if (!c.setCaptureFormat({QSize(1280, 720), QStringLiteral("mjpeg"), 30}) || !c.ShowPreview(true, 60)) {
        std::printf("cannot preview: %s\n", qPrintable(c.lastError()));
        return 1;
    }
    c.setStillFromBestMode(true);
    QList<qint64> toStill, toPreview;
    for (int i = 0; i < rounds; ++i) {
        if (!QTest::qWaitFor([&] { return !c.latestFrame().isNull(); }, 5000)) {
            std::printf("no preview\n");
            return 1;
        }
        QElapsedTimer t;
        t.start();
        bool done = false;
        QSize size;
        c.captureStill([&](Result<QImage> still, FrameStamp) {
            done = true;
            size = still ? still->size() : QSize();
            toStill.append(t.elapsed());
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000)) {
            std::printf("no still in 10 s\n");
            return 1;
        }
        if (size != QSize(1920, 1080)) {
            std::printf("no still at 1920x1080: %s\n", qPrintable(c.lastError()));
            return 1;
        }
        const quint64 serial = c.session()->serial();
        if (!QTest::qWaitFor([&] { return c.session()->serial() > serial; }, 5000)) {
            std::printf("the preview did not come back\n");
            return 1;
        }
        toPreview.append(t.elapsed());
    }
    auto median = [](QList<qint64> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("still from 1920x1080 while previewing 1280x720, %d rounds\n", rounds);
    std::printf("  request to still:          median %lld ms, max %lld ms\n", median(toStill),
                *std::max_element(toStill.begin(), toStill.end()));
    std::printf("  request to preview again:  median %lld ms, max %lld ms\n", median(toPreview),
                *std::max_element(toPreview.begin(), toPreview.end()));
    return 0;
}
