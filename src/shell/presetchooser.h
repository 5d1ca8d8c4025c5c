#pragma once
#include "photopreset.h"

#include <QObject>

class PhotoSession;
class QComboBox;
class ViewfinderController;

// The 照片规格 chooser beside the size boxes. Choosing a preset fills the
// boxes with its size and makes it the preset every photo is saved to (its
// dpi and KB range); typing another size makes it 自定义, which states
// neither. The presets come from the user's copy of the presets file, or
// the shipped list, with a message when the copy was refused. It is usable
// when the size boxes are (the preview is on).
class PresetChooser : public QObject {
    Q_OBJECT
public:
    PresetChooser(QComboBox* box, ViewfinderController& viewfinder, PhotoSession& session, PresetCatalogue catalogue,
                  QObject* parent);

    const PresetCatalogue& catalogue() const { return catalogue_; }
    // Chooses the preset of that name (自定义 included); false when there is none.
    bool choose(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chosen(int index);
    void targetChanged();
    void show(const PhotoPreset& preset);

    QComboBox* box_;
    ViewfinderController& viewfinder_;
    PhotoSession& session_;
    PresetCatalogue catalogue_;
    bool filling_ = false;  // the boxes are being filled from a preset
};
