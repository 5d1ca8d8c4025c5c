#pragma once
#include <QWidget>

class QListWidget;
class StatusLog;
struct StatusMessage;

// The status line's last messages with their times, one click away from the
// status line: a message cut short there is whole here.
class StatusHistoryWindow : public QWidget {
    Q_OBJECT
public:
    StatusHistoryWindow(const StatusLog& log, QWidget* owner);

    // Shown in front, the newest message selected.
    void showHistory();

private:
    void add(const StatusMessage& message);

    const StatusLog& log_;
    QListWidget* list_;
};
