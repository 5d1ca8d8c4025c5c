#pragma once
#include <QColor>
#include <QLabel>

// A label that reports the mouse events the station's handlers listen to.
class MouseLabel : public QLabel {
    Q_OBJECT
public:
    explicit MouseLabel(QWidget* parent = nullptr);

    void setTextColour(const QColor& colour);
    QColor textColour() const;

signals:
    void leftPressed(QPoint pos);
    void leftReleased(QPoint pos);
    void rightReleased(QPoint pos);
    void doubleClicked(QPoint pos);
    void mouseMoved(QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
};

// Text drawn without background.
class TransLabel : public MouseLabel {
    Q_OBJECT
public:
    explicit TransLabel(QWidget* parent = nullptr);
};

// A picture box: shows a picture, scaled to its rectangle.
class PicBox : public MouseLabel {
    Q_OBJECT
public:
    explicit PicBox(QWidget* parent = nullptr);
};
