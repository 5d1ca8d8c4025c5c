#include "spinedit.h"

#include "texttoint.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

SpinEdit::SpinEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void SpinEdit::setRange(int minimum, int maximum)
{
    min_ = minimum;
    max_ = std::max(minimum, maximum);
}

void SpinEdit::stepBy(int steps)
{
    const long long v = static_cast<long long>(text::toInt(text())) + steps;
    const int held = int(std::clamp<long long>(v, min_, max_));
    const QString t = QString::number(held);
    if (t != text())
        setText(t);
}

void SpinEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Up) {
        stepBy(1);
        return;
    }
    if (e->key() == Qt::Key_Down) {
        stepBy(-1);
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void SpinEdit::wheelEvent(QWheelEvent* e)
{
    const int dy = e->angleDelta().y();
    if (dy == 0 || !isEnabled()) {
        QLineEdit::wheelEvent(e);
        return;
    }
    stepBy(dy > 0 ? 1 : -1);
    e->accept();
}

SpinArrows::SpinArrows(QWidget* parent)
    : QWidget(parent)
    , up_(new QToolButton(this))
    , down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(6, 6));
    }
    connect(up_, &QToolButton::clicked, this, [this] {
        if (buddy_)
            buddy_->stepBy(1);
    });
    connect(down_, &QToolButton::clicked, this, [this] {
        if (buddy_)
            buddy_->stepBy(-1);
    });
}

void SpinArrows::setBuddy(SpinEdit* edit)
{
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = edit;
    if (buddy_) {
        buddy_->installEventFilter(this);
        setEnabled(buddy_->isEnabled());
    }
}

void SpinArrows::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

bool SpinArrows::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::EnabledChange && watched == buddy_)
        setEnabled(buddy_->isEnabled());
    return QWidget::eventFilter(watched, e);
}
