#pragma once
#include "viewfinderlayout.h"

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QWidget>

// The viewfinder frame: a rectangle outline over the live preview. Only the
// outline is painted and only the outline takes the mouse (the widget's mask),
// so the preview shows through the interior and clicks inside it reach the
// grip overlay lying under the frame.
//
// A left press on the outline or on the grip drags the frame: it keeps its size
// and stays inside the drag limits, given in its parent's coordinates; the grip
// follows it.
class ShapeBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLineWidth = 2;

    explicit ShapeBox(QWidget* parent = nullptr);

    void setLineColour(const QColor& colour);

    void setDragLimits(const viewfinder::DragLimits& limits) { m_limits = limits; }
    viewfinder::DragLimits dragLimits() const { return m_limits; }

    // The grip (an overlay label) is kept at the frame's rectangle; its left
    // presses drag the frame too.
    void setGrip(QWidget* grip);
    QWidget* grip() const { return m_grip; }
    // Moves the grip onto the frame's rectangle.
    void alignGrip();

    // The rectangle inside the outline, in the parent's coordinates.
    QRect interiorRect() const;

    // Re-applies the outline-only shape after a size change.
    void refreshShape();

    bool dragging() const { return m_dragging; }

signals:
    // The frame was moved by a drag (once per step while the button is held).
    void dragMoved(QRect geometry);
    void dragFinished(QRect geometry);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QPoint toParent(const QPointF& globalPos) const;
    void beginDrag(const QPointF& globalPos);
    void dragTo(const QPointF& globalPos);
    void endDrag();

    QColor m_lineColour = QColor(255, 0, 0);
    viewfinder::DragLimits m_limits;
    QPointer<QWidget> m_grip;
    bool m_dragging = false;
    QPoint m_pressOffset;  // press point minus the frame's top-left, in parent coordinates
};
