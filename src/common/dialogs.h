#pragma once
#include <QString>

class QWidget;

// Every message box and file or folder dialog of the station goes through the
// installed provider, so tests can replace it, answer it and read the texts.
class Dialogs {
public:
    enum class Icon { None, Question, Information, Warning, Error };

    struct SaveFileRequest {
        QString title;
        QString filter;  // as the form stores it: "AVI文件|*.avi"
        QString defaultSuffix;  // "avi"
        QString directory;
    };

    virtual ~Dialogs() = default;

    // A modal message with an OK button.
    virtual void message(const QString& text, const QString& title, Icon icon) = 0;
    // A folder chooser; the empty text when cancelled.
    virtual QString chooseFolder(const QString& prompt, const QString& startFolder) = 0;
    // A save-file dialog; the empty text when cancelled.
    virtual QString saveFile(const SaveFileRequest& request) = 0;
    // An open-file dialog; filter in Qt's form ("Excel 文件 (*.xls *.xlsx)").
    // The empty text when cancelled.
    virtual QString openFile(const QString& title, const QString& filter, const QString& directory) = 0;
    // One line of text (an address, a name); the empty text when cancelled.
    virtual QString askText(const QString& prompt, const QString& title, const QString& initial) = 0;
    // A question answered 是 (true) or 否.
    virtual bool ask(const QString& text, const QString& title) = 0;

    // The provider in use: the installed one, else the fallback.
    static Dialogs& current();
    // Installs a provider (not owned); nullptr brings back the fallback.
    static void install(Dialogs* provider);
    // The provider used when none is installed: the program sets the real
    // dialogs here (useWidgetDialogs); without one dialogs are only logged.
    static void setFallback(Dialogs* provider);
};

// Titles the station uses.
namespace dialogtitle {
inline const QString reminder = QStringLiteral("温馨提示");
inline const QString info = QStringLiteral("信息：");
}  // namespace dialogtitle

// "A|*.x|B|*.y" into Qt's "A (*.x);;B (*.y)".
QString qtFileFilter(const QString& storedFilter);
