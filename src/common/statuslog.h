#pragma once
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// One line of the status line: what happened, whether it is a refusal, when.
struct StatusMessage {
    QString text;
    bool error = false;
    QDateTime time;
};

// The status line as state: the latest message whole, and the ones before it
// for the operator to look back at. The window shows it; nothing reads a
// message back from the label.
class StatusLog : public QObject {
    Q_OBJECT
public:
    static constexpr int kKept = 50;

    using QObject::QObject;

    void post(const QString& text, bool error = false);
    // The latest message; an empty one before the first.
    const StatusMessage& current() const { return current_; }
    // The last kKept messages, oldest first.
    const QList<StatusMessage>& history() const { return history_; }

signals:
    void posted(const StatusMessage& message);

private:
    StatusMessage current_;
    QList<StatusMessage> history_;
};
