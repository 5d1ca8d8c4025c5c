#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class MainWindow;
class QLineEdit;
class RosterListView;
class RosterModel;

// The roster on the main window: the import of a dropped workbook, the
// column-letter boxes, the current row with its labels, the name columns and
// the "已照" marks.
class RosterController : public QObject {
    Q_OBJECT
public:
    explicit RosterController(MainWindow& window);

    // Operations the photo and search parts call.
    QString PhotoName(int row) const;
    QString PersonText(int row, const QString& separator) const;
    bool IsLastRow() const;
    void AdvanceCurrentRow();
    void CheckPhotos();
    void RefreshCurrentLabels();
    // The swap banner's two lines from the position labels; after an import
    // the next line names the display column instead of the second one.
    void writeBannerLines(bool afterImport = false);
    void ShowCurrentPhoto();
    void ResetPhotographedColumn();
    void CyclePhotoNameColumn();
    void CycleDisplayNameColumn();

    int currentRow() const;
    int rowCount() const;
    RosterListView* list() const;
    RosterModel* roster() const;

    // The drop check, then the import of the first workbook among paths.
    void dropFiles(const QStringList& paths);
    bool importing() const { return importing_; }

    // Speaks a row; set by the voice part.
    std::function<void(int row)> announceRow;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ImportRoster();
    bool ReadRosterRows();
    void FitRosterColumns();
    void refreshLabels(bool afterImport);
    void switchToRosterMode();
    void refuseColumnBox(QLineEdit* box);

    MainWindow& w_;
    bool importing_ = false;
    bool checking_ = false;
    bool checkAgain_ = false;
};
