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
    QCommandLineOption columns{
        QStringLiteral("columns"),
        QStringLiteral("The three sheet columns to read with --dump-roster, --missing, --contact-sheet and --export "
                       "(default A,B,C)."),
        QStringLiteral("A,B,C")};
    QCommandLineOption checkIds{
        QStringLiteral("check-ids"),
        QStringLiteral("With --dump-roster: check the identity numbers of every column that holds them instead; "
                       "one line per bad row, \"ROW<TAB>VALUE<TAB>REASON\"; exit status 1 when there are any, 2 "
                       "when the workbook cannot be read.")};

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
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("With --reframe: write photos that fail their checks too; the reasons are "
                                            "still printed.")};
    QCommandLineOption background{
        QStringLiteral("background"),
        QStringLiteral("With --reframe or --export: put each photo's sitter on a backdrop of COLOUR (blue, lightblue, "
                       "white, red or #RRGGBB; with --export also \"preset\", the preset's own). A photo whose "
                       "backdrop is too busy to replace is refused by --reframe (written as it is with --force) "
                       "and packed as it is by --export, with the reason."),
        QStringLiteral("COLOUR")};
    QCommandLineOption maxKb{
        QStringLiteral("max-kb"),
        QStringLiteral("With --reframe: the largest file size in KB of 1000 bytes (quality lowered to fit)."),
        QStringLiteral("N")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The output of --reframe (a folder), --missing (.xlsx or .csv), "
                                             "--contact-sheet (.pdf) or --export (a folder)."),
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
                              QStringLiteral("The photo folder for --missing, --contact-sheet and --export."),
                              QStringLiteral("DIR")};
    QCommandLineOption groupBy{
        QStringLiteral("group-by"),
        QStringLiteral("The imported column that groups --contact-sheet and --export (default the third)."),
        QStringLiteral("C")};

    QCommandLineOption listPresets{
        QStringLiteral("list-presets"),
        QStringLiteral("Print the photo presets, one a line: \"NAME<TAB>size, dpi, KB range, background\". The "
                       "list is the user's photopresets.ini in the config folder when there is one, else the "
                       "shipped list; where it came from goes to stderr.")};
    QCommandLineOption exportUpload{
        QStringLiteral("export"),
        QStringLiteral("Pack the photos of WORKBOOK's rows (in --folder, by the first imported column) for an "
                       "upload: one OUT/GROUP.zip per value of --group-by holding only NAME.jpg files made to "
                       "--preset, and OUT/问题记录.csv with each row that could not go in and why. Exit status 0 all "
                       "rows went in, 1 some are in the problem list, 2 bad arguments."),
        QStringLiteral("WORKBOOK")};
    QCommandLineOption preset{QStringLiteral("preset"),
                              QStringLiteral("The photo preset of --export (see --list-presets)."),
                              QStringLiteral("NAME")};
    QCommandLineOption nameBy{
        QStringLiteral("name-by"),
        QStringLiteral("The imported column that names the files in --export's zips (default the first). When it "
                       "holds identity numbers, a row without a valid one is a problem unless --fallback names it."),
        QStringLiteral("C")};
    QCommandLineOption headerRow{
        QStringLiteral("header-row"),
        QStringLiteral("With --export: the first row holds the column headings, not a student (as 首行为表头).")};
    QCommandLineOption fallback{
        QStringLiteral("fallback"),
        QStringLiteral("With --export: the name of a row whose --name-by cell has no identity number. {C} is the "
                       "cell of imported column C (or {列1}..{列3}), the rest is kept as written, e.g. "
                       "\"3301010001_{C}_{B}\" for 学校标识码_班号_姓名."),
        QStringLiteral("TEMPLATE")};
};

// What a command line asks for once --help and --version are answered: each
// tool lives in a module of its own, loaded only when asked for.
enum class Tool { Window, ListDevices, DumpRoster, Reframe, MissingList, ContactSheet, ListPresets, Export };
Tool toolOf(const Parser& p);

struct Options {
    QString workbook;  // imported at start, as if dropped
    QString camera;  // a network camera's address, a picture or video file or a hot folder, connected at start
    std::optional<int> exitCode;  // set when the arguments end the program
};

// The options for a normal start.
Options parse(const QStringList& arguments);

}  // namespace commandline
