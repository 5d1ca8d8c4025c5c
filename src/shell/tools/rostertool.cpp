// --dump-roster: the workbook readers only.
#include "commandline.h"
#include "moduleentry.h"
#include "rosterread.h"

#include <QTextStream>

STATION_MODULE_ENTRY int photostation_tool(const QStringList* arguments)
{
    commandline::Parser p;
    p.parser.parse(*arguments);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    return dumpRoster(p.parser.value(p.dumpRoster), p.parser.value(p.columns), out, err);
}
