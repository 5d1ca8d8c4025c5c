#pragma once
#include "result.h"
#include "rostermodel.h"

#include <QString>
#include <QTextStream>

#include <array>
#include <atomic>
#include <optional>

// Reading the roster rows out of a workbook's first worksheet.

// True for the file names a roster is read from (.xls, .xlsx, .xlsm, .xlt,
// .xltx, .xltm, .csv in any letter case); the content then decides the reader.
bool isRosterFileName(const QString& path);

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
// Only regular files are read: a FIFO, device or socket (also behind a link)
// is refused at once with "“path”不是普通文件". Other failures name the file
// and say why. Setting *cancel from another thread ends a running read soon
// with a failure.
Result<Roster> readRosterRows(const QString& path, const std::array<QString, 3>& columns,
                              const std::atomic<bool>* cancel = nullptr);

// Prints the rows an import would store: cells 0-2 separated by TAB, one row
// a line, every line ending with LF; backslash, TAB, LF and CR inside cells
// are written as \\, \t, \n and \r. columnList is "A,B,C" (empty: A,B,C).
// Returns 0, or non-zero after printing the reason on err.
// The three column letters of a list such as "A,B,C" (empty: A, B and C;
// fewer than three leave the rest empty); nothing when it names more than three.
std::optional<std::array<QString, 3>> columnsFromList(const QString& list);

int dumpRoster(const QString& path, const QString& columnList, QTextStream& out, QTextStream& err);
