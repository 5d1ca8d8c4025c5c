#pragma once
#include "sheet.h"

#include <QByteArray>

namespace workbook {

// The rows of a comma-separated file as a sheet: row n of the file is sheet
// row n, field k is column k. Fields may be quoted ("a,b", "line\nbreak",
// "say ""hi"""); a quoted newline does not start a row. The text is UTF-8,
// with or without a byte order mark, or GBK when it is not valid UTF-8.
// Cells keep their text as written: no number or date conversion.
Result<Sheet> readCsv(const QByteArray& data, const ReadOptions& options = {});

}  // namespace workbook
