#include "zoomspinbox.h"

#include "texttoint.h"

#include <QLineEdit>
#include <QWheelEvent>

ZoomSpinBox::ZoomSpinBox(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    setAccelerated(false);
    setKeyboardTracking(true);
    setText(QStringLiteral("0"));
    connect(lineEdit(), &QLineEdit::textChanged, this, &ZoomSpinBox::textChanged);
}

void ZoomSpinBox::setText(const QString& text)
{
    lineEdit()->setText(text);
}

int ZoomSpinBox::value() const
{
    return text::toInt(text());
}

void ZoomSpinBox::stepBy(int steps)
{
    if (steps != 0)
        emit spinPressed(steps > 0 ? 1 : -1);
}

QAbstractSpinBox::StepEnabled ZoomSpinBox::stepEnabled() const
{
    // Both buttons always answer; the limits are the frame's, not the text's.
    return StepUpEnabled | StepDownEnabled;
}

void ZoomSpinBox::wheelEvent(QWheelEvent* e)
{
    const QPoint angle = e->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta != 0)
        emit wheelTurned(delta);
    e->accept();
}
