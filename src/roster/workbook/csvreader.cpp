#include "csvreader.h"

#include <QStringDecoder>

namespace workbook {

namespace {

// UTF-8 when the bytes are valid UTF-8 (Excel writes it with a byte order
// mark, other programs without); otherwise GBK as Chinese Windows writes it.
// GB18030 decodes every GBK byte sequence the same way and more.
Result<QString> decodeText(const QByteArray& data)
{
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString text = utf8.decode(data);
        if (!utf8.hasError())
            return text;
    }
    QStringDecoder gbk("GB18030");
    if (!gbk.isValid())
        return failure(QStringLiteral("文件不是 UTF-8 编码，且无法按 GBK 解码"));
    QString text = gbk.decode(data);
    if (gbk.hasError())
        return failure(QStringLiteral("文件的文字编码无法识别（既不是 UTF-8 也不是 GBK）"));
    return text;
}

}  // namespace

Result<Sheet> readCsv(const QByteArray& data, const ReadOptions& options)
{
    const Result<QString> decoded = decodeText(data);
    if (!decoded)
        return failure(decoded.error());
    const QString& text = decoded.value();
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();

    Sheet sheet;
    QString quoted;  // reused for every quoted field that is kept
    int row = 1;
    int column = 0;
    while (p < end) {
        if (column == 0 && (row & 0xFFF) == 0 && options.cancelled())
            return failure(cancelledText());
        const bool keep = column < maxColumns && options.keeps(column);
        QString cell;
        if (*p == u'"') {
            // Quoted field: up to the lone closing quote; "" is one quote.
            ++p;
            quoted.resize(0);
            bool closed = false;
            while (p < end) {
                const QChar* run = p;
                while (p < end && *p != u'"')
                    ++p;
                if (keep)
                    quoted.append(run, p - run);
                if (p == end)
                    break;
                if (p + 1 < end && p[1] == u'"') {
                    if (keep)
                        quoted.append(u'"');
                    p += 2;
                    continue;
                }
                ++p;
                closed = true;
                break;
            }
            if (!closed)
                return failure(QStringLiteral("文件已损坏（第 %1 行的引号没有配对）").arg(row));
            // Text after the closing quote belongs to the field, as spreadsheets read it.
            const QChar* rest = p;
            while (p < end && *p != u',' && *p != u'\n' && *p != u'\r')
                ++p;
            if (keep) {
                quoted.append(rest, p - rest);
                cell = quoted;
            }
        } else {
            const QChar* start = p;
            while (p < end && *p != u',' && *p != u'\n' && *p != u'\r')
                ++p;
            if (keep && p > start)
                cell = QString(start, p - start);
        }
        if (keep && !cell.isEmpty() && !sheet.add(row, column, std::move(cell)))
            return failure(QStringLiteral("工作表的单元格太多"));
        if (p == end)
            break;
        if (*p == u',') {
            ++p;
            ++column;
            if (p == end)
                break;  // a last empty field
            continue;
        }
        // End of the row: LF, CR LF or a lone CR.
        if (*p == u'\r' && p + 1 < end && p[1] == u'\n')
            ++p;
        ++p;
        column = 0;
        if (++row > maxRows && p < end)
            return failure(QStringLiteral("工作表超过 1048576 行"));
    }
    sheet.finish();
    return sheet;
}

}  // namespace workbook
