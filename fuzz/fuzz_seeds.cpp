// Seeds for the fuzz targets from the test workbooks: each file as it is,
// plus its unpacked form (XML parts for .xlsx, the workbook stream for .xls).
//   fuzz_seeds <fixture folder> <xlsx corpus> <xls corpus>
#include "xlsreader.h"
#include "xlsxparts.h"

#include <QDir>
#include <QFile>

#include <zip.h>

static QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static void write(const QString& path, const QByteArray& data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

static QByteArray part(zip_t* z, const char* name)
{
    zip_stat_t st;
    if (zip_stat(z, name, ZIP_FL_NOCASE, &st) != 0 || st.size > (1 << 24))
        return {};
    zip_file_t* f = zip_fopen(z, name, ZIP_FL_NOCASE);
    if (!f)
        return {};
    QByteArray data(qsizetype(st.size), Qt::Uninitialized);
    const zip_int64_t n = zip_fread(f, data.data(), st.size);
    zip_fclose(f);
    return n == zip_int64_t(st.size) ? data : QByteArray();
}

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const QDir fixtures(QString::fromLocal8Bit(argv[1]));
    const QString xlsxOut = QString::fromLocal8Bit(argv[2]);
    const QString xlsOut = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(xlsxOut);
    QDir().mkpath(xlsOut);
    for (const QFileInfo& fi : fixtures.entryInfoList({"*.xlsx", "*.xls"}, QDir::Files)) {
        const QByteArray data = readAll(fi.filePath());
        if (data.size() > (1 << 16))
            continue;  // small seeds keep the runs fast; the big fixtures are tested elsewhere
        if (fi.suffix() == u"xlsx") {
            write(xlsxOut + u'/' + fi.fileName(), data);
            zip_source_t* src = zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, nullptr);
            zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY, nullptr) : nullptr;
            if (!z) {
                zip_source_free(src);  // still ours when the open failed
                continue;
            }
            const QByteArray sheet = part(z, "xl/worksheets/sheet1.xml");
            const QByteArray strings = part(z, "xl/sharedStrings.xml");
            const QByteArray styles = part(z, "xl/styles.xml");
            zip_discard(z);
            if (!sheet.isEmpty()) {
                write(xlsxOut + u'/' + fi.completeBaseName() + QStringLiteral(".parts"),
                      sheet + partSeparator() + (strings.isEmpty() ? QByteArray("<sst/>") : strings) + partSeparator() +
                          (styles.isEmpty() ? QByteArray("<styleSheet/>") : styles));
            }
        } else {
            write(xlsOut + u'/' + fi.fileName(), data);
            const Result<workbook::Bytes> s = workbook::workbookStream(data);
            if (s)
                write(xlsOut + u'/' + fi.completeBaseName() + QStringLiteral(".biff"), s->view());
        }
    }
    return 0;
}
