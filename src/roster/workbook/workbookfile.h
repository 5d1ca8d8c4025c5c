#pragma once
#include "sheet.h"

#include <QString>

// The front door of the readers: which files are rosters, and reading one.
namespace workbook {

// True for the names the readers take: .xls, .xlsx, .xlsm, .xlt, .xltx,
// .xltm and .csv, in any letter case. Which reader runs is then decided by
// the content (zip package, OLE2 container), except for .csv.
bool isWorkbookFileName(const QString& path);

// Only regular files are read: a FIFO or a device would block the read or
// never end. Fails with "“path”不是普通文件" (a missing file passes: the
// read says why it cannot open it).
Status checkRegularFile(const QString& path);

// Reads the first worksheet of a workbook file (or the rows of a .csv file).
// Failures say why in Chinese, with the library's own text in brackets.
Result<Sheet> readWorkbook(const QString& path, const ReadOptions& options = {});

// The same for contents already in memory; fileName picks .csv, nothing else.
Result<Sheet> readWorkbookData(const QString& fileName, const QByteArray& data, const ReadOptions& options = {});

}  // namespace workbook
