#pragma once
#include "photocheck.h"
#include "result.h"
#include "rostermodel.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <optional>

// The roster as the station works with it: the rows (in the model it owns),
// the current row, the photo-name and display-name columns, the "已照" marks,
// and the two long jobs on it, the import and the photo check, which run as
// tasks and hand their results back on this object's thread. Windows show
// this state and send intents to it; nothing here knows a widget.
class RosterState : public QObject {
    Q_OBJECT
public:
    explicit RosterState(QObject* parent = nullptr);
    ~RosterState() override;

    RosterModel* model() const { return model_; }
    int rowCount() const { return model_->size(); }
    QString cell(int row, int column) const { return model_->cell(row, column); }

    // -1 when no row is current. A row past the end is ignored; a negative
    // value makes no row current.
    int currentRow() const { return current_; }
    void setCurrentRow(int row);
    bool IsLastRow() const { return current_ == rowCount() - 1; }
    // The next row becomes current and is remembered as savedCurrentRow.
    void AdvanceCurrentRow();
    int savedCurrentRow() const { return savedCurrentRow_; }
    void setSavedCurrentRow(int row) { savedCurrentRow_ = row; }

    // 0..2: the column whose text names a person's photo file.
    int photoNameColumn() const { return photoNameColumn_; }
    void setPhotoNameColumn(int column);
    // 0..3: the column shown after the photo name; 3 shows none.
    int displayNameColumn() const { return displayNameColumn_; }
    void setDisplayNameColumn(int column);
    static constexpr int noDisplayColumn = 3;
    // The captions the two column buttons show for a value.
    static QString photoNameCaption(int column);
    static QString displayNameCaption(int column);

    QString PhotoName(int row) const { return cell(row, photoNameColumn_); }
    QString PersonText(int row, const QString& separator) const;

    // What the position labels and the swap banner show for the current row.
    QString positionText() const;  // "当前位:" or "最后位:"
    QString currentPersonText() const { return PersonText(current_, QStringLiteral("  ")); }
    // The banner's next line: after an import it names the display column,
    // otherwise always the second column.
    QString nextLine(bool afterImport) const;

    // The workbook the last drop named.
    QString rosterFilePath() const { return rosterFilePath_; }
    void setRosterFilePath(const QString& path) { rosterFilePath_ = path; }

    // Reads the first sheet of `path` in a task. A start while another import
    // runs cancels that one: its result is dropped. The rows replace the
    // roster only when the read succeeds; `headerRow` makes sheet row 1 the
    // column headings instead of a person.
    void startImport(const QString& path, const std::array<QString, 3>& columns, bool headerRow);
    bool importing() const { return importing_; }

    // Marks the rows whose photo is in `folder` with "已照", from one listing
    // of the folder, in a task. A newer check (or a new roster) supersedes a
    // running one.
    void startPhotoCheck(const QString& folder);
    bool checkingPhotos() const { return checking_; }

    // Brings the marks up to date with the folder as it is now (another
    // station may have saved into it): the folder is read again in a task and
    // only the rows whose file appeared or vanished since the last check are
    // rewritten, so the GUI thread's share stays small however large the
    // roster. Nothing happens without a finished check of this folder, roster
    // and photo-name column to start from. Calls while a read or a check runs
    // are folded into one more read after it.
    void refreshPhotoMarks(const QString& folder);

    // How many rows carry the "已照" mark.
    int photographedCount() const;

    // Sets the roster at once (no task): rows, headings back to "列1".."列4",
    // row 0 current when there is one.
    void setRows(Roster rows);

signals:
    void currentRowChanged(int row);
    void photoNameColumnChanged(int column);
    void displayNameColumnChanged(int column);
    // A new roster replaced the old one (import or setRows).
    void rosterReplaced();
    // The import's outcome; `rowsRead` is false when nothing replaced the roster.
    void importFinished(bool rowsRead, const QString& error);
    void photosChecked();
    // A refresh rewrote the marks of `rows` rows.
    void photoMarksRefreshed(int rows);

private:
    void replaceRoster(Roster rows, const std::array<QString, 3>& headings);
    void refreshFinished();

    // What the marks on screen were made from: the listing of a folder, for
    // one roster and photo-name column.
    struct CheckBasis {
        QString folder;
        quint64 roster = 0;
        int photoNameColumn = 0;
        std::shared_ptr<const PhotoFolderListing> listing;
        std::shared_ptr<const PhotoNameIndex> index;
    };
    bool basisHolds(const QString& folder) const;

    RosterModel* model_;
    int current_ = -1;
    int savedCurrentRow_ = -1;
    int photoNameColumn_ = 0;
    int displayNameColumn_ = 1;
    QString rosterFilePath_;

    bool importing_ = false;
    quint64 importGeneration_ = 0;
    std::shared_ptr<std::atomic_bool> importCancel_;
    bool checking_ = false;
    quint64 checkGeneration_ = 0;
    quint64 rosterGeneration_ = 0;
    std::optional<CheckBasis> basis_;
    bool refreshing_ = false;
    QString refreshAgain_;  // the folder of a refresh asked for while one ran
    quint64 refreshGeneration_ = 0;
};
