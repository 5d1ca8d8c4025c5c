#include "zippart.h"

#include "sheet.h"
#include "xmlscan.h"

#include <zip.h>

#include <cstring>

namespace workbook {

namespace {

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileCloser>;

}  // namespace

// Prefixes vary between writers ("x:sheetData"); namespace processing would
// cost more than the whole read, so names are matched by their local part.
const char* localName(const char* name)
{
    const char* local = name;
    for (const char* p = name; *p; ++p) {
        if (*p == ':')
            local = p + 1;
    }
    return local;
}

const char* attribute(const char** attributes, const char* name)
{
    for (int i = 0; attributes[i]; i += 2) {
        if (std::strcmp(localName(attributes[i]), name) == 0)
            return attributes[i + 1];
    }
    return nullptr;
}

ZipPackage::ZipPackage(const QByteArray& data)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &error);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!archive_)
            zip_source_free(source);
    }
    if (!archive_) {
        const QString library = QString::fromUtf8(zip_error_strerror(&error));
        switch (zip_error_code_zip(&error)) {
        case ZIP_ER_NOZIP:
            openError_ = QStringLiteral("不是有效的 Excel 文件（%1）").arg(library);
            break;
        case ZIP_ER_MEMORY:
            openError_ = QStringLiteral("内存不足（%1）").arg(library);
            break;
        default:  // inconsistent archive, bad offsets, CRC errors and the like
            openError_ = QStringLiteral("文件已损坏（%1）").arg(library);
        }
    }
    zip_error_fini(&error);
}

ZipPackage::~ZipPackage()
{
    if (archive_)
        zip_discard(archive_);
}

bool ZipPackage::contains(const QString& part) const
{
    return archive_ && zip_name_locate(archive_, part.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

bool ZipPackage::parse(const QString& part, XmlSink& sink, QString* error) const
{
    const zip_int64_t index = zip_name_locate(archive_, part.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        *error = QStringLiteral("文件已损坏（缺少 %1）").arg(part);
        return false;
    }
    // The stated size refuses an honest giant at once; the count below
    // catches one that states less than it holds.
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, zip_uint64_t(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
        st.size > zip_uint64_t(maxPartBytes)) {
        *error = QStringLiteral("%1 解压后超过 256 MB").arg(part);
        return false;
    }
    ZipFile file(zip_fopen_index(archive_, zip_uint64_t(index), 0));
    if (!file) {
        *error = QStringLiteral("文件已损坏（%1 无法解开：%2）").arg(part, QString::fromUtf8(zip_strerror(archive_)));
        return false;
    }
    XmlScanner scanner(sink);
    qint64 total = 0;
    for (;;) {
        if (sink.cancel && sink.cancel->load(std::memory_order_relaxed)) {
            *error = cancelledText();
            return false;
        }
        char* buffer = scanner.buffer(1 << 16);
        const zip_int64_t n = zip_fread(file.get(), buffer, 1 << 16);
        if (n < 0) {
            *error = QStringLiteral("文件已损坏（%1：%2）").arg(part, QString::fromUtf8(zip_file_strerror(file.get())));
            return false;
        }
        total += n;
        if (total > maxPartBytes) {
            *error = QStringLiteral("%1 解压后超过 256 MB").arg(part);
            return false;
        }
        const bool wellFormed = scanner.parse(size_t(n), n == 0);
        if (scanner.sawDoctype()) {
            *error = QStringLiteral("%1 含有文档类型声明，不是 Excel 写出的内容").arg(part);
            return false;
        }
        if (!sink.error.isEmpty()) {
            *error = sink.error;
            return false;
        }
        if (sink.stop)
            return true;
        if (!wellFormed) {
            *error = QStringLiteral("文件已损坏（%1 不是完好的 XML，第 %2 行：%3）")
                         .arg(part)
                         .arg(scanner.line())
                         .arg(QString::fromLatin1(scanner.error()));
            return false;
        }
        if (n == 0)
            return true;
    }
}

}  // namespace workbook
