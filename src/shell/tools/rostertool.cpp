// --dump-roster (and its --check-ids): the workbook readers only.
#include "commandline.h"
#include "moduleentry.h"
#include "rosteridcheck.h"
#include "rosterread.h"

#include <QTextStream>

STATION_MODULE_ENTRY int photostation_tool(const QStringList* arguments)
{
    commandline::Parser p;
    p.parser.parse(*arguments);
    commandline::ToolStreams streams;
    QTextStream& out = streams.out;
    QTextStream& err = streams.err;
    if (p.parser.isSet(p.checkIds))
        return checkRosterIds(p.parser.value(p.dumpRoster), p.parser.value(p.columns), out, err);
    return dumpRoster(p.parser.value(p.dumpRoster), p.parser.value(p.columns), out, err);
}
