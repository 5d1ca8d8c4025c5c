// The program itself links Qt Core only: it answers --help and --version and
// loads the module of the window or of the command-line tool asked for, so a
// tool starts without the libraries of the window, the camera or speech.
#include "commandline.h"
#include "moduleentry.h"
#include "modules.h"

#include <QCoreApplication>
#include <QTextStream>

#include <memory>

namespace {

// The exit status when a module the command needs cannot be loaded.
constexpr int missingModuleStatus = 3;

QString moduleOf(commandline::Tool tool)
{
    using commandline::Tool;
    const char* name = "";
    switch (tool) {
    case Tool::Window:
        name = "window";
        break;
    case Tool::ListDevices:
        name = "camera";
        break;
    case Tool::DumpRoster:
        name = "roster";
        break;
    case Tool::Reframe:
        name = "reframe";
        break;
    case Tool::MissingList:
    case Tool::ContactSheet:
        name = "reports";
        break;
    case Tool::ListPresets:
    case Tool::Export:
        name = "export";
        break;
    }
    return QStringLiteral("photostation-%1" STATION_MODULE_SUFFIX).arg(QLatin1String(name));
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("photostation"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PHOTOSTATION_VERSION));
}

}  // namespace

int main(int argc, char* argv[])
{
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    nameApplication();
    commandline::Parser p;
    if (!p.parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << p.parser.errorText() << "\n";
        return 2;
    }
    // --help-all comes with the help option; the window's Qt options are not
    // worth a second text, so it prints the same help.
    if (p.parser.isSet(p.help) || p.parser.isSet(QStringLiteral("help-all"))) {
        QTextStream(stdout) << p.parser.helpText();
        return 0;
    }
    if (p.parser.isSet(p.version)) {
        QTextStream(stdout) << QCoreApplication::applicationName() << " " << QCoreApplication::applicationVersion()
                            << "\n";
        return 0;
    }

    const commandline::Tool tool = commandline::toolOf(p);
    const QString programDirectory = QCoreApplication::applicationDirPath();
    auto entry = [&](const char* symbol) { return modules::resolve(programDirectory, moduleOf(tool), symbol); };
    auto refuse = [](const QString& reason) {
        QTextStream err(stderr);
        err.setEncoding(QStringConverter::Utf8);
        err << "photostation: " << reason << "\n";
        return missingModuleStatus;
    };

    if (tool == commandline::Tool::Window) {
        const Result<modules::Function> window = entry(moduleentry::windowSymbol);
        if (!window)
            return refuse(window.error());
        app.reset();  // the window makes its own QApplication
        return reinterpret_cast<moduleentry::Window>(window->address)(&argc, argv);
    }

    const Result<modules::Function> run = entry(moduleentry::toolSymbol);
    if (!run)
        return refuse(run.error());
    const QStringList arguments = QCoreApplication::arguments();
    if (tool == commandline::Tool::ContactSheet) {
        // Painting a PDF needs fonts, which only a GUI application has; it
        // needs no screen, so it runs offscreen unless a platform was chosen.
        const Result<modules::Function> make = entry(moduleentry::makeApplicationSymbol);
        if (!make)
            return refuse(make.error());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app.reset();
        app.reset(reinterpret_cast<moduleentry::MakeApplication>(make->address)(&argc, argv));
        nameApplication();
    }
    return reinterpret_cast<moduleentry::Tool>(run->address)(&arguments);
}
