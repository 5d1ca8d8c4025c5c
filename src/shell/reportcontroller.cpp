#include "reportcontroller.h"

#include "backdrop.h"
#include "census.h"
#include "contactsheet.h"
#include "dialogs.h"
#include "idnumber.h"
#include "missinglist.h"
#include "rosterstate.h"
#include "uploadexport.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent>

#include <optional>

// What a report task hands back: the written file, not yet in place, or why
// there is none.
struct ReportController::Outcome {
    std::vector<StagedReport> files;
    QString error;
    QString doneStatus;  // the status line once the file is in place
    QString doneMessage;
    QString failedStatus;
};

namespace {

const QString cancelled = QStringLiteral("已取消");

Roster rowsOf(const RosterState& roster)
{
    Roster rows;
    rows.reserve(size_t(roster.rowCount()));
    for (int r = 0; r < roster.rowCount(); ++r)
        rows.push_back(roster.model()->entry(r));
    return rows;
}

}  // namespace

ReportController::ReportController(RosterState& roster, const ReportUnits& units, ReportContext context,
                                   QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , u_(units)
    , context_(std::move(context))
    , poll_(new QTimer(this))
{
    connect(u_.missingButton, &QPushButton::clicked, this, &ReportController::WriteMissingList);
    connect(u_.sheetButton, &QPushButton::clicked, this, &ReportController::WriteContactSheet);
    if (u_.exportButton)
        connect(u_.exportButton, &QPushButton::clicked, this, &ReportController::WriteUploadExport);
    RosterModel* model = roster_.model();
    connect(model, &QAbstractItemModel::modelReset, this, &ReportController::updateButtons);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ReportController::updateButtons);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ReportController::updateButtons);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, [this] {
        if (!job_ || !progress_ || job_->total.load() == 0)
            return;
        progress_->setMaximum(job_->total.load());
        progress_->setValue(job_->done.load());
    });
    updateButtons();
}

ReportController::~ReportController()
{
    // A task still running finds itself cancelled; its file is dropped.
    if (job_)
        job_->cancel.store(true);
}

void ReportController::updateButtons()
{
    const bool enabled = roster_.rowCount() > 0 && !job_;
    u_.missingButton->setEnabled(enabled);
    u_.sheetButton->setEnabled(enabled);
    if (u_.exportButton)
        u_.exportButton->setEnabled(enabled);
}

QString ReportController::startFolder() const
{
    // Beside the workbook the roster came from, else the photo folder.
    if (!roster_.rosterFilePath().isEmpty())
        return QFileInfo(roster_.rosterFilePath()).absolutePath();
    return context_.photoFolder();
}

void ReportController::WriteMissingList()
{
    if (roster_.rowCount() == 0 || job_)
        return;
    Dialogs::SaveFileRequest request;
    request.title = QStringLiteral("保存未照名单");
    request.filter = QStringLiteral("Excel 工作簿|*.xlsx|CSV 文件|*.csv");
    request.defaultSuffix = QStringLiteral("xlsx");
    request.directory = QDir(startFolder()).filePath(QStringLiteral("未照名单.xlsx"));
    const QString path = Dialogs::current().saveFile(request);
    if (path.isEmpty())
        return;
    const Roster rows = rowsOf(roster_);
    const int column = roster_.photoNameColumn();
    const QString folder = context_.photoFolder();
    start(QStringLiteral("正在生成未照名单…"), [rows, column, folder, path](Job& job) {
        auto outcome = std::make_shared<Outcome>();
        outcome->failedStatus = QStringLiteral("当前状态: 未照名单保存失败!");
        const PhotoCensus census = takeCensus(rows, column, folder);
        if (job.cancel.load()) {
            outcome->error = cancelled;
            return outcome;
        }
        Result<StagedReport> staged = stageMissingList(census, path);
        if (!staged) {
            outcome->error = staged.error();
            return outcome;
        }
        outcome->files.push_back(std::move(staged).value());
        outcome->doneStatus = QStringLiteral("当前状态: 未照名单已保存，未照 %1 人").arg(census.missing());
        outcome->doneMessage =
            QStringLiteral("未照名单已保存到 %1\n%2").arg(QDir::toNativeSeparators(path), census.summary());
        return outcome;
    });
}

