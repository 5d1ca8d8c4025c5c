#include "commandline.h"

#include "capturesource.h"
#include "rosterread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

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

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Photo station: student identity photos from a roster workbook and a camera."));
        parser.addPositionalArgument(QStringLiteral("WORKBOOK"),
                                     QStringLiteral("A roster workbook (.xls or .xlsx) to import at start."),
                                     QStringLiteral("[WORKBOOK]"));
        parser.addOption(listDevices);
        parser.addOption(dumpRoster);
        parser.addOption(columns);
    }
};

}  // namespace

std::optional<int> runWithoutDisplay(int argc, char* argv[])
{
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("photostation"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PHOTOSTATION_VERSION));
    Parser p;
    if (!p.parser.parse(core.arguments())) {
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
    return options;
}

}  // namespace commandline
