#include "shotkeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace {

QKeySequence sequenceOf(const QKeyEvent& key)
{
    return QKeySequence(key.keyCombination());
}

}  // namespace

ShotKeys::ShotKeys(QWidget* window, Actions actions, QObject* parent)
    : QObject(parent)
    , window_(window)
    , actions_(std::move(actions))
{
    qApp->installEventFilter(this);
}

void ShotKeys::setKeys(const ShotKeySet& keys)
{
    if (keys_ == keys)
        return;
    keys_ = keys;
    emit keysChanged(keys_);
}

bool ShotKeys::typingIn(const QWidget* focus)
{
    // A name, a size or a scanned number being typed keeps its keys; an
    // empty scan box waits for the scanner, and the keys work there.
    const auto* box = qobject_cast<const QLineEdit*>(focus);
    if (!box || !box->isEnabled() || box->isReadOnly())
        return false;
    return box->objectName() != QStringLiteral("编辑框扫码") || !box->text().isEmpty();
}

ShotKeys::Action ShotKeys::actionFor(const QKeyEvent& key) const
{
    const QKeySequence pressed = sequenceOf(key);
    if (keys_.shoot.contains(pressed))
        return Action::Shoot;
    if (!keys_.back.isEmpty() && pressed == keys_.back)
        return Action::Back;
    if (!keys_.undo.isEmpty() && pressed == keys_.undo)
        return Action::Undo;
    return Action::None;
}

bool ShotKeys::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != window_)
        return QObject::eventFilter(watched, event);
    const auto& key = *static_cast<QKeyEvent*>(event);

    // Enter on a focused button presses it, as the operator expects.
    if (type == QEvent::KeyPress && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
        key.modifiers() == Qt::NoModifier) {
        if (auto* button = qobject_cast<QAbstractButton*>(target); button && button->isEnabled()) {
            button->animateClick();
            return true;
        }
    }
    const Action action = actionFor(key);
    if (action == Action::None || typingIn(target))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Ours before any shortcut of the focused unit.
        event->accept();
        return true;
    }
    // A held pedal or key counts once.
    if (key.isAutoRepeat())
        return true;
    const std::function<void()>& run = action == Action::Shoot  ? actions_.shoot
                                       : action == Action::Back ? actions_.back
                                                                : actions_.undo;
    if (run)
        run();
    return true;
}
