#include "translabel.h"

#include <QMetaMethod>
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

// An event this label handles stops here; the others go on to the parent,
// as clicks on a plain label reach the window beneath it.
void MouseLabel::mousePressEvent(QMouseEvent* e)
{
    QLabel::mousePressEvent(e);
    if (e->button() == Qt::LeftButton && isSignalConnected(QMetaMethod::fromSignal(&MouseLabel::leftPressed))) {
        e->accept();
        emit leftPressed(e->position().toPoint());
    }
}

void MouseLabel::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && isSignalConnected(QMetaMethod::fromSignal(&MouseLabel::leftReleased))) {
        e->accept();
        emit leftReleased(e->position().toPoint());
    } else if (e->button() == Qt::RightButton &&
               isSignalConnected(QMetaMethod::fromSignal(&MouseLabel::rightReleased))) {
        e->accept();
        emit rightReleased(e->position().toPoint());
    }
}

void MouseLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLabel::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton && isSignalConnected(QMetaMethod::fromSignal(&MouseLabel::doubleClicked))) {
        e->accept();
        emit doubleClicked(e->position().toPoint());
    }
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
