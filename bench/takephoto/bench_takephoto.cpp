// Time from a click on the take button to the JPEG in place, and the time the
// window's own thread spends on each save, through the real main window: the
// built-in test camera at 1280x960 in the capture unit, free shooting with
// automatic names and automatic saving, so every take writes a new file. The
// photo is written on a worker; the window's thread only takes the picture,
// starts the save and, when the worker is done, moves on. Prints the medians
// and the worst of both at three target sizes, and the time from the shot key
// to the file and the next student in roster mode.
#include "capcontrol.h"
#include "capturesession.h"
#include "capturesource.h"
#include "mainwindow.h"
#include "photocontroller.h"
#include "photofoldersetting.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "windowbench.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
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

// Times every event the window's thread handles, so the one that finishes a
// save (the worker's result coming back) can be told and measured.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer t;
        t.start();
        finishedHere = false;
        const bool handled = QApplication::notify(receiver, event);
        if (finishedHere)
            finishMs = double(t.nsecsElapsed()) / 1e6;
        --depth_;
        return handled;
    }
    bool finishedHere = false;  // set when a save finished inside the current event
    double finishMs = 0;

private:
    int depth_ = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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
    TimedApplication app(argc, argv);
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
    PhotoService& service = w.photo->service();
    const PhotoSession& session = service.session();
    // The pause for the next student is an operator's, not the machine's.
    service.settleMs = 0;

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

    QElapsedTimer clickTime;
    double fileMs = 0;
    QString savedPath;
    QObject::connect(&service, &PhotoService::saved, &app, [&](const SaveReport& report) {
        fileMs = double(clickTime.nsecsElapsed()) / 1e6;
        savedPath = report.path;
        app.finishedHere = true;
    });

    std::printf("take to JPEG in place, camera 1280x960, free shooting, automatic saving\n");
    std::printf("  window's thread per save = the click (take, save started) + the save's return\n");
    for (const QSize target : {QSize(151, 201), QSize(600, 800), QSize(6000, 8000)}) {
        unit<QLineEdit>(w, "编辑框3")->setText(QString::number(target.width()));
        unit<QLineEdit>(w, "编辑框4")->setText(QString::number(target.height()));
        runEvents(100);
        const int n = target.width() > 1000 ? std::max(1, takes / 10) : takes;

        std::vector<double> toFile, onWindow;
        for (int i = 0; i < n; ++i) {
            // The next student: a picture that came after the last save.
            const quint64 serial = camera->session()->serial();
            if (!waitFor([&] { return camera->session()->serial() > serial; }, 10000))
                return fail("the camera stopped");
            savedPath.clear();
            app.finishMs = -1;
            clickTime.start();
            takeButton->click();
            const double clickMs = double(clickTime.nsecsElapsed()) / 1e6;
            if (!waitFor([&] { return !savedPath.isEmpty() && app.finishMs >= 0; }, 120000))
                return fail(qPrintable(QStringLiteral("no photo saved — status: ") + w.status()));
            if (!QFileInfo::exists(savedPath))
                return fail(qPrintable(QStringLiteral("no photo at ") + savedPath));
            toFile.push_back(fileMs);
            onWindow.push_back(clickMs + app.finishMs);
            runEvents(40);
        }
        const QSize last = QImageReader(savedPath).size();
        std::printf("  target %4dx%-4d  click to file: median %7.2f ms, worst %7.2f ms   "
                    "window's thread per save: median %5.2f ms, worst %5.2f ms   (%d takes, photo %dx%d)\n",
                    target.width(), target.height(), median(toFile), *std::max_element(toFile.begin(), toFile.end()),
                    median(onWindow), *std::max_element(onWindow.begin(), onWindow.end()), n, last.width(),
                    last.height());
    }
    // Roster mode by the shot key: a press, the photo on disk, the next
    // student current and shown.
    unit<QCheckBox>(w, "选择框2")->click();  // back to the roster
    unit<QLineEdit>(w, "编辑框3")->setText(QStringLiteral("151"));
    unit<QLineEdit>(w, "编辑框4")->setText(QStringLiteral("201"));
    Roster rows;
    for (int i = 0; i < 400; ++i) {
        RosterEntry e;
        e.cells[0] = QStringLiteral("学生%1").arg(i + 1);
        e.cells[1] = QStringLiteral("%1班").arg(i / 40 + 1);
        rows.push_back(e);
    }
    w.rosterState().setRows(rows);
    runEvents(100);
    QWidget* list = unit<QWidget>(w, "超级列表框1");
    const int presses = std::min(takes, 399);
    std::vector<double> keyToNext;
    for (int i = 0; i < presses; ++i) {
        const quint64 serial = camera->session()->serial();
        if (!waitFor([&] { return camera->session()->serial() > serial; }, 10000))
            return fail("the camera stopped");
        const int row = w.rosterState().currentRow();
        savedPath.clear();
        clickTime.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &press);
        if (!waitFor([&] { return !savedPath.isEmpty() && w.rosterState().currentRow() == row + 1; }, 30000))
            return fail(qPrintable(QStringLiteral("the key saved nothing — status: ") + w.status()));
        keyToNext.push_back(fileMs);
        runEvents(40);
    }
    std::printf("  roster of 400, shot key (F8), 151x201: key to file and next student shown: median %.2f ms, "
                "worst %.2f ms (%d presses)\n",
                median(keyToNext), *std::max_element(keyToNext.begin(), keyToNext.end()), presses);

    const int files = QDir(w.appState().photoFolder()).entryList(QDir::Files).size();
    std::printf("  %d files written\n", files);
    return 0;
}
