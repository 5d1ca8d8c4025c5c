#include "framewatch.h"

#include <QEvent>
#include <QWidget>

namespace {

QMargins frameMargins(const QWidget* w)
{
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

}  // namespace

FrameWatch::FrameWatch(QWidget* window, std::function<void()> frameChanged)
    : QObject(window)
    , window_(window)
    , frameChanged_(std::move(frameChanged))
    , margins_(frameMargins(window))
{
    window->installEventFilter(this);
}

bool FrameWatch::eventFilter(QObject* watched, QEvent* e)
{
    // The window manager's frame arrives with a move of the client inside it.
    if (watched == window_ && (e->type() == QEvent::Move || e->type() == QEvent::Show)) {
        const QMargins now = frameMargins(window_);
        if (now != margins_) {
            margins_ = now;
            frameChanged_();
        }
    }
    return QObject::eventFilter(watched, e);
}
