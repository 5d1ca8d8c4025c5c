#pragma once
#include "bytes.h"
#include "sheet.h"

#include <QByteArray>

namespace workbook {

// The first worksheet of a BIFF .xls workbook (Excel 97 and later, and the
// older Excel 5 "Book" stream) held in memory.
Result<Sheet> readXls(const QByteArray& data, const ReadOptions& options = {});

// The two steps of readXls: the workbook stream out of the OLE2 container,
// then the first worksheet out of the stream's records.
Result<Bytes> workbookStream(const QByteArray& data, const std::atomic<bool>* cancel = nullptr);
Result<Sheet> readBiffStream(const QByteArray& stream, const ReadOptions& options = {});

// What a password-protected workbook gives.
QString encryptedText();

}  // namespace workbook