void ReportController::WriteContactSheet()
{
    if (roster_.rowCount() == 0 || job_)
        return;
    Dialogs::SaveFileRequest request;
    request.title = QStringLiteral("保存相片总览");
    request.filter = QStringLiteral("PDF 文件|*.pdf");
    request.defaultSuffix = QStringLiteral("pdf");
    request.directory = QDir(startFolder()).filePath(QStringLiteral("相片总览.pdf"));
    QString path = Dialogs::current().saveFile(request);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    ContactSheetJob sheet;
    sheet.folder = context_.photoFolder();
    sheet.photoNameColumn = roster_.photoNameColumn();
    sheet.displayNameColumn = roster_.displayNameColumn();
    sheet.groupColumn = 2;
    sheet.path = path;
    const Roster rows = rowsOf(roster_);
    start(QStringLiteral("正在生成相片总览…"), [rows, sheet](Job& job) mutable {
        auto outcome = std::make_shared<Outcome>();
        outcome->failedStatus = QStringLiteral("当前状态: 相片总览保存失败!");
        sheet.census = takeCensus(rows, sheet.photoNameColumn, sheet.folder);
        job.total.store(sheet.census.total());
        Result<StagedSheet> staged = stageContactSheet(sheet, [&job](int done, int) {
            job.done.store(done);
            return !job.cancel.load();
        });
        if (!staged) {
            outcome->error = job.cancel.load() ? cancelled : staged.error();
            return outcome;
        }
        const int pages = staged.value().pages;
        outcome->files.push_back(std::move(staged.value().report));
        outcome->doneStatus = QStringLiteral("当前状态: 相片总览已保存，共 %1 页").arg(pages);
        outcome->doneMessage = QStringLiteral("相片总览已保存到 %1\n%2，共 %3 页")
                                   .arg(QDir::toNativeSeparators(sheet.path), sheet.census.summary())
                                   .arg(pages);
        return outcome;
    });
}

void ReportController::WriteUploadExport()
{
    if (roster_.rowCount() == 0 || job_)
        return;
    ExportJob job;
    job.preset = context_.preset ? context_.preset() : PhotoPreset::custom();
    if (job.preset.size.isEmpty()) {
        Dialogs::current().message(QStringLiteral("请先选择照片规格"), dialogtitle::reminder, Dialogs::Icon::Warning);
        return;
    }
    job.outFolder = Dialogs::current().chooseFolder(
        QStringLiteral("导出上报：选择保存的文件夹（每个班一个 zip，按照片规格“%1”）").arg(job.preset.name),
        startFolder());
    if (job.outFolder.isEmpty())
        return;
    job.photoFolder = context_.photoFolder();
    // 更换背景 ticked: the export's photos get the preset's backdrop too.
    if (context_.backdrop && (job.backdrop = context_.backdrop()))
        job.replaceBackdrop = replaceSitterBackdrop;
    const QString chosen = QFileInfo(job.outFolder).canonicalFilePath();
    if (!chosen.isEmpty() && chosen == QFileInfo(job.photoFolder).canonicalFilePath()) {
        Dialogs::current().message(QStringLiteral("导出上报不能保存在照片文件夹里，那里只放照片，请另选文件夹"),
                                   dialogtitle::reminder, Dialogs::Icon::Warning);
        return;
    }
    job.rows = rowsOf(roster_);
    job.photoColumn = roster_.photoNameColumn();
    job.nameColumn = job.photoColumn;
    job.groupColumn = 2;  // the class, as the contact sheet groups
    const idnumber::ColumnCheck ids = idnumber::checkColumn(
        int(job.rows.size()), [&job](int row) { return job.rows[size_t(row)].cells[size_t(job.nameColumn)]; });
    if (ids.holdsIds && ids.without > 0) {
        // Asked only when it matters: the registry's name for a student without an identity number.
        const QString pattern = Dialogs::current().askText(
            QStringLiteral(
                "有 %1 行没有身份证号，它们的照片按什么命名？\n例如 学校标识码_{列3}_{列2}：{列N} 为该行第 N "
                "列的内容，其余照写。留空则这些行列入问题记录。")
                .arg(ids.without),
            dialogtitle::info, fallbackText_.isEmpty() ? QStringLiteral("学校标识码_{列3}_{列2}") : fallbackText_);
        if (!pattern.trimmed().isEmpty()) {
            Result<NameTemplate> fallback = NameTemplate::parse(pattern);
            if (!fallback) {
                Dialogs::current().message(fallback.error(), dialogtitle::reminder, Dialogs::Icon::Warning);
                return;
            }
            fallbackText_ = pattern;
            job.fallback = std::move(fallback).value();
        }
    }
    start(QStringLiteral("正在导出上报照片…"), [job](Job& running) {
        auto outcome = std::make_shared<Outcome>();
        outcome->failedStatus = QStringLiteral("当前状态: 导出上报失败!");
        Result<StagedExport> staged = stageExport(job, [&running](int done, int total) {
            running.total.store(total);
            running.done.store(done);
            return !running.cancel.load();
        });
        if (!staged) {
            outcome->error = running.cancel.load() ? cancelled : staged.error();
            return outcome;
        }
        StagedExport& made = staged.value();
        outcome->doneStatus = QStringLiteral("当前状态: 导出上报完成，%1").arg(made.summary());
        outcome->doneMessage =
            QStringLiteral("已导出到 %1\n%2").arg(QDir::toNativeSeparators(job.outFolder), made.summary());
        if (!made.problems.empty())
            outcome->doneMessage +=
                QStringLiteral("\n没有放进去的行和原因见 %1")
                    .arg(QDir::toNativeSeparators(job.outFolder + QLatin1Char('/') + problemListName()));
        outcome->files = std::move(made.files);
        return outcome;
    });
}

