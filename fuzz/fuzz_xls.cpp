// libFuzzer target: the .xls reader, on whole OLE2 files and on bare
// workbook streams (the BIFF records without their container).
#include "xlsreader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool container = input.startsWith("\xD0\xCF\x11\xE0");
    for (const auto& options : {workbook::ReadOptions{}, workbook::ReadOptions{{0, 1, 2}}}) {
        const Result<workbook::Sheet> r =
            container ? workbook::readXls(input, options) : workbook::readBiffStream(input, options);
        if (!r && r.error().isEmpty())
            __builtin_trap();  // a refusal must say why
    }
    return 0;
}
