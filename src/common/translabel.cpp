#include "translabel.h"

#include <QMouseEvent>

MouseLabel::MouseLabel(QWidget* parent)
    : QLabel(parent)
{
}

void MouseLabel::setTextColour(const QColor& colour)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    setPalette(p);
}

QColor MouseLabel::textColour() const
{
    return palette().color(QPalette::WindowText);
}

void MouseLabel::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit leftPressed(e->position().toPoint());
    QLabel::mousePressEvent(e);
}

void MouseLabel::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit leftReleased(e->position().toPoint());
    else if (e->button() == Qt::RightButton)
        emit rightReleased(e->position().toPoint());
    QLabel::mouseReleaseEvent(e);
}

void MouseLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit doubleClicked(e->position().toPoint());
    QLabel::mouseDoubleClickEvent(e);
}

void MouseLabel::mouseMoveEvent(QMouseEvent* e)
{
    emit mouseMoved(e->position().toPoint());
    QLabel::mouseMoveEvent(e);
}

TransLabel::TransLabel(QWidget* parent)
    : MouseLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
}

PicBox::PicBox(QWidget* parent)
    : MouseLabel(parent)
{
    setScaledContents(true);
}
