#pragma once
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// Every command-line option of the station is declared here. This part links
// Qt Core only: the program parses with it before it loads any module.
namespace commandline {

// Standard output and error as the tools write them: UTF-8 whatever the locale.
struct ToolStreams {
    ToolStreams();
    QTextStream out;
    QTextStream err;
};

struct Parser {
    Parser();

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
        QStringLiteral("Use ADDRESS as the camera at start: http(s) MJPEG, rtsp, a picture or video file, or a "
                       "folder whose newest picture file is the picture (a hot folder)."),
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
};

// What a command line asks for once --help and --version are answered: each
// tool lives in a module of its own, loaded only when asked for.
enum class Tool { Window, ListDevices, DumpRoster, Reframe, MissingList, ContactSheet };
Tool toolOf(const Parser& p);

struct Options {
    QString workbook;  // imported at start, as if dropped
    QString camera;  // a network camera's address, a picture or video file or a hot folder, connected at start
    std::optional<int> exitCode;  // set when the arguments end the program
};

// The options for a normal start.
Options parse(const QStringList& arguments);

}  // namespace commandline
