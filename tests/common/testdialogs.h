#pragma once
// A dialog provider for tests: records every message and answers the file
// and folder dialogs from queues (an empty queue answers "cancelled").
#include "dialogs.h"

#include <QQueue>
#include <QStringList>

class TestDialogs final : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    TestDialogs() { Dialogs::install(this); }
    ~TestDialogs() override { Dialogs::install(nullptr); }

    void message(const QString& text, const QString& title, Icon icon) override
    {
        messages.append({text, title, icon});
    }
    QString chooseFolder(const QString& prompt, const QString& startFolder) override
    {
        folderPrompts << prompt;
        Q_UNUSED(startFolder);
        return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
    }
    QString saveFile(const SaveFileRequest& request) override
    {
        saveRequests.append(request);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }

    QString openFile(const QString& title, const QString& filter, const QString& directory) override
    {
        openRequests.append({title, filter, directory});
        return openAnswers.isEmpty() ? QString() : openAnswers.dequeue();
    }

    QString askText(const QString& prompt, const QString& title, const QString& initial) override
    {
        textPrompts << prompt;
        Q_UNUSED(title);
        Q_UNUSED(initial);
        return textAnswers.isEmpty() ? QString() : textAnswers.dequeue();
    }

    bool ask(const QString& text, const QString& title) override
    {
        questions << text;
        Q_UNUSED(title);
        return askAnswers.isEmpty() ? false : askAnswers.dequeue();
    }

    QStringList texts() const
    {
        QStringList t;
        for (const Message& m : messages)
            t << m.text;
        return t;
    }

    QList<Message> messages;
    QStringList folderPrompts;
    QQueue<QString> folderAnswers;
    QList<SaveFileRequest> saveRequests;
    QQueue<QString> saveAnswers;
    struct OpenRequest {
        QString title;
        QString filter;
        QString directory;
    };
    QList<OpenRequest> openRequests;
    QQueue<QString> openAnswers;
    QStringList textPrompts;
    QQueue<QString> textAnswers;
    QStringList questions;
    QQueue<bool> askAnswers;
};
