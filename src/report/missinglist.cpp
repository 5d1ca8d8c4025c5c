#include "missinglist.h"

#include <QDir>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <memory>

namespace {

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const
    {
        if (workbook)
            workbook_close(workbook);
    }
};

Status writeXlsx(const PhotoCensus& census, const StagedReport& staged)
{
    const QString shown = QDir::toNativeSeparators(staged.path);
    const QByteArray temporaryName = QFile::encodeName(staged.file.temporaryPath());
    // Rows are written in order, so the workbook streams them out with their
    // text inline instead of keeping every string for a shared table: much
    // faster on a large roster, and read back the same.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    std::unique_ptr<lxw_workbook, WorkbookCloser> workbook(workbook_new_opt(temporaryName.constData(), &options));
    if (!workbook)
        return failure(QStringLiteral("无法创建 %1").arg(shown));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), "未照名单");
    if (!sheet)
        return failure(QStringLiteral("无法创建 %1").arg(shown));
    lxw_row_t row = 0;
    for (size_t i = 0; i < census.rows.size(); ++i) {
        if (census.photographed[qsizetype(i)])
            continue;
        for (lxw_col_t column = 0; column < 3; ++column) {
            const QString& text = census.rows[i].cells[column];
            if (!text.isEmpty())
                worksheet_write_string(sheet, row, column, text.toUtf8().constData(), nullptr);
        }
        ++row;
    }
    worksheet_write_string(sheet, row, 0, census.summary().toUtf8().constData(), nullptr);
    const lxw_error closed = workbook_close(workbook.release());
    if (closed != LXW_NO_ERROR)
        return failure(QStringLiteral("写入 %1 失败：%2").arg(shown, QString::fromUtf8(lxw_strerror(closed))));
    return Status::success();
}

}  // namespace

QByteArray missingListCsv(const PhotoCensus& census)
{
    QString text;
    for (size_t i = 0; i < census.rows.size(); ++i) {
        if (census.photographed[qsizetype(i)])
            continue;
        const auto& cells = census.rows[i].cells;
        text += csvField(cells[0]) + QLatin1Char(',') + csvField(cells[1]) + QLatin1Char(',') + csvField(cells[2]) +
                QLatin1String("\r\n");
    }
    text += csvField(census.summary()) + QLatin1String("\r\n");
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

Status missingListNameAccepted(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("xlsx"))
        return failure(QStringLiteral("未照名单只能保存为 .xlsx 或 .csv 文件：%1").arg(QDir::toNativeSeparators(path)));
    return Status::success();
}

Result<StagedReport> stageMissingList(const PhotoCensus& census, const QString& path)
{
    if (const Status accepted = missingListNameAccepted(path); !accepted)
        return failure(accepted.error());
    Result<StagedReport> staged = StagedReport::create(path, QStringLiteral("未照名单"));
    if (!staged)
        return staged;
    const bool csv = QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    // libxlsxwriter writes to a name of its own: the staged temporary.
    const Status written = csv ? staged.value().file.write(missingListCsv(census)) : writeXlsx(census, staged.value());
    if (!written)
        return failure(written.error());
    // Synced here, on the worker; the publish only names it.
    if (const Status synced = staged.value().file.sync(); !synced)
        return failure(synced.error());
    return staged;
}

Status writeMissingList(const PhotoCensus& census, const QString& path)
{
    Result<StagedReport> staged = stageMissingList(census, path);
    if (!staged)
        return failure(staged.error());
    if (const Result<QString> published = staged.value().publish(); !published)
        return failure(published.error());
    return Status::success();
}
