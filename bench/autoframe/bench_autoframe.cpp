// Automatic framing in the real window: the preview's cost at 1280x720 with
// framing off and on, the detections per second, and how long a take's
// check takes from the click's picture to the verdict. Detection, checks
// and --reframe alone: bench_faces.
#include "cameracontroller.h"
#include "facecontroller.h"
#include "facedetector.h"
#include "mainwindow.h"
#include "reframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

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

// Runs the event loop for a while without spinning, so the CPU measured is
// the program's own.
void spin(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// The whole program's CPU (all threads) over a few seconds of preview of a
// 1280 x 720 picture, with automatic framing off and on; then takes checked.
void previewCost(const QString& folder)
{
    // A still picture is searched once (its faces are remembered), so the
    // camera is a video of the sitter swaying, made by ffmpeg: every frame
    // is new, as from a real camera.
    const QImage frame = portraitOn(QSize(1280, 720));
    const QString still = folder + QStringLiteral("/sitter.png");
    portraitOn(QSize(1360, 720)).save(still);
    QString picture = folder + QStringLiteral("/camera.mp4");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"),
                                            QStringLiteral("error"),
                                            QStringLiteral("-y"),
                                            QStringLiteral("-loop"),
                                            QStringLiteral("1"),
                                            QStringLiteral("-i"),
                                            still,
                                            QStringLiteral("-vf"),
                                            QStringLiteral("crop=1280:720:'40+30*sin(t)':0"),
                                            QStringLiteral("-t"),
                                            QStringLiteral("40"),
                                            QStringLiteral("-r"),
                                            QStringLiteral("25"),
                                            QStringLiteral("-c:v"),
                                            QStringLiteral("libx264"),
                                            QStringLiteral("-preset"),
                                            QStringLiteral("ultrafast"),
                                            QStringLiteral("-pix_fmt"),
                                            QStringLiteral("yuv420p"),
                                            picture});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        std::printf("preview: no ffmpeg to make the video; the still picture is used (searched once)\n");
        picture = still;
    }
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
    std::printf("preview of a 1280x720 video of the sitter (whole program, %% of one core, mean of 2 x %.0f s): "
                "auto-framing off %.1f %%, "
                "on %.1f %% (+%.1f %%), %.1f detections/s\n",
                seconds, off, on, on - off, detections / (2 * seconds));

    // The take's check, from the picture under the frame to the verdict on
    // the window's thread (the model is loaded by now).
    const QRect under(frame.width() / 2 - 240, 40, 480, 640);
    std::vector<double> ms;
    QString verdict;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        bool answered = false;
        window.faces->reviewTake(frame.copy(under), std::nullopt, [&answered](const TakeReview&) { answered = true; });
        while (!answered && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ms.push_back(t.nsecsElapsed() / 1e6);
        verdict = window.findChild<QLabel*>(QStringLiteral("检查结果标签"))->text();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("take check, 480x640 cut of the 1280x720 frame, click to verdict: median %.0f ms, worst %.0f ms (%s)\n",
                ms[ms.size() / 2], ms.back(), qPrintable(verdict));
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
    previewCost(sandbox.path());

    return 0;
}
