#pragma once
#include <QMargins>
#include <QObject>

#include <functional>

class QWidget;

// Calls back when the frame the window manager puts around a top-level window
// changes. A window placed by its outer rectangle before it was ever shown
// was placed without its frame (nobody knew it yet); it is placed again once
// the frame is known. Moves by the operator leave the frame as it is and do
// not call back.
class FrameWatch : public QObject {
    Q_OBJECT
public:
    FrameWatch(QWidget* window, std::function<void()> frameChanged);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QWidget* window_;
    std::function<void()> frameChanged_;
    QMargins margins_;
};
