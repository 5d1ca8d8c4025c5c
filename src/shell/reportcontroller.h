#pragma once
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
};

struct ReportContext {
    std::function<void(const QString&)> setStatus;
    std::function<QString()> photoFolder;
};

// The two reports of the imported roster against the photo folder, asked for
// from the main window: the missing list (.xlsx or .csv, by the chosen name)
// and the contact sheet (.pdf). Each runs as a task with a progress dialog
// that can cancel it; the file is put in place on this thread only when the
// task ends uncancelled, so a cancel leaves no file at all. The buttons are
// enabled while the roster has rows and no report runs.
class ReportController : public QObject {
    Q_OBJECT
public:
    ReportController(RosterState& roster, const ReportUnits& units, ReportContext context, QObject* parent);
    ~ReportController() override;

    void WriteMissingList();
    void WriteContactSheet();

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
};
