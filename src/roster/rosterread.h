#pragma once
#include "rostermodel.h"

#include <QString>
#include <QTextStream>

#include <array>

// Reading the roster rows out of a workbook's first worksheet.

struct RosterReadResult {
    bool ok = false;
    QString error;  // names the file and says what is wrong with it
    Roster rows;
};

// The text a column-letter box holds when its entry was refused.
inline const QString& refusedColumnText()
{
    static const QString text = QStringLiteral("错");
    return text;
}

// Roster column k takes the sheet column named by columns[k]; an empty name
// or "错" leaves that roster column empty. Rows are read from sheet row 1 on;
// a row whose three cells are all empty is skipped and counted as blank, and
// the fifth blank row of the sheet ends the read.
RosterReadResult readRosterRows(const QString& path, const std::array<QString, 3>& columns);

// Prints the rows an import would store: cells 0-2 separated by TAB, one row
// a line, every line ending with LF; backslash, TAB, LF and CR inside cells
// are written as \\, \t, \n and \r. columnsSpec is "A,B,C" (empty: A,B,C).
// Returns 0, or non-zero after printing the reason on err.
int dumpRoster(const QString& path, const QString& columnsSpec, QTextStream& out, QTextStream& err);
