#include "statuslog.h"

void StatusLog::post(const QString& text, bool error)
{
    current_ = StatusMessage{text, error, QDateTime::currentDateTime()};
    history_.append(current_);
    if (history_.size() > kKept)
        history_.removeFirst();
    emit posted(current_);
}
