#include "dialogs.h"

#include <QDebug>
#include <QStringList>

namespace {

// Until the widget dialogs are installed (a program without windows, a test
// that records nothing) a dialog is logged and answered as cancelled.
class LoggedDialogs final : public Dialogs {
public:
    void message(const QString& text, const QString& title, Icon) override
    {
        qWarning().noquote() << "dialog not shown:" << title << text;
    }
    QString chooseFolder(const QString& prompt, const QString&) override
    {
        qWarning().noquote() << "folder dialog not shown:" << prompt;
        return {};
    }
    QString saveFile(const SaveFileRequest& request) override
    {
        qWarning().noquote() << "save dialog not shown:" << request.title;
        return {};
    }
    QString openFile(const QString& title, const QString&, const QString&) override
    {
        qWarning().noquote() << "open dialog not shown:" << title;
        return {};
    }
    QString askText(const QString& prompt, const QString& title, const QString&) override
    {
        qWarning().noquote() << "text dialog not shown:" << title << prompt;
        return {};
    }
    bool ask(const QString& text, const QString& title) override
    {
        qWarning().noquote() << "question not shown:" << title << text;
        return false;
    }
};

Dialogs* fallback = nullptr;
Dialogs* installed = nullptr;

}  // namespace

Dialogs& Dialogs::current()
{
    if (installed)
        return *installed;
    if (fallback)
        return *fallback;
    static LoggedDialogs logged;
    return logged;
}

void Dialogs::install(Dialogs* provider)
{
    installed = provider;
}

void Dialogs::setFallback(Dialogs* provider)
{
    fallback = provider;
}

QString qtFileFilter(const QString& storedFilter)
{
    const QStringList parts = storedFilter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    return filters.join(QStringLiteral(";;"));
}
