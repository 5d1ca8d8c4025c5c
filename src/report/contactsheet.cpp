#include "contactsheet.h"

#include "photopath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <map>

namespace {

constexpr int columnsPerPage = 5;
constexpr int rowsPerPage = 6;
constexpr int perPage = columnsPerPage * rowsPerPage;

struct Section {
    QString name;
    std::vector<size_t> rows;
};

std::vector<Section> sectionsOf(const ContactSheetJob& job)
{
    std::vector<Section> sections;
    std::map<QString, size_t> index;
    for (size_t i = 0; i < job.census.rows.size(); ++i) {
        const QString& group = job.census.rows[i].cells[size_t(job.groupColumn)];
        auto [it, fresh] = index.try_emplace(group, sections.size());
        if (fresh)
            sections.push_back({group, {}});
        sections[it->second].rows.push_back(i);
    }
    return sections;
}

}  // namespace

Status contactSheetNameAccepted(const QString& path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        return failure(QStringLiteral("相片总览只能保存为 .pdf 文件：%1").arg(QDir::toNativeSeparators(path)));
    return Status::success();
}

Result<StagedSheet> stageContactSheet(const ContactSheetJob& job, const SheetProgress& progress)
{
    if (const Status accepted = contactSheetNameAccepted(job.path); !accepted)
        return failure(accepted.error());
    Result<StagedReport> staged = StagedReport::create(job.path, QStringLiteral("相片总览"));
    if (!staged)
        return failure(staged.error());
    QFile temporary(staged.value().file.temporaryPath());
    if (!temporary.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(
            QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(job.path), temporary.errorString()));

    const std::vector<Section> sections = sectionsOf(job);
    int pages = 0;
    {
        QPdfWriter pdf(&temporary);
        pdf.setTitle(QStringLiteral("相片总览"));
        pdf.setResolution(150);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&pdf))
            return failure(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(job.path)));

        const QRect page = pdf.pageLayout()
                               .paintRectPixels(pdf.resolution())
                               .translated(-pdf.pageLayout().paintRectPixels(pdf.resolution()).topLeft());
        const int headerHeight = pdf.resolution() * 4 / 10;
        const int cellWidth = page.width() / columnsPerPage;
        const int cellHeight = (page.height() - headerHeight) / rowsPerPage;
        const int textHeight = pdf.resolution() * 35 / 100;
        const int pad = pdf.resolution() / 20;
        // A simplified-Chinese face first: with a Japanese one some characters
        // (页) come out of the PDF's text as look-alike radicals.
        QFont textFont;
        textFont.setFamilies({QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("Noto Serif CJK SC"), QStringLiteral("宋体")});
        textFont.setPixelSize(pdf.resolution() * 12 / 100);
        QFont headerFont = textFont;
        headerFont.setPixelSize(pdf.resolution() * 16 / 100);
        headerFont.setBold(true);

        const int total = job.census.total();
        int done = 0;
        for (const Section& section : sections) {
            for (size_t first = 0; first < section.rows.size(); first += perPage) {
                if (pages > 0)
                    pdf.newPage();
                ++pages;
                painter.setFont(headerFont);
                painter.setPen(Qt::black);
                const QRect header(0, 0, page.width(), headerHeight);
                painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter,
                                 section.name.isEmpty() ? QStringLiteral("（无分组）") : section.name);
                painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("第 %1 页").arg(pages));
                painter.drawLine(0, headerHeight - pad, page.width(), headerHeight - pad);
                painter.setFont(textFont);

                for (size_t k = first; k < std::min(section.rows.size(), first + perPage); ++k) {
                    const size_t row = section.rows[k];
                    const int slot = int(k - first);
                    const QRect cell(slot % columnsPerPage * cellWidth,
                                     headerHeight + slot / columnsPerPage * cellHeight, cellWidth, cellHeight);
                    const QRect box = cell.adjusted(pad, pad, -pad, -pad - textHeight);
                    const auto& cells = job.census.rows[row].cells;
                    QImage photo;
                    if (job.census.photographed[qsizetype(row)]) {
                        const PhotoPath file = photopath::filePath(job.folder, cells[size_t(job.photoNameColumn)]);
                        QImageReader reader(file.path);
                        const QSize size = reader.size();
                        if (size.isValid())
                            reader.setScaledSize(size.scaled(box.size(), Qt::KeepAspectRatio));
                        photo = reader.read();
                    }
                    if (photo.isNull()) {
                        painter.fillRect(box, QColor(210, 210, 210));
                        painter.drawText(box, Qt::AlignCenter, QStringLiteral("未照"));
                    } else {
                        const QSize shown = photo.size().scaled(box.size(), Qt::KeepAspectRatio);
                        painter.drawImage(
                            QRect(QPoint(box.center().x() - shown.width() / 2, box.center().y() - shown.height() / 2),
                                  shown),
                            photo);
                    }
                    const QRect text(cell.left(), box.bottom() + pad / 2, cell.width(), textHeight);
                    QString caption = cells[size_t(job.photoNameColumn)];
                    if (job.displayNameColumn >= 0 && job.displayNameColumn < 3)
                        caption += QLatin1Char('\n') + cells[size_t(job.displayNameColumn)];
                    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop, caption);
                    ++done;
                    if (progress && !progress(done, total)) {
                        painter.end();
                        return failure(QStringLiteral("已取消"));
                    }
                }
            }
        }
        if (pages == 0) {
            ++pages;
            painter.drawText(page, Qt::AlignCenter, QStringLiteral("名单为空"));
        }
        if (!painter.end())
            return failure(QStringLiteral("写入 %1 失败").arg(QDir::toNativeSeparators(job.path)));
    }
    if (!temporary.flush())
        return failure(
            QStringLiteral("写入 %1 失败：%2").arg(QDir::toNativeSeparators(job.path), temporary.errorString()));
    temporary.close();
    // Synced here, on the worker; the publish only names it.
    if (const Status synced = staged.value().file.sync(); !synced)
        return failure(synced.error());
    return StagedSheet{std::move(staged).value(), pages};
}

Result<int> writeContactSheet(const ContactSheetJob& job, const SheetProgress& progress)
{
    Result<StagedSheet> sheet = stageContactSheet(job, progress);
    if (!sheet)
        return failure(sheet.error());
    if (const Result<QString> published = sheet.value().report.publish(); !published)
        return failure(published.error());
    return sheet.value().pages;
}
