#pragma once
#include <QString>

class QTextStream;

// --dump-roster FILE --check-ids: reads the rows an import would store and
// checks every imported column that holds identity numbers. One line per
// problem, "ROW<TAB>VALUE<TAB>REASON" (ROW counts the roster's rows from 1,
// as the window's messages do); a note on err when no column holds them.
// Exit status 0 no problem, 1 problems found, 2 the workbook could not be read
// or the columns are wrong.
int checkRosterIds(const QString& path, const QString& columnList, QTextStream& out, QTextStream& err);
