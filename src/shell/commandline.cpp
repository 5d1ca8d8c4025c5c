#include "commandline.h"

#include "capturesource.h"
#include "reframe.h"
#include "reportcommands.h"
#include "rosterread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace commandline {
namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption dumpRoster{
        QStringLiteral("dump-roster"),
        QStringLiteral("Print the rows an import of FILE would store, TAB-separated, and exit."),
        QStringLiteral("FILE")};
    QCommandLineOption listDevices{
        QStringLiteral("list-devices"),
        QStringLiteral("Print one line per camera driver, \"index<TAB>description\", and exit.")};
    QCommandLineOption columns{QStringLiteral("columns"),
                               QStringLiteral("The three sheet columns to read with --dump-roster (default A,B,C)."),
                               QStringLiteral("A,B,C")};

    QCommandLineOption camera{
        QStringLiteral("camera"),
        QStringLiteral("Use ADDRESS as the camera at start: http(s) MJPEG, rtsp, or a picture or video file."),
        QStringLiteral("ADDRESS")};

    QCommandLineOption reframe{
        QStringLiteral("reframe"),
        QStringLiteral("Cut identity photos around the face of each picture (jpg, png, bmp) in SOURCE, a file or "
                       "a folder, into OUT/NAME.jpg; prints \"NAME<TAB>ok\" or \"NAME<TAB>reason\" per file."),
        QStringLiteral("SOURCE")};
    QCommandLineOption size{QStringLiteral("size"), QStringLiteral("The photo size for --reframe, e.g. 151x201."),
                            QStringLiteral("WxH")};
    QCommandLineOption maxKb{QStringLiteral("max-kb"),
                             QStringLiteral("With --reframe: the largest file size in KB (quality lowered to fit)."),
                             QStringLiteral("N")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The output of --reframe (a folder), --missing (.xlsx or .csv) or "
                                             "--contact-sheet (.pdf)."),
                              QStringLiteral("OUT")};

    QCommandLineOption missing{
        QStringLiteral("missing"),
        QStringLiteral("Write the rows of WORKBOOK whose photo is not in --folder to -o (.xlsx or .csv), with a "
                       "summary line."),
        QStringLiteral("WORKBOOK")};
    QCommandLineOption contactSheet{
        QStringLiteral("contact-sheet"),
        QStringLiteral("Write a PDF contact sheet of the photos of WORKBOOK's rows in --folder to -o, one section "
                       "per value of --group-by."),
        QStringLiteral("WORKBOOK")};
    QCommandLineOption folder{QStringLiteral("folder"),
                              QStringLiteral("The photo folder for --missing and --contact-sheet."),
                              QStringLiteral("DIR")};
    QCommandLineOption groupBy{QStringLiteral("group-by"),
                               QStringLiteral("The imported column that groups --contact-sheet (default the third)."),
                               QStringLiteral("C")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Photo station: student identity photos from a roster workbook and a camera."));
        parser.addPositionalArgument(QStringLiteral("WORKBOOK"),
                                     QStringLiteral("A roster workbook (.xls or .xlsx) to import at start."),
                                     QStringLiteral("[WORKBOOK]"));
        parser.addOption(listDevices);
        parser.addOption(camera);
        parser.addOption(dumpRoster);
        parser.addOption(columns);
        parser.addOption(reframe);
        parser.addOption(size);
        parser.addOption(maxKb);
        parser.addOption(output);
        parser.addOption(missing);
        parser.addOption(contactSheet);
        parser.addOption(folder);
        parser.addOption(groupBy);
    }
};

int runReframeOption(const Parser& p)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    ReframeJob job;
    job.source = p.parser.value(p.reframe);
    job.outFolder = p.parser.value(p.output);
    const QStringList sides = p.parser.value(p.size).split(QLatin1Char('x'));
    bool wideOk = false;
    bool highOk = false;
    if (sides.size() == 2)
        job.size = QSize(sides[0].toInt(&wideOk), sides[1].toInt(&highOk));
    if (!wideOk || !highOk) {
        err << QStringLiteral("--reframe 需要 --size 宽x高，例如 151x201") << "\n";
        return 2;
    }
    if (job.outFolder.isEmpty()) {
        err << QStringLiteral("--reframe 需要 -o 输出文件夹") << "\n";
        return 2;
    }
    if (p.parser.isSet(p.maxKb)) {
        bool ok = false;
        const int kb = p.parser.value(p.maxKb).toInt(&ok);
        if (!ok || kb < 1) {
            err << QStringLiteral("--max-kb 应为正整数") << "\n";
            return 2;
        }
        job.maxBytes = qint64(kb) * 1024;
    }
    return runReframe(job, out, err);
}

}  // namespace

std::optional<int> runWithoutDisplay(int argc, char* argv[])
{
    // Painting a PDF needs fonts, which only a GUI application has; it needs
    // no screen, so it runs offscreen unless a platform was chosen.
    const bool paints = std::any_of(argv, argv + argc, [](const char* a) {
        return std::strcmp(a, "--contact-sheet") == 0 || std::strncmp(a, "--contact-sheet=", 16) == 0;
    });
    if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        paints ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("photostation"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PHOTOSTATION_VERSION));
    Parser p;
    if (!p.parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << p.parser.errorText() << "\n";
        return 2;
    }
    if (p.parser.isSet(p.help)) {
        QTextStream(stdout) << p.parser.helpText();
        return 0;
    }
    if (p.parser.isSet(p.version)) {
        QTextStream(stdout) << QCoreApplication::applicationName() << " " << QCoreApplication::applicationVersion()
                            << "\n";
        return 0;
    }
    if (p.parser.isSet(p.listDevices)) {
        QTextStream out(stdout);
        out.setEncoding(QStringConverter::Utf8);
        out << capture::listDevicesText();
        return 0;
    }
    if (p.parser.isSet(p.dumpRoster)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        out.setEncoding(QStringConverter::Utf8);
        err.setEncoding(QStringConverter::Utf8);
        return dumpRoster(p.parser.value(p.dumpRoster), p.parser.value(p.columns), out, err);
    }
    if (p.parser.isSet(p.reframe))
        return runReframeOption(p);
    if (p.parser.isSet(p.missing) || p.parser.isSet(p.contactSheet)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        out.setEncoding(QStringConverter::Utf8);
        err.setEncoding(QStringConverter::Utf8);
        const bool sheet = p.parser.isSet(p.contactSheet);
        const ReportCommand command{p.parser.value(sheet ? p.contactSheet : p.missing), p.parser.value(p.columns),
                                    p.parser.value(p.folder), p.parser.value(p.output), p.parser.value(p.groupBy)};
        return sheet ? runContactSheetCommand(command, out, err) : runMissingListCommand(command, out, err);
    }
    return std::nullopt;
}

Options parse(const QStringList& arguments)
{
    Parser p;
    Options options;
    if (!p.parser.parse(arguments)) {
        options.exitCode = 2;
        return options;
    }
    const QStringList positional = p.parser.positionalArguments();
    if (!positional.isEmpty())
        options.workbook = positional.constFirst();
    options.camera = p.parser.value(p.camera);
    return options;
}

}  // namespace commandline
