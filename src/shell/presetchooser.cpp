#include "presetchooser.h"

#include "dialogs.h"
#include "phototake.h"
#include "viewfindercontroller.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

PresetChooser::PresetChooser(QComboBox* box, ViewfinderController& viewfinder, PhotoSession& session,
                             PresetCatalogue catalogue, QObject* parent)
    : QObject(parent)
    , box_(box)
    , viewfinder_(viewfinder)
    , session_(session)
    , catalogue_(std::move(catalogue))
{
    for (const PhotoPreset& preset : catalogue_.presets) {
        box_->addItem(preset.name);
        box_->setItemData(box_->count() - 1, preset.summary(), Qt::ToolTipRole);
    }
    box_->addItem(PhotoPreset::customName());
    box_->setItemData(box_->count() - 1, QStringLiteral("直接输入相片分辨率"), Qt::ToolTipRole);
    // The form's size is 自定义 until a preset is chosen.
    box_->setCurrentIndex(box_->count() - 1);
    show(PhotoPreset::custom(viewfinder_.target()));
    connect(box_, &QComboBox::activated, this, &PresetChooser::chosen);
    box_->setEnabled(viewfinder_.units().widthBox->isEnabled());
    viewfinder_.units().widthBox->installEventFilter(this);
    connect(&viewfinder_, &Viewfinder::targetChanged, this, &PresetChooser::targetChanged);
    if (!catalogue_.warning.isEmpty()) {
        // Once the window is up: a box before it would stand alone on the screen.
        QTimer::singleShot(0, this, [this] {
            Dialogs::current().message(catalogue_.warning, dialogtitle::reminder, Dialogs::Icon::Warning);
        });
    }
}

bool PresetChooser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && watched == viewfinder_.units().widthBox)
        box_->setEnabled(viewfinder_.units().widthBox->isEnabled());
    return QObject::eventFilter(watched, event);
}

bool PresetChooser::choose(const QString& name)
{
    const int index = box_->findText(name);
    if (index < 0)
        return false;
    box_->setCurrentIndex(index);
    chosen(index);
    return true;
}

void PresetChooser::chosen(int index)
{
    const PhotoPreset* preset = catalogue_.find(box_->itemText(index));
    if (!preset) {
        show(PhotoPreset::custom(viewfinder_.target()));
        return;
    }
    show(*preset);
    if (preset->size == viewfinder_.target() && viewfinder_.targetError().isEmpty())
        return;  // the frame is laid out for it already
    filling_ = true;
    viewfinder_.fillTargetSize(preset->size);
    filling_ = false;
}

void PresetChooser::targetChanged()
{
    if (filling_)
        return;
    // A size typed by hand is the operator's own: nothing else of a preset holds.
    box_->setCurrentIndex(box_->count() - 1);
    show(PhotoPreset::custom(viewfinder_.target()));
}

void PresetChooser::show(const PhotoPreset& preset)
{
    session_.setPreset(preset);
    box_->setToolTip(preset.isCustom() ? QStringLiteral("照片规格：自定义（直接输入相片分辨率）")
                                       : QStringLiteral("照片规格：%1，%2").arg(preset.name, preset.summary()));
}
