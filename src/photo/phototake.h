#pragma once
#include <QColor>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

// Who a photo was taken for. A roster take belongs to one row under one
// photo-name column; a free take gets its name at save time, typed or numbered.
struct TakeOwner {
    enum class Mode { Roster, Typed, Numbered };
    Mode mode = Mode::Roster;
    int row = -1;  // roster row at the take
    QString name;  // the photo name at the take (roster: PhotoName(row))
};

// One photo taken and not yet replaced by the next one.
struct Take {
    QImage cut;  // camera pixels under the frame, with the target's aspect
    QSize size;  // the photo size the frame was laid out for
    QString caption;  // empty when the caption was off
    QColor captionColour;
    TakeOwner owner;
    // The existing file the comparison window showed for this take: only
    // that file may be replaced by it without asking again.
    QString comparedPath;
    bool saved = false;
    // The photo check found a problem: it is not saved automatically, the
    // operator may save it by hand.
    bool checkFailed = false;
};

// The state of taking and saving photos: the current take and the naming
// state. Windows show it and send intents; nothing is read back from them.
class PhotoSession : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // --- the take
    // A take exists that was not saved yet (and is not being saved).
    bool hasUnsavedTake() const { return take_.has_value() && !take_->saved; }
    const Take* take() const { return take_ ? &*take_ : nullptr; }
    void setTake(Take take);
    // Counts the takes, so an answer about an older one is recognised.
    quint64 takeNumber() const { return takeNumber_; }
    void markCheckFailed();
    // The photo no longer belongs to whoever is current now: the row changed,
    // a roster was imported, a saved photo is being shown.
    void discardTake();
    void setComparedPath(const QString& path);
    // Saved: the picture is released, nothing can be saved twice.
    void markSaved();

    // A save is running on a worker thread.
    bool saving() const { return saving_; }
    void setSaving(bool saving);

    // --- naming
    // File name of the current photo, without folder; after a save with ".jpg".
    QString photoBaseName() const { return photoBaseName_; }
    void setPhotoBaseName(const QString& name) { photoBaseName_ = name; }
    // Number of the next automatic free-shooting name (0 counts as 1).
    int freeShotCounter() const { return freeShotCounter_; }
    void setFreeShotCounter(int n);

    bool freeShooting() const { return freeShooting_; }
    bool manualNaming() const { return manualNaming_; }
    bool autoSave() const { return autoSave_; }
    void setFreeShooting(bool on);
    void setManualNaming(bool on);
    void setAutoSave(bool on);

    // --- caption
    bool captionOn() const { return captionOn_; }
    void setCaptionOn(bool on);
    QColor captionColour() const { return captionColour_; }
    void setCaptionColour(const QColor& colour) { captionColour_ = colour; }

    // --- size limit (大小上限 KB)
    // Bytes a photo file may have; 0: no limit.
    qint64 sizeLimit() const { return sizeLimit_; }
    // Why the box holds no valid limit; empty when it does.
    QString sizeLimitError() const { return sizeLimitError_; }
    void setSizeLimit(qint64 bytes, const QString& error);

    // The result pane's width and height at the last take ([1], [2]).
    std::array<int, 3> paneRecord{};

signals:
    // The take, the saving flag or a naming mode changed.
    void changed();

private:
    std::optional<Take> take_;
    quint64 takeNumber_ = 0;
    qint64 sizeLimit_ = 0;
    QString sizeLimitError_;
    bool saving_ = false;
    QString photoBaseName_;
    int freeShotCounter_ = 0;
    bool freeShooting_ = false;
    bool manualNaming_ = false;
    bool autoSave_ = false;
    bool captionOn_ = true;
    QColor captionColour_ = Qt::black;
};
