// The window module: the main window and everything it opens.
#include "cameracontroller.h"
#include "commandline.h"
#include "fonts.h"
#include "mainwindow.h"
#include "moduleentry.h"
#include "speechvoice.h"
#include "translations.h"
#include "widgetdialogs.h"

#include <QApplication>
#include <QTimer>

#include <functional>

namespace {

// Runs its work once, soon after the window's first paint: what the first
// picture does not need waits until the window is on screen. A window that is
// not painted (never exposed) has it run after a while all the same.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget* window, std::function<void()> work)
        : QObject(window)
        , work_(std::move(work))
    {
        window->installEventFilter(this);
        QTimer::singleShot(2000, this, [this] { run(); });
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && work_)
            QMetaObject::invokeMethod(
                this, [this] { run(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void run()
    {
        if (!work_)
            return;
        const std::function<void()> work = std::move(work_);
        work_ = nullptr;
        work();
    }

    std::function<void()> work_;
};

}  // namespace

STATION_MODULE_ENTRY int photostation_window(int* argc, char** argv)
{
    QApplication app(*argc, argv);
    QApplication::setApplicationName(QStringLiteral("photostation"));
    QApplication::setApplicationVersion(QStringLiteral(PHOTOSTATION_VERSION));
    // Desktops match the window to the installed menu entry (and its icon) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kqvxzt.photostation"));
    fonts::installSubstitutions();
    if (const Status chinese = translations::installChinese(app); !chinese)
        qWarning("%s", qPrintable(chinese.error()));
    useWidgetDialogs();

    const commandline::Options options = commandline::parse(app.arguments());
    if (options.exitCode)
        return *options.exitCode;

    // The speech object lives from before the first window until exit; its
    // engine starts once the window has painted, before a workbook given on
    // the command line is imported (whose first row is announced).
    SpeechVoiceScope speechScope(SpeechVoiceScope::Start::Later);
    MainWindow window(MainWindow::CameraStart::AfterShowing);
    window.move(50, 50);
    window.show();
    new AfterFirstPaint(&window, [&] {
        if (options.camera.isEmpty())
            window.camera->ConnectShownDriver();
        else
            window.camera->UseAddress(options.camera);
        speechScope.start();
        if (!options.workbook.isEmpty())
            window.importWorkbookAtStart(options.workbook);
    });
    return app.exec();
}
