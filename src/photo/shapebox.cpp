#include "shapebox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

ShapeBox::ShapeBox(QWidget* parent)
    : QWidget(parent)
{
    // No background of its own: whatever lies under the interior stays visible.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::SizeAllCursor);
    refreshShape();
}

void ShapeBox::setLineColour(const QColor& colour)
{
    if (colour == m_lineColour)
        return;
    m_lineColour = colour;
    update();
}

void ShapeBox::setGrip(QWidget* grip)
{
    if (m_grip)
        m_grip->removeEventFilter(this);
    m_grip = grip;
    if (m_grip)
        m_grip->installEventFilter(this);
}

void ShapeBox::alignGrip()
{
    if (m_grip && m_grip->geometry() != geometry())
        m_grip->setGeometry(geometry());
}

QRect ShapeBox::interiorRect() const
{
    return geometry().adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
}

void ShapeBox::refreshShape()
{
    const QRect outer = rect();
    const QRect inner = outer.adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
    if (outer.isEmpty()) {
        clearMask();
        return;
    }
    // A frame too small to have an interior is all outline.
    setMask(inner.isEmpty() ? QRegion(outer) : QRegion(outer).subtracted(QRegion(inner)));
}

void ShapeBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    const int line = qMin(kLineWidth, qMin(w, h));
    p.fillRect(0, 0, w, line, m_lineColour);
    p.fillRect(0, h - line, w, line, m_lineColour);
    p.fillRect(0, 0, line, h, m_lineColour);
    p.fillRect(w - line, 0, line, h, m_lineColour);
}

void ShapeBox::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    refreshShape();
}

QPoint ShapeBox::toParent(const QPointF& globalPos) const
{
    const QPoint global = globalPos.toPoint();
    return parentWidget() ? parentWidget()->mapFromGlobal(global) : global;
}

void ShapeBox::beginDrag(const QPointF& globalPos)
{
    m_dragging = true;
    m_pressOffset = toParent(globalPos) - pos();
}

void ShapeBox::dragTo(const QPointF& globalPos)
{
    const QRect proposed(toParent(globalPos) - m_pressOffset, size());
    const QRect allowed = viewfinder::clampFrame(proposed, m_limits);
    if (allowed.topLeft() != pos())
        move(allowed.topLeft());
    alignGrip();
    emit dragMoved(geometry());
}

void ShapeBox::endDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    alignGrip();
    emit dragFinished(geometry());
}

void ShapeBox::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        beginDrag(e->globalPosition());
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

void ShapeBox::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging && (e->buttons() & Qt::LeftButton)) {
        dragTo(e->globalPosition());
        e->accept();
        return;
    }
    QWidget::mouseMoveEvent(e);
}

void ShapeBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_dragging) {
        dragTo(e->globalPosition());
        endDrag();
        e->accept();
        return;
    }
    QWidget::mouseReleaseEvent(e);
}

bool ShapeBox::eventFilter(QObject* watched, QEvent* e)
{
    // The grip receives the presses inside the frame; a drag begun there moves
    // the frame exactly like one begun on the outline. The grip's own handlers
    // still see the events (its right-button release is used elsewhere).
    if (watched == m_grip) {
        switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton)
                beginDrag(me->globalPosition());
            break;
        }
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (m_dragging && (me->buttons() & Qt::LeftButton))
                dragTo(me->globalPosition());
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton && m_dragging) {
                dragTo(me->globalPosition());
                endDrag();
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}
