// Face detection per frame at camera sizes, and re-framing throughput.
#include "facedetector.h"
#include "reframe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QImage portraitOn(QSize canvas)
{
    const QImage portrait(QStringLiteral(STATION_SHARED_TESTDATA "/portrait.png"));
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(Qt::gray);
    QPainter p(&out);
    // The sitter fills about two thirds of the picture's height, as in front of a station.
    const double scale = canvas.height() * 0.66 / portrait.height();
    const QSizeF size = QSizeF(portrait.size()) * scale;
    p.drawImage(QRectF(QPointF((canvas.width() - size.width()) / 2, canvas.height() - size.height()), size), portrait);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    auto detector = FaceDetector::create();
    if (!detector) {
        std::printf("%s\n", qPrintable(detector.error()));
        return 1;
    }
    std::printf("face detection per frame (grey copy 480 px wide), 50 frames, one thread\n");
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        const QImage frame = portraitOn(size);
        std::vector<double> ms;
        int found = 0;
        for (int i = 0; i < 50; ++i) {
            QElapsedTimer t;
            t.start();
            found += int((*detector)->detect(frame).size());
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %4dx%-4d  median %6.2f ms  worst %6.2f ms  -> %5.1f detections/s  (faces found %d/50)\n",
                    size.width(), size.height(), ms[ms.size() / 2], ms.back(), 1000.0 / ms[ms.size() / 2], found);
    }

    QTemporaryDir sources;
    QTemporaryDir out;
    const QImage portrait(QStringLiteral(STATION_SHARED_TESTDATA "/portrait.png"));
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
