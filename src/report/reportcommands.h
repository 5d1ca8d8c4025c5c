#pragma once
#include <QString>

class QTextStream;

// The command-line forms of the reports. The photo name is the first imported
// column, the display name the second, as at the station's start.
struct ReportCommand {
    QString workbook;
    QString columns;  // "A,B,C" (empty: A,B,C)
    QString folder;  // the photo folder
    QString output;
    QString groupBy;  // a column letter among the imported ones (empty: the third)
};

// Exit status 0 done, 1 the workbook or the output could not be handled, 2 bad
// arguments (an output that is not of the report's kind, is the workbook or
// lies in the photo folder among them); the summary line on out, reasons on
// err. An older output is kept in "已替换" beside it before it is replaced.
int runMissingListCommand(const ReportCommand& command, QTextStream& out, QTextStream& err);
int runContactSheetCommand(const ReportCommand& command, QTextStream& out, QTextStream& err);
