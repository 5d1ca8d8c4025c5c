// Face detection per frame at camera sizes, the preview's cost with and
// without automatic framing, and re-framing throughput.
#include "cameracontroller.h"
#include "facecontroller.h"
#include "facedetector.h"
#include "mainwindow.h"
#include "reframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

QImage portraitOn(QSize canvas)
{
    const QImage portrait(QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png"));
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(Qt::gray);
    QPainter p(&out);
    // The sitter fills about two thirds of the picture's height, as in front of a station.
    const double scale = canvas.height() * 0.66 / portrait.height();
    const QSizeF size = QSizeF(portrait.size()) * scale;
    p.drawImage(QRectF(QPointF((canvas.width() - size.width()) / 2, canvas.height() - size.height()), size), portrait);
    return out;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void spin(double seconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The whole program's CPU (all threads) over a few seconds of preview of a
// 640 x 480 picture, with automatic framing off and on.
void previewCost(const QString& folder)
{
    const QString picture = folder + QStringLiteral("/camera.png");
    portraitOn(QSize(640, 480)).save(picture);
    MainWindow window;
    window.show();
    QSignalSpy connected(window.camera, &CameraController::addressFinished);
    window.camera->UseAddress(picture);
    if (!connected.wait(20000) || !connected.first().first().toBool()) {
        std::printf("preview: the picture could not be connected\n");
        return;
    }
    window.findChild<QPushButton*>(QStringLiteral("预览按钮"))->click();
    spin(2.0);  // the source settles
    // Off and on alternate, twice, so a change in the machine's load falls
    // on both alike.
    constexpr double seconds = 5.0;
    double off = 0;
    double on = 0;
    int detections = 0;
    for (const bool framing : {false, true, false, true}) {
        window.findChild<QCheckBox*>(QStringLiteral("自动取景选择框"))->setChecked(framing);
        spin(1.0);
        QSignalSpy detected(window.faces, &FaceController::detected);
        const double before = cpuSeconds();
        spin(seconds);
        const double share = 100.0 * (cpuSeconds() - before) / seconds;
        std::printf("  auto-framing %-3s %5.1f %% of one core; status line: %s\n", framing ? "on" : "off", share,
                    qPrintable(window.status()));
        (framing ? on : off) += share / 2;
        if (framing)
            detections += int(detected.size());
    }
    std::printf("preview of 640x480 (whole program, %% of one core, mean of 2 x %.0f s): auto-framing off %.1f %%, "
                "on %.1f %% (+%.1f %%), %.1f detections/s\n",
                seconds, off, on, on - off, detections / (2 * seconds));
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir sandbox;
    // The main window reads and writes its setting here, not in the user's.
    qputenv("XDG_CONFIG_HOME", sandbox.path().toLocal8Bit());
    QApplication app(argc, argv);
    auto detector = FaceDetector::create();
    if (!detector) {
        std::printf("%s\n", qPrintable(detector.error()));
        return 1;
    }
    std::printf("face detection per frame (grey copy 480 px wide), 50 frames, one thread\n");
    for (const auto& [size, workWidth] :
         {std::pair{QSize(640, 480), 480}, std::pair{QSize(1280, 720), 480}, std::pair{QSize(640, 480), 320}}) {
        if (workWidth != 480)
            std::printf("as the live preview searches (grey copy %d px wide)\n", workWidth);
        const QImage frame = portraitOn(size);
        std::vector<double> ms;
        int found = 0;
        const double cpuBefore = cpuSeconds();
        for (int i = 0; i < 50; ++i) {
            QElapsedTimer t;
            t.start();
            found += int((*detector)->detect(frame, workWidth).size());
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        const double cpuMs = (cpuSeconds() - cpuBefore) * 1000 / 50;
        std::sort(ms.begin(), ms.end());
        std::printf("  %4dx%-4d  median %6.2f ms  worst %6.2f ms  -> %5.1f detections/s  (faces found %d/50)  CPU "
                    "%.2f ms per detection (all threads)\n",
                    size.width(), size.height(), ms[ms.size() / 2], ms.back(), 1000.0 / ms[ms.size() / 2], found,
                    cpuMs);
    }

    previewCost(sandbox.path());

    QTemporaryDir sources;
    QTemporaryDir out;
    const QImage portrait(QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png"));
    for (int i = 0; i < 100; ++i)
        portrait.save(sources.filePath(QStringLiteral("p%1.png").arg(i, 3, 10, QLatin1Char('0'))));
    QString printed;
    QString progress;
    QTextStream o(&printed);
    QTextStream e(&progress);
    QElapsedTimer t;
    t.start();
    const int status = runReframe({sources.path(), QSize(151, 201), 0, out.path(), 90}, o, e);
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("reframe 100 copies of the portrait to 151x201: %.2f s, %.1f photos/s (exit %d)\n", seconds,
                100 / seconds, status);
    return 0;
}
