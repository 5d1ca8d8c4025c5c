// --list-devices: the capture sources over FFmpeg.
#include "capturesource.h"
#include "moduleentry.h"

#include <QTextStream>

STATION_MODULE_ENTRY int photostation_tool(const QStringList*)
{
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << capture::listDevicesText();
    return 0;
}
