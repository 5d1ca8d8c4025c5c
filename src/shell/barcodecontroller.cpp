#include "barcodecontroller.h"

#include "barcodelookup.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

BarcodeController::BarcodeController(RosterController& roster, QLineEdit* box,
                                     const QList<QAbstractButton*>& shootingButtons, Context context, QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , box_(box)
    , shootingButtons_(shootingButtons)
    , context_(std::move(context))
{
    connect(box_, &QLineEdit::returnPressed, this, [this] {
        const QString code = box_->text();
        box_->clear();
        Locate(code);
    });
    qApp->installEventFilter(this);
    // After the photo part's own handling of the click, which may move the
    // focus to the roster list.
    for (QAbstractButton* button : shootingButtons_)
        connect(button, &QAbstractButton::clicked, this, &BarcodeController::shootingDone);
}

bool BarcodeController::Locate(const QString& code)
{
    RosterState& state = roster_.state();
    const QString shown = code.trimmed();
    if (shown.isEmpty())
        return false;
    const CodeMatch match = findCode(*state.model(), state.photoNameColumn(), shown);
    if (match.row < 0) {
        context_.setErrorStatus(QStringLiteral("当前状态: 未找到“%1”").arg(shown));
        return false;
    }
    state.setCurrentRow(match.row);
    roster_.list()->scrollTo(state.model()->index(match.row, 0));
    // Shown and announced as a click on the row.
    roster_.ShowCurrentPhoto();
    if (match.count > 1)
        context_.setStatus(
            QStringLiteral("当前状态: 有 %1 行相符，已定位到第 %2 行").arg(match.count).arg(match.row + 1));
    else
        context_.setStatus(QStringLiteral("当前状态: 已定位到第 %1 行").arg(match.row + 1));
    return true;
}

void BarcodeController::shootingDone()
{
    if (!keepFocus_)
        return;
    // Queued: the save's own focus change comes first.
    QTimer::singleShot(0, box_, [this] {
        if (keepFocus_)
            box_->setFocus(Qt::OtherFocusReason);
    });
}

bool BarcodeController::eventFilter(QObject* watched, QEvent* event)
{
    // Focus events reach only their widget: they are seen application-wide,
    // to tell where the operator put the focus.
    if (event->type() != QEvent::FocusIn)
        return QObject::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == box_) {
        keepFocus_ = true;
    } else if (widget && widget->window() == box_->window()) {
        // The operator clicking elsewhere in the window takes the focus for
        // good; a shooting button, or the program moving the focus (to the
        // roster list after a save, or on from a button the save disabled,
        // which Qt reports as a tab), does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool operatorMoved = reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (operatorMoved && !(button && shootingButtons_.contains(button)))
            keepFocus_ = false;
    }
    return QObject::eventFilter(watched, event);
}
