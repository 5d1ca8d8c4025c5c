#include "statushistory.h"

#include "statuslog.h"

#include <QListWidget>
#include <QVBoxLayout>

StatusHistoryWindow::StatusHistoryWindow(const StatusLog& log, QWidget* owner)
    : QWidget(owner, Qt::Tool)
    , log_(log)
    , list_(new QListWidget(this))
{
    setObjectName(QStringLiteral("状态记录窗口"));
    setWindowTitle(QStringLiteral("状态记录（最近 %1 条）").arg(StatusLog::kKept));
    list_->setObjectName(QStringLiteral("状态记录列表"));
    list_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(list_);
    resize(560, 320);
    connect(&log_, &StatusLog::posted, this, [this](const StatusMessage& message) {
        if (isVisible())
            add(message);
    });
}

void StatusHistoryWindow::add(const StatusMessage& message)
{
    auto* item = new QListWidgetItem(message.time.toString(QStringLiteral("HH:mm:ss  ")) + message.text, list_);
    if (message.error)
        item->setForeground(Qt::red);
    while (list_->count() > StatusLog::kKept)
        delete list_->takeItem(0);
    list_->scrollToItem(item);
    list_->setCurrentItem(item);
}

void StatusHistoryWindow::showHistory()
{
    list_->clear();
    for (const StatusMessage& message : log_.history())
        add(message);
    show();
    raise();
    activateWindow();
}
