#pragma once
#include <QAbstractSpinBox>

// The zoom box: an edit box with spin buttons whose text is free. The buttons,
// the arrow keys and the wheel do not change the text themselves; they report
// what happened and the viewfinder decides the new value.
class ZoomSpinBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit ZoomSpinBox(QWidget* parent = nullptr);

    void setText(const QString& text);
    // The leading integer of the text (full-width digits count); 0 without one.
    int value() const;

    void stepBy(int steps) override;

signals:
    void textChanged(const QString& text);
    // +1 for the up button (or key), -1 for the down one.
    void spinPressed(int step);
    // The wheel's signed distance (positive away from the user).
    void wheelTurned(int delta);

protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* e) override;
};
