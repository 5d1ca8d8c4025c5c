#pragma once
#include "searchlogic.h"
#include "searchscan.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class CellColours;
class RosterListView;
class MouseLabel;
namespace Ui {
class SearchWindow;
}

// What the search window needs from the main window.
struct SearchHooks {
    // The photo-file name of a roster row.
    std::function<QString(int row)> photoName;
    // Puts a text into the main window's file-name fields.
    std::function<void(const QString& fileName)> showFileName;
    // A single-item hit was selected: brings the roster's window forward so
    // the highlighted row is seen at once.
    std::function<void()> showRoster;
};

// The roster search window: one or two conditions over the roster list's
// columns, single-item (select the first match) or multi-item (list every match).
// Closing only hides it; everything it holds stays.
class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(RosterListView* list, CellColours* colours, SearchHooks hooks, QWidget* parent = nullptr);
    ~SearchWindow() override;

    // Under the main window, centred on it.
    void placeUnder(const QRect& mainFrame);
    // Hidden: placed under the main window and shown; shown: hidden. True when shown now.
    bool toggleUnder(const QRect& mainFrame);

    void SearchByCondition1(bool startedFromBox7 = false);
    void SearchByBothConditions();
    void ShowFoundRow(int row);
    void AppendResultRow(int row);
    void FitResultColumns();
    void ShowResultRow();
    // Condition 1 or 2 switches between "等同" and "包含"; the label shows it.
    void ToggleMatchMode(int condition);
    const QString& matchMode(int condition) const { return modes_[condition == 2 ? 1 : 0]; }

    void expand();
    void collapse();
    bool searching() const { return scan_.running(); }
    // The roster was replaced: old results, colours and headings go.
    void rosterReplaced();

    // The heading of condition column n: the roster's first row, column n - 1.
    QString heading(int n) const;

signals:
    // The close box hid the window.
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void keyInCondition1(int key);
    void keyInCondition2(int key);
    void queryClicked();
    void clearResults();
    void runSearch(search::SearchKind kind);
    void searchFinished(int foundRow, int count);
    search::Conditions readConditions() const;
    QString rosterCell(int row, int column) const;
    void showFileNameOf(int row);

    void condition1TextChanged(const QString& text);
    void column1Changed(const QString& text);
    void column2Changed(const QString& text);
    void condition2Switched(bool checked);
    void setCondition2Enabled(bool enabled, bool withColumnBox);

    std::unique_ptr<Ui::SearchWindow> ui;
    QPointer<RosterListView> list_;
    CellColours* colours_;
    SearchHooks hooks_;
    SearchScan scan_;
    search::SearchKind runningKind_ = search::SearchKind::Condition1;
    bool expanded_ = false;
    QString modes_[2] = {search::modeEqual, search::modeEqual};
};
