#pragma once
#include "photopreset.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QProgressDialog;
class QPushButton;
class QTimer;
class QWidget;
class RosterState;

// The main window's units of the reports.
struct ReportUnits {
    QWidget* window = nullptr;
    QPushButton* missingButton = nullptr;  // 按钮未照名单
    QPushButton* sheetButton = nullptr;  // 按钮相片总览
    QPushButton* exportButton = nullptr;  // 按钮导出上报
};

struct ReportContext {
    std::function<void(const QString&)> setStatus;
    std::function<QString()> photoFolder;
    // The 照片规格 chosen in the window: 导出上报 makes every photo to it.
    std::function<PhotoPreset()> preset;
    // The colour photos' backdrops become; none when they stay as shot.
    std::function<std::optional<QColor>()> backdrop;
};

// The reports of the imported roster against the photo folder, asked for
// from the main window: the missing list (.xlsx or .csv, by the chosen name),
// the contact sheet (.pdf) and 导出上报 (a zip per class and a problem list,
// in a chosen folder). Each runs as a task with a progress dialog that can
// cancel it; the files are put in place on this thread only when the task
// ends uncancelled, so a cancel leaves no file at all. The buttons are
// enabled while the roster has rows and no report runs.
class ReportController : public QObject {
    Q_OBJECT
public:
    ReportController(RosterState& roster, const ReportUnits& units, ReportContext context, QObject* parent);
    ~ReportController() override;

    void WriteMissingList();
    void WriteContactSheet();
    // The photos packed by class for an upload, made to the chosen preset and
    // named by the photo-name column; rows without an identity number are
    // named by a pattern the operator is asked for.
    void WriteUploadExport();

    bool running() const { return bool(job_); }
    // While a report runs; nullptr otherwise.
    QProgressDialog* progressDialog() const { return progress_; }
    // Cancels the running report, as its dialog's button does.
    void cancel();

signals:
    // A report ended: written, failed or cancelled.
    void reportFinished(bool written);

private:
    struct Job {
        std::atomic_bool cancel{false};
        std::atomic_int done{0};
        std::atomic_int total{0};
    };
    struct Outcome;
    void start(const QString& label, const std::function<std::shared_ptr<Outcome>(Job&)>& work);
    void finished(const std::shared_ptr<Outcome>& outcome);
    void updateButtons();
    QString startFolder() const;

    RosterState& roster_;
    ReportUnits u_;
    ReportContext context_;
    std::shared_ptr<Job> job_;
    QProgressDialog* progress_ = nullptr;
    QTimer* poll_;
    QString fallbackText_;  // the last name pattern for rows without an identity number
};