void ReportController::start(const QString& label, const std::function<std::shared_ptr<Outcome>(Job&)>& work)
{
    job_ = std::make_shared<Job>();
    updateButtons();
    // Not modal: a modal progress dialog would run the event loop inside
    // setValue. The buttons stay off until the task ends.
    progress_ = new QProgressDialog(label, QStringLiteral("取消"), 0, 0, u_.window);
    progress_->setObjectName(QStringLiteral("报表进度"));
    progress_->setWindowTitle(dialogtitle::info);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(400);
    const std::shared_ptr<Job> job = job_;
    connect(progress_, &QProgressDialog::canceled, this, [this, job] {
        job->cancel.store(true);
        context_.setStatus(QStringLiteral("当前状态: 正在取消…"));
    });
    poll_->start();

    auto* watcher = new QFutureWatcher<std::shared_ptr<Outcome>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        finished(watcher->future().result());
    });
    watcher->setFuture(QtConcurrent::run([work, job] { return work(*job); }));
}

void ReportController::cancel()
{
    // What the dialog's button does: its canceled() signal.
    if (progress_)
        emit progress_->canceled();
}

void ReportController::finished(const std::shared_ptr<Outcome>& outcome)
{
    const bool wasCancelled = job_->cancel.load();
    poll_->stop();
    job_.reset();
    progress_->deleteLater();
    progress_ = nullptr;
    updateButtons();
    if (wasCancelled) {
        // The staged files go with the outcome: nothing is left behind.
        outcome->files.clear();
        context_.setStatus(QStringLiteral("当前状态: 已取消，未保存文件"));
        emit reportFinished(false);
        return;
    }
    QString error = outcome->files.empty() ? outcome->error : QString();
    QStringList kept;
    for (StagedReport& file : outcome->files) {
        const Result<QString> placed = error.isEmpty() ? file.publish() : Result<QString>(failure(error));
        if (!placed)
            error = placed.error();  // the rest are dropped with the outcome
        else if (!placed.value().isEmpty())
            kept << QDir::toNativeSeparators(placed.value());
    }
    if (!error.isEmpty()) {
        context_.setStatus(outcome->failedStatus);
        Dialogs::current().message(error, dialogtitle::reminder, Dialogs::Icon::Warning);
        emit reportFinished(false);
        return;
    }
    context_.setStatus(outcome->doneStatus);
    QString message = outcome->doneMessage;
    if (kept.size() == 1)
        message += QStringLiteral("\n原有的文件已移到 %1").arg(kept.constFirst());
    else if (kept.size() > 1)
        message +=
            QStringLiteral("\n原有的 %1 个文件已移到 %2").arg(kept.size()).arg(QFileInfo(kept.constFirst()).path());
    Dialogs::current().message(message, dialogtitle::info, Dialogs::Icon::Information);
    emit reportFinished(true);
}
