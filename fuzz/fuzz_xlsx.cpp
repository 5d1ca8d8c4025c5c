// libFuzzer target: the .xlsx reader, on raw zip files and on packages
// built from XML parts (see xlsxparts.h).
#include "xlsxparts.h"
#include "xlsxreader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray package = input.startsWith("PK") ? input : zipParts(splitParts(input));
    for (const auto& options : {workbook::ReadOptions{}, workbook::ReadOptions{{0, 1, 2}}}) {
        const Result<workbook::Sheet> r = workbook::readXlsx(package, options);
        if (!r && r.error().isEmpty())
            __builtin_trap();  // a refusal must say why
    }
    return 0;
}
