#include "missinglist.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cstdio>
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

Status writeCsv(const PhotoCensus& census, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = missingListCsv(census);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(QStringLiteral("写入 %1 失败：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return Status::success();
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const
    {
        if (workbook)
            workbook_close(workbook);
    }
};

Status writeXlsx(const PhotoCensus& census, const QString& path)
{
    // libxlsxwriter writes to a name of its own; it goes to a temporary file
    // beside the target that is renamed over it once complete.
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        return failure(QStringLiteral("文件夹不存在：%1").arg(QDir::toNativeSeparators(target.absolutePath())));
    QTemporaryFile temporary(target.absoluteDir().filePath(QStringLiteral(".missing-XXXXXX.xlsx")));
    if (!temporary.open())
        return failure(QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(path), temporary.errorString()));
    temporary.close();
    const QByteArray temporaryName = QFile::encodeName(temporary.fileName());

    std::unique_ptr<lxw_workbook, WorkbookCloser> workbook(workbook_new(temporaryName.constData()));
    if (!workbook)
        return failure(QStringLiteral("无法创建 %1").arg(QDir::toNativeSeparators(path)));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), "未照名单");
    if (!sheet)
        return failure(QStringLiteral("无法创建 %1").arg(QDir::toNativeSeparators(path)));
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
        return failure(QStringLiteral("写入 %1 失败：%2")
                           .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(closed))));
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    // rename() replaces the old list in one step.
    if (std::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0)
        return failure(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(path)));
    temporary.setAutoRemove(false);
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

Status writeMissingList(const PhotoCensus& census, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return writeCsv(census, path);
    if (suffix == QLatin1String("xlsx"))
        return writeXlsx(census, path);
    return failure(QStringLiteral("未照名单只能保存为 .xlsx 或 .csv 文件：%1").arg(QDir::toNativeSeparators(path)));
}
