#include "widgetdialogs.h"

#include "dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace {

class RealDialogs final : public Dialogs {
public:
    void message(const QString& text, const QString& title, Icon icon) override
    {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(text);
        switch (icon) {
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }

    bool ask(const QString& text, const QString& title) override
    {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(text);
        box.setIcon(QMessageBox::Question);
        QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
        return box.clickedButton() == yes;
    }

    QString chooseFolder(const QString& prompt, const QString& startFolder) override
    {
        return QFileDialog::getExistingDirectory(nullptr, prompt, startFolder);
    }

    QString saveFile(const SaveFileRequest& r) override
    {
        QFileDialog dialog(nullptr, r.title, r.directory, qtFileFilter(r.filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(r.defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString openFile(const QString& title, const QString& filter, const QString& directory) override
    {
        return QFileDialog::getOpenFileName(nullptr, title, directory, filter);
    }

    QString askText(const QString& prompt, const QString& title, const QString& initial) override
    {
        return QInputDialog::getText(nullptr, title, prompt, QLineEdit::Normal, initial);
    }
};

RealDialogs& realDialogs()
{
    static RealDialogs real;
    return real;
}

}  // namespace

void useWidgetDialogs()
{
    Dialogs::setFallback(&realDialogs());
}
