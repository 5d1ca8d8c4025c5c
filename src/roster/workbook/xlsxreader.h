#pragma once
#include "sheet.h"

#include <QByteArray>

namespace workbook {

// The first worksheet of an .xlsx (.xlsm, .xltx, .xltm) workbook held in memory.
Result<Sheet> readXlsx(const QByteArray& data, const ReadOptions& options = {});

}  // namespace workbook
