#pragma once
#include "sheet.h"

#include <QByteArray>

namespace workbook {

// The first worksheet of an .xlsx workbook held in memory.
ReadResult readXlsx(const QByteArray& data, const ReadOptions& options = {});

}  // namespace workbook
