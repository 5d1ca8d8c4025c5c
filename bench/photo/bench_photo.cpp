// Time of one take and save, from a 1280x960 camera frame: cut the viewfinder
// interior with the target's aspect, scale it to the target size with the
// caption on it, encode as JPEG, write a temporary file and rename it over
// the photo (keeping the replaced one aside). Prints median and worst of 100
// takes per target size.

#include "jpegcodec.h"
#include "photocut.h"
#include "photofile.h"
#include "photoimage.h"
#include "photorender.h"
#include "songfont.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QImage cameraFrame()
{
    QImage frame(1280, 960, QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            row[x] = qRgb((x * 255) / 1279, (y * 255) / 959, ((x ^ y) & 63) * 3);
    }
    return frame;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    installSongFontSubstitution();

    const QImage frame = cameraFrame();
    const QRectF interior(302, 30, 676, 900);  // the viewfinder at 151:201
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("张三.jpg"));
    PhotoImage image;
    QImage lastCut;
    constexpr int takes = 100;

    std::printf("photo take + save from a 1280x960 frame, %d takes each\n", takes);
    for (const QSize target : {QSize(151, 201), QSize(600, 800)}) {
        std::vector<double> ms;
        ms.reserve(takes);
        for (int i = 0; i < takes; ++i) {
            QElapsedTimer timer;
            timer.start();
            const Result<QImage> cut = cutPhoto(frame, interior, target);
            if (!cut) {
                std::fprintf(stderr, "take failed: %s\n", qPrintable(cut.error()));
                return 1;
            }
            PhotoJob job;
            job.cut = cut.value();
            job.size = target;
            job.caption = QStringLiteral("张三 初一(2)班");
            job.captionColour = Qt::red;
            job.quality = PhotoImage::qualityFor(image.compression());
            job.target.path = path;
            job.target.existing = safewrite::Existing::Replace;
            const Result<safewrite::Published> saved = runPhotoJob(job);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            if (!saved) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error()));
                return 1;
            }
            lastCut = cut.value();
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %4dx%-4d  median %6.2f ms   worst %6.2f ms\n", target.width(), target.height(), ms[takes / 2],
                    ms.back());
    }

    // Where the time goes, without the file system's sync and rename.
    std::vector<double> scale, encode;
    const QImage canvas = lastCut;
    for (int i = 0; i < takes; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QImage small = scaleToPhotoSize(canvas, QSize(151, 201));
        scale.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const Result<QByteArray> jpg = jpeg::encode(small, PhotoImage::qualityFor(image.compression()));
        encode.push_back(timer.nsecsElapsed() / 1e6);
        if (!jpg.ok())
            return 1;
    }
    std::sort(scale.begin(), scale.end());
    std::sort(encode.begin(), encode.end());
    std::printf("  151x201 parts: scale median %.2f ms, encode median %.2f ms\n", scale[takes / 2], encode[takes / 2]);
    return 0;
}
