#pragma once
#include "sheet.h"

#include <QByteArray>

namespace workbook {

// The first worksheet of a BIFF .xls workbook (Excel 97 and later, and the
// older Excel 5 "Book" stream) held in memory.
ReadResult readXls(const QByteArray& data, const ReadOptions& options = {});

}  // namespace workbook
