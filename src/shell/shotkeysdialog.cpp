#include "shotkeysdialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>

namespace {

QKeySequenceEdit* keyEdit(const char* name, QWidget* parent)
{
    auto* edit = new QKeySequenceEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    return edit;
}

// One key per box: the first of what was pressed.
QKeySequence firstKey(const QKeySequenceEdit* edit)
{
    const QKeySequence typed = edit->keySequence();
    return typed.isEmpty() ? QKeySequence() : QKeySequence(typed[0]);
}

}  // namespace

ShotKeysDialog::ShotKeysDialog(ShotKeys& keys, QWidget* owner)
    : QWidget(owner, Qt::Tool)
    , keys_(keys)
    , shoot1_(keyEdit("照相键1", this))
    , shoot2_(keyEdit("照相键2", this))
    , back_(keyEdit("上一位键", this))
    , undo_(keyEdit("撤销键", this))
{
    setObjectName(QStringLiteral("按键设置窗口"));
    setWindowTitle(QStringLiteral("按键设置"));
    auto* form = new QFormLayout;
    auto* shootRow = new QHBoxLayout;
    shootRow->addWidget(shoot1_);
    shootRow->addWidget(shoot2_);
    form->addRow(QStringLiteral("照相（自动保存时并保存、换下一位）"), shootRow);
    form->addRow(QStringLiteral("回到上一位"), back_);
    form->addRow(QStringLiteral("撤销上一张"), undo_);
    auto* hint =
        new QLabel(QStringLiteral("点一下方框再按翻页笔、脚踏开关或键盘上的键。输入文字时这些键照常输入。"), this);
    hint->setWordWrap(true);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("按键确定"));
    auto* defaults = new QPushButton(QStringLiteral("恢复默认"), this);
    defaults->setObjectName(QStringLiteral("按键默认"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(defaults);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        apply();
        hide();
    });
    connect(defaults, &QPushButton::clicked, this, [this] { show(ShotKeySet()); });
}

void ShotKeysDialog::show(const ShotKeySet& keys)
{
    shoot1_->setKeySequence(keys.shoot.value(0));
    shoot2_->setKeySequence(keys.shoot.value(1));
    back_->setKeySequence(keys.back);
    undo_->setKeySequence(keys.undo);
}

void ShotKeysDialog::showKeys()
{
    show(keys_.keys());
    QWidget::show();
    raise();
    activateWindow();
}

void ShotKeysDialog::apply()
{
    ShotKeySet keys;
    keys.shoot.clear();
    for (const QKeySequenceEdit* edit : {shoot1_, shoot2_})
        if (const QKeySequence key = firstKey(edit); !key.isEmpty())
            keys.shoot << key;
    keys.back = firstKey(back_);
    keys.undo = firstKey(undo_);
    keys_.setKeys(keys);
}
