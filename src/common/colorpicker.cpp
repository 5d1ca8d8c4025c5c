#include "colorpicker.h"

#include <QColorDialog>

ColorPicker::ColorPicker(QWidget* parent)
    : QPushButton(parent)
{
    setColour(Qt::black);
    connect(this, &QPushButton::clicked, this, &ColorPicker::choose);
}

void ColorPicker::setColour(const QColor& colour)
{
    if (!colour.isValid())
        return;
    colour_ = colour;
    setStyleSheet(QStringLiteral("ColorPicker { background: %1; border: 1px solid #777; }").arg(colour.name()));
    emit colourChanged(colour_);
}

void ColorPicker::choose()
{
    const QColor chosen = QColorDialog::getColor(colour_, window(), QStringLiteral("字幕颜色"));
    if (chosen.isValid())
        setColour(chosen);
}
