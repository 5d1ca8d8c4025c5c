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

    // The speech object lives from before the first window until exit.
    SpeechVoiceScope speechScope;
    MainWindow window;
    window.move(50, 50);
    window.show();
    if (!options.camera.isEmpty())
        window.camera->UseAddress(options.camera);
    if (!options.workbook.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&] { window.importWorkbookAtStart(options.workbook); }, Qt::QueuedConnection);
    return app.exec();
}
