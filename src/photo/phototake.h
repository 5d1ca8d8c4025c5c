#pragma once
#include "photopreset.h"
#include "safewrite.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

// Who a photo was taken for. A roster take belongs to one row under one
// photo-name column; a free take gets its name at save time, typed or numbered.
struct TakeOwner {
    enum class Mode { RosterRow, Typed, Numbered };
    Mode mode = Mode::RosterRow;
    int row = -1;  // roster row at the take
    QString name;  // the photo name at the take (roster: PhotoName(row))
};

// One photo taken and not yet replaced by the next one.
struct Take {
    QImage cut;  // camera pixels under the frame, with the target's aspect
    // The camera's region around the cut, at camera resolution, so the photo
    // can be framed again later for another size (保留原图).
    QImage original;
    QSize size;  // the photo size the frame was laid out for
    bool captionOn = true;
    // A roster photo's caption; for a free one the name known at the take,
    // shown until the save stamps the name it is saved under.
    QString caption;
    QColor captionColour;
    TakeOwner owner;
    // The existing file the comparison showed for this take, as it was then:
    // only that version may be replaced by it without asking again.
    QString comparedPath;
    std::optional<safewrite::FileIdentity> compared;
    bool saved = false;
    // The photo check found a problem: it is not saved automatically, the
    // operator may save it by hand.
    bool checkFailed = false;
};

// The operator's settings for taking and saving photos. Windows show them
// and send changes; nothing is read back from a unit.
class PhotoSession : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // --- naming
    // File name of the current photo, without folder; after a save with ".jpg".
    QString photoBaseName() const { return photoBaseName_; }
    void setPhotoBaseName(const QString& name) { photoBaseName_ = name; }
    // Number of the next automatic free-shooting name (0 counts as 1).
    int freeShotCounter() const { return freeShotCounter_; }
    void setFreeShotCounter(int n) { freeShotCounter_ = n; }
    // The name typed for free shooting (编辑框1).
    QString typedName() const { return typedName_; }
    void setTypedName(const QString& name);

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

    // --- the file
    // JPEG quality of a photo.
    int quality() const { return quality_; }
    void setQuality(int quality) { quality_ = quality; }
    // Bytes a photo file may have; 0: no limit (大小上限 KB).
    qint64 sizeLimit() const { return sizeLimit_; }
    // Why the box holds no valid limit; empty when it does.
    QString sizeLimitError() const { return sizeLimitError_; }
    void setSizeLimit(qint64 bytes, const QString& error);
    // Why the size boxes hold no valid photo size; empty when they do. A
    // take is kept while a size is half typed, but not saved.
    QString targetError() const { return targetError_; }
    void setTargetError(const QString& error);
    // Each saved photo keeps the camera's region around it in 原图/.
    bool keepOriginal() const { return keepOriginal_; }
    void setKeepOriginal(bool on);
    // The chosen 照片规格: every photo states its dpi and meets its KB range
    // (大小上限, when filled, narrows the maximum). 自定义 states neither.
    const PhotoPreset& preset() const { return preset_; }
    void setPreset(const PhotoPreset& preset);
    // 更换背景: each take's backdrop becomes the preset's colour.
    bool replaceBackdrop() const { return replaceBackdrop_; }
    void setReplaceBackdrop(bool on);
    // The colour a take's backdrop becomes; none when it stays as shot.
    std::optional<QColor> backdropColour() const;

signals:
    // A naming mode or the typed name changed.
    void changed();

private:
    QString photoBaseName_;
    QString typedName_;
    int freeShotCounter_ = 0;
    bool freeShooting_ = false;
    bool manualNaming_ = false;
    bool autoSave_ = false;
    bool captionOn_ = true;
    QColor captionColour_ = Qt::black;
    int quality_ = 90;
    qint64 sizeLimit_ = 0;
    QString sizeLimitError_;
    QString targetError_;
    bool keepOriginal_ = true;
    bool replaceBackdrop_ = false;
    PhotoPreset preset_ = PhotoPreset::custom();
};
