// Time from a click on the take button to the JPEG in place, through the real
// main window: the built-in test camera at 1280x960 in the capture unit,
// free shooting with automatic names and automatic saving, so every take
// writes a new file. Each save computes and checks its name (the next free
// number, the file's existence) when it runs. 100 takes at each target size;
// prints median and worst beside the medians the station had before those
// checks, the cut with the target's aspect and the caption on the photo.
#include "capcontrol.h"
#include "capturesource.h"
#include "mainwindow.h"
#include "photocontroller.h"
#include "photofoldersetting.h"
#include "windowbench.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Lets the camera deliver and the window paint between takes, as an operator's
// pause would.
void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        runEvents(10);
    }
    return true;
}

// Click-to-file medians of the earlier pipeline (canvas drawing, caption at a
// fixed place, no save-time name check), measured with this program at commit
// 86f78b7 on the shared 2-core build machine under a load of about 20, 100
// takes each (a second run gave 32.07 and 49.23 ms).
struct Before {
    QSize target;
    double medianMs;
};
const Before before[] = {{QSize(151, 201), 36.09}, {QSize(600, 800), 38.41}};

double beforeMedian(QSize target)
{
    for (const Before& b : before)
        if (b.target == target)
            return b.medianMs;
    return 0;
}

template <class T> T* unit(QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromUtf8(name));
}

int fail(const char* what)
{
    std::fprintf(stderr, "bench_takephoto: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    if (!windowbench::isolate(sandbox))
        return fail("no temporary folder");
    QApplication app(argc, argv);
    const int takes = argc > 1 ? std::max(1, atoi(argv[1])) : 100;

    const QString folder = sandbox.path() + "/photos";
    if (!photofoldersetting::write(folder))
        return fail("cannot write the photo folder setting");
    capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });

    MainWindow w;
    w.show();
    capControl* camera = unit<capControl>(w, "视频设备");
    auto* takeButton = unit<QPushButton>(w, "按钮照相");
    auto* autoSave = unit<QCheckBox>(w, "选择框1");
    auto* freeShooting = unit<QCheckBox>(w, "选择框2");
    const PhotoSession& session = w.photo->session();

    unit<QPushButton>(w, "预览按钮")->click();
    if (!camera->isPreviewing())
        return fail(qPrintable(QStringLiteral("preview did not start: ") + camera->lastError()));
    if (!camera->setCaptureFormat({QSize(1280, 960), QStringLiteral("bgr0"), 30}))
        return fail(qPrintable(QStringLiteral("1280x960 refused: ") + camera->lastError()));
    if (!waitFor([&] { return camera->latestFrame().size() == QSize(1280, 960); }, 10000))
        return fail("no 1280x960 frame");

    // Free shooting with automatic names, saved on every take.
    autoSave->click();
    freeShooting->click();
    if (!session.autoSave() || !session.freeShooting() || session.manualNaming())
        return fail("free shooting with automatic saving could not be set");

    std::printf("take to JPEG in place, camera 1280x960, free shooting, automatic saving, %d takes\n", takes);
    for (const QSize target : {QSize(151, 201), QSize(600, 800)}) {
        unit<QLineEdit>(w, "编辑框3")->setText(QString::number(target.width()));
        unit<QLineEdit>(w, "编辑框4")->setText(QString::number(target.height()));
        runEvents(100);

        std::vector<double> ms;
        ms.reserve(size_t(takes));
        for (int i = 0; i < takes; ++i) {
            const QString previous = session.photoBaseName();
            QElapsedTimer t;
            t.start();
            takeButton->click();
            const qint64 ns = t.nsecsElapsed();
            // The save ran inside the click: a new file must be there now.
            const QString file = w.appState().photoFolder() + "/" + session.photoBaseName();
            if (session.photoBaseName() == previous || !QFileInfo::exists(file))
                return fail(
                    qPrintable(QStringLiteral("no photo at ") + file + QStringLiteral(" — status: ") + w.status()));
            ms.push_back(double(ns) / 1e6);
            runEvents(40);
        }
        // The last photo has the target size.
        const QImage last(w.appState().photoFolder() + "/" + session.photoBaseName());
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const double median =
            takes % 2 ? sorted[size_t(takes / 2)] : (sorted[size_t(takes / 2 - 1)] + sorted[size_t(takes / 2)]) / 2;
        std::printf("  target %4dx%-4d  median %7.2f ms (before: %6.2f ms)   worst %7.2f ms   best %7.2f ms   "
                    "(photo %dx%d)\n",
                    target.width(), target.height(), median, beforeMedian(target), sorted.back(), sorted.front(),
                    last.width(), last.height());
    }
    const int files = QDir(w.appState().photoFolder()).entryList(QDir::Files).size();
    std::printf("  %d files written\n", files);
    return 0;
}
