#pragma once
#include <QColor>
#include <QPushButton>

// A button that shows a colour and lets the operator choose another.
class ColorPicker : public QPushButton {
    Q_OBJECT
public:
    explicit ColorPicker(QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);

signals:
    void colourChanged(const QColor& colour);

private:
    void choose();
    QColor colour_ = Qt::black;
};
