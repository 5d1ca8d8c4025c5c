#pragma once
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

// An edit box whose number steps with an up-down control, the arrow keys or
// the wheel. Its text stays free: what is typed is kept as typed, so the
// owner can read and correct it; stepping keeps to the range.
class SpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    // The text's number plus `steps`, held inside the range.
    void stepBy(int steps);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    int min_ = 0;
    int max_ = 99;
};

// The up-down control beside a SpinEdit (two small arrow buttons).
class SpinArrows : public QWidget {
    Q_OBJECT
public:
    explicit SpinArrows(QWidget* parent = nullptr);
    void setBuddy(SpinEdit* edit);

protected:
    void resizeEvent(QResizeEvent* e) override;
    // The arrows are usable exactly when their edit box is.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QPointer<SpinEdit> buddy_;
};
