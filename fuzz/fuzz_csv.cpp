// libFuzzer target: the .csv reader (quotes, line ends, UTF-8 and GBK text).
#include "csvreader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const auto& options : {workbook::ReadOptions{}, workbook::ReadOptions{{0, 1, 2}}}) {
        const Result<workbook::Sheet> r = workbook::readCsv(input, options);
        if (!r && r.error().isEmpty())
            __builtin_trap();  // a refusal must say why
    }
    return 0;
}
