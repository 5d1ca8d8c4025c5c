#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class DrawPanel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RosterListView;
class RosterModel;
class RosterState;
class SwapConfirmWindow;
class TransLabel;

// The main window's units the roster works with.
struct RosterUnits {
    RosterListView* list = nullptr;  // 超级列表框1
    QPushButton* photoNameButton = nullptr;  // 超级按钮1
    QPushButton* displayNameButton = nullptr;  // 超级按钮2
    QPushButton* searchButton = nullptr;  // 超级按钮3
    QPushButton* checkButton = nullptr;  // 按钮检查照片
    QPushButton* saveButton = nullptr;  // 保存按钮
    QLineEdit* fileNameBox = nullptr;  // 编辑框1
    QLineEdit* column1Box = nullptr;  // 编辑框6
    QLineEdit* column2Box = nullptr;  // 编辑框7
    QLineEdit* column3Box = nullptr;  // 编辑框8
    QCheckBox* headerRowBox = nullptr;  // 首行为表头
    QCheckBox* autoSaveBox = nullptr;  // 选择框1
    QCheckBox* freeShootingBox = nullptr;  // 选择框2
    QCheckBox* manualNamingBox = nullptr;  // 选择框3
    TransLabel* fileNameLabel = nullptr;  // 透明标签3
    TransLabel* personLabel = nullptr;  // 透明标签5
    TransLabel* positionLabel = nullptr;  // 透明标签6
    DrawPanel* photoPane = nullptr;  // 画板1
    QLabel* progressLabel = nullptr;  // 进度标签
};

// What the roster needs from the rest of the window.
struct RosterContext {
    std::function<void(const QString&)> setStatus;
    std::function<QString()> photoFolder;
    std::function<SwapConfirmWindow*()> banner;
};

// The roster on the main window: wires the roster's units to the roster state
// (RosterState) and renders that state: the import of a dropped or chosen
// workbook, the column-letter boxes, the current row with its labels, the
// name columns and the "已照" marks.
class RosterController : public QObject {
    Q_OBJECT
public:
    RosterController(RosterState& roster, const RosterUnits& units, RosterContext context, QObject* parent);

    RosterState& state() const { return roster_; }

    // Operations the photo and search parts call.
    QString PhotoName(int row) const;
    QString PersonText(int row, const QString& separator) const;
    bool IsLastRow() const;
    void AdvanceCurrentRow();
    // The check after a save: its status line may report the save, with
    // what the operator must know about the file (`saveNote`).
    void CheckPhotos(const QString& saveNote = {});
    // The marks brought up to date without reporting a save.
    void RecheckPhotos();
    void RefreshCurrentLabels();
    // The swap banner's two lines; after an import the next line names the
    // display column instead of the second one.
    void writeBannerLines(bool afterImport = false);
    void ShowCurrentPhoto();
    // The current student's photo in the pane (or the empty picture), without
    // announcing anyone.
    void showCurrentRowPhoto();
    void ResetPhotographedColumn();
    void CyclePhotoNameColumn();
    void CycleDisplayNameColumn();

    int currentRow() const;
    int rowCount() const;
    RosterListView* list() const { return u_.list; }
    RosterModel* roster() const;

    // The drop check, then the import of the first workbook among paths. A
    // drop while an import runs replaces that import.
    void dropFiles(const QStringList& paths);
    bool importing() const;
    // Whether a file's name is one the import reads.
    static bool isRosterFile(const QString& path);

    // Speaks a row; set by the voice part.
    std::function<void(int row)> announceRow;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class CheckStatus { AfterSave, KeepUnlessLast };
    void checkPhotos(CheckStatus status);
    void photosChecked();
    void importFinished(bool rowsRead, const QString& error);
    void chooseWorkbook();
    void FitRosterColumns();
    void refreshLabels(bool afterImport);
    void switchToRosterMode(bool hasRows);
    void refuseColumnBox(QLineEdit* box);
    void currentRowChanged(int row);
    void showProgress();

    RosterState& roster_;
    RosterUnits u_;
    RosterContext context_;
    bool checkReportsSave_ = false;
    QString saveNote_;
};
