// The backdrop replaced in a take: a 1280x720 camera frame, the frame's
// interior cut out, the sitter found, matted and put on the preset's colour,
// brought to 358x441, all on one core; and the matte's agreement with the
// known one on each test backdrop.
#include "backdrop.h"
#include "backdroppictures.h"
#include "facedetector.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sched.h>

using namespace backdroppictures;

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // One core, as on a small laptop with the preview running on the other.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof(one), &one);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    auto detector = FaceDetector::create();
    if (!detector) {
        std::printf("no face detector: %s\n", qPrintable(detector.error()));
        return 1;
    }
    const QColor registryBlue(160, 200, 240);
    const char* names[] = {"plain", "gradient", "cloth", "two-tone"};
    for (int kind = 0; kind < 4; ++kind) {
        // The sitter in the middle of a 1280x720 frame, the frame's interior
        // about as an operator sets it for a 358x441 photo.
        const QSize sitterSize(480, 591);
        const Composite sitter = compose(Backdrop(kind), sitterSize);
        QImage frame = backdrop(QSize(1280, 720), Backdrop(kind));
        const QPoint at((1280 - sitterSize.width()) / 2, 720 - sitterSize.height());
        QPainter(&frame).drawImage(at, sitter.photo);
        const QRect interior(at, sitterSize);

        std::vector<double> ms;
        std::vector<double> matteMs;
        BackdropMatte matte;
        for (int i = 0; i < 12; ++i) {
            QElapsedTimer t;
            t.start();
            const QImage cut = frame.copy(interior);
            FaceSearch search;
            search.minHeadShare = 0.25;
            const QList<Face> faces = (*detector)->find(cut, search);
            if (faces.isEmpty()) {
                std::printf("%s: no face found\n", names[kind]);
                return 1;
            }
            QElapsedTimer m;
            m.start();
            matte = matteSitter(cut, faces.constFirst());
            const QImage replaced = composeOver(cut, matte.alpha, registryBlue);
            matteMs.push_back(m.nsecsElapsed() / 1e6);
            const QImage photo = replaced.scaled(358, 441, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            ms.push_back(t.nsecsElapsed() / 1e6);
            if (photo.isNull())
                return 1;
        }
        std::sort(ms.begin(), ms.end());
        std::sort(matteMs.begin(), matteMs.end());
        std::printf("%-9s 480x591 cut of a 1280x720 frame to 358x441, one core: median %.0f ms (matte and colour "
                    "%.0f ms), worst %.0f ms; IoU %.4f, edge-band alpha error %.3f, border spread %.1f%s\n",
                    names[kind], ms[ms.size() / 2], matteMs[matteMs.size() / 2], ms.back(),
                    personIoU(matte.alpha, sitter.alpha), edgeBandError(matte.alpha, sitter.alpha), matte.spread,
                    matte.ok() ? "" : qPrintable(QStringLiteral(" (refused: ") + matte.refusal + ")"));
    }
    return 0;
}
