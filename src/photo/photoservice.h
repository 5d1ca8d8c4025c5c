#pragma once
#include "photorender.h"
#include "phototake.h"
#include "safewrite.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class AppState;
class PhotoNameIndex;
class RosterState;

// A camera picture as a take sees it.
struct CameraPicture {
    QImage frame;  // full resolution; null when the camera has given none
    qint64 arrivalMs = 0;  // when it arrived, on the steady clock (ms)
    qint64 periodMs = 0;  // the source's frame period; 0 when unknown
    // A separate still (a file dropped into a hot folder, a camera's shot)
    // rather than a live picture: it must have come after the current
    // student was chosen, however old it is.
    bool still = false;
};

// What the window hands a take: the picture and where the frame lies on it.
struct TakeRequest {
    CameraPicture picture;
    QRectF region;  // the frame's interior, in camera pixels
    QSize target;  // the photo's size
    QString targetError;  // why the size boxes hold no valid size; empty when they do
};

// What the review of a take found.
struct TakeReview {
    bool passed = true;  // the checks found nothing (or did not run)
    QImage photo;  // the take with its backdrop replaced; null: as taken
    // The backdrop was to be replaced and could not be: the take is not
    // saved automatically.
    bool backdropRefused = false;
};

// A sentence for the operator: always the status line, and a message box
// when `message` is not empty.
struct PhotoNotice {
    QString status;
    QString message;
    bool information = false;  // an information icon instead of a warning
    bool appendToStatus = false;  // `status` goes on after what the line says
};

// A photo that reached the disk, or was taken back.
struct SaveReport {
    TakeOwner owner;
    QString name;  // the name it was saved under
    QString path;
    QString replacedCopy;  // where the photo it replaced was kept; empty if none
    bool advanced = false;  // the roster moved on to the next student
    bool lastRow = false;  // it was the roster's last student: the window says how many are done
    bool written = false;  // false: the existing photo was kept
    QString notes;  // what the operator must know about the file
};

// The rules of taking and saving photos, free of widgets: who a take belongs
// to (by value, fixed when it is taken), which name and file it is saved
// under (one file per student: the first row owns a shared file), the
// comparison before any file is replaced, the checks before an automatic
// save, the freshness of the camera picture, the pause after the roster moved
// on, and taking back the last save. Saves run on a worker thread and finish
// for the student they were taken of, whatever happened on screen meanwhile.
// The window shows what this decides and sends it the operator's intents.
class PhotoService : public QObject {
    Q_OBJECT
public:
    // A take needs a picture no older than this, or two frame periods of a
    // slow camera.
    static constexpr qint64 kFreshFrameMs = 500;
    // After a save moved on, takes wait this long for the next student (a
    // double click, a bouncing pedal), and for a picture that came after.
    static constexpr qint64 kSettleMs = 1000;
    qint64 settleMs = kSettleMs;

    PhotoService(RosterState& roster, AppState& app, QObject* parent = nullptr);
    ~PhotoService() override;

    PhotoSession& session() { return session_; }
    const PhotoSession& session() const { return session_; }

    // --- intents
    // Takes the photo of the current student (or of the typed or numbered
    // name in free shooting). False when refused or ignored; the notice says why.
    bool take(const TakeRequest& request);
    enum class Choice { New, KeepExisting };
    // Saves the take: `choice` is the comparison's, when it is open. False
    // when nothing was written or started (refused, or the comparison opened).
    bool save(Choice choice = Choice::New);
    // The comparison window was closed without a choice.
    void closeComparison();
    // Takes back the last save of this session.
    bool undoLastSave();
    // The take is no longer the right photo (another size was typed).
    void discardTake();

    // --- what the window shows
    bool hasUnsavedTake() const { return take_ && !take_->saved; }
    const Take* take() const { return take_ ? &*take_ : nullptr; }
    bool saving() const { return saving_; }
    bool checking() const { return checking_; }
    // The take's backdrop is being replaced: a save waits for it.
    bool retouching() const { return retouching_; }
    bool comparing() const { return comparing_; }
    bool canUndo() const { return bool(lastSave_) && !saving_; }
    // Whether the save button may be used now.
    bool saveAllowed() const;
    // The next automatic free-shooting name.
    QString nextAutoName() const;

    // --- hooks
    // Reviews a photo just taken off this thread (the backdrop replaced when
    // a colour is given, then the face checks); answers later on this
    // thread. Returns false when there is nothing to do.
    std::function<bool(const QImage& photo, const std::optional<QColor>& backdrop,
                       std::function<void(const TakeReview& review)> answer)>
        takeReview;
    // The steady clock, in ms; tests set their own.
    std::function<qint64()> clock;

    static QString autoNamePrefix();  // "Velk学籍照相相片"
    static QString originalsFolderName();  // "原图"

signals:
    void notice(const PhotoNotice& notice);
    // A take was made: the window shows it.
    void taken();
    // The take's picture changed after it was shown (its backdrop replaced).
    void retouched();
    // The existing photo at path must be compared with the take before
    // anything is saved.
    void comparisonOpened(const QString& existingPath);
    void comparisonClosed();
    void saved(const SaveReport& report);
    void undone(const SaveReport& report);
    // The take, the saving or the undo state changed.
    void changed();

private:
    struct SaveJob;
    struct LastSave;
    Result<SaveJob> prepareSave() const;
    Status ownsItsFile(int row) const;
    const PhotoNameIndex& ownerIndex() const;
    void startCheck();
    void checkAnswered(quint64 takeNumber, const TakeReview& review);
    void saveIfAutomatic();
    void openComparison(const QString& path);
    void endComparison();
    void keepExisting();
    void write(SaveJob job);
    void finishWrite(const SaveJob& job, const PhotoWritten& written);
    bool refuse(const QString& status, const QString& message);
    void say(const QString& status, const QString& message = {}, bool information = false);
    qint64 now() const;

    RosterState& roster_;
    AppState& app_;
    PhotoSession session_;
    std::optional<Take> take_;
    quint64 takeNumber_ = 0;
    bool saving_ = false;
    bool checking_ = false;
    bool saveAfterCheck_ = false;
    bool retouching_ = false;
    bool saveWhenRetouched_ = false;  // the operator saved while the backdrop was replaced
    bool comparing_ = false;
    qint64 movedOnAtMs_ = -1;  // when the last save moved on; -1 never
    qint64 studentSinceMs_ = -1;  // when the current student was chosen
    std::unique_ptr<LastSave> lastSave_;
    mutable std::unique_ptr<PhotoNameIndex> index_;  // built on first use per roster
};
