// --missing and --contact-sheet: the roster readers, xlsxwriter and, for the
// contact sheet, Qt's PDF painting.
#include "commandline.h"
#include "moduleentry.h"
#include "reportcommands.h"

#include <QGuiApplication>
#include <QTextStream>

STATION_MODULE_ENTRY QCoreApplication* photostation_make_application(int* argc, char** argv)
{
    return new QGuiApplication(*argc, argv);
}

STATION_MODULE_ENTRY int photostation_tool(const QStringList* arguments)
{
    commandline::Parser p;
    p.parser.parse(*arguments);
    commandline::ToolStreams streams;
    QTextStream& out = streams.out;
    QTextStream& err = streams.err;
    const bool sheet = p.parser.isSet(p.contactSheet);
    const ReportCommand command{p.parser.value(sheet ? p.contactSheet : p.missing), p.parser.value(p.columns),
                                p.parser.value(p.folder), p.parser.value(p.output), p.parser.value(p.groupBy)};
    return sheet ? runContactSheetCommand(command, out, err) : runMissingListCommand(command, out, err);
}
