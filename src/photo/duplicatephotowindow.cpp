#include "duplicatephotowindow.h"

#include "drawpanel.h"
#include "photocanvas.h"
#include "ui_duplicatephotowindow.h"

#include <QCloseEvent>

DuplicatePhotoWindow::DuplicatePhotoWindow(QWidget* owner)
    // A tool window of its owner: kept above it, minimised with it, no
    // taskbar entry of its own.
    : QWidget(owner, Qt::Tool)
    , ui(new Ui::DuplicatePhotoWindow)
{
    ui->setupUi(this);
    connect(ui->按钮1, &QPushButton::clicked, this, &DuplicatePhotoWindow::saveRequested);
}

DuplicatePhotoWindow::~DuplicatePhotoWindow() = default;

void DuplicatePhotoWindow::showComparison(const DrawPanel& pane, const QString& existingFile)
{
    // Sizes are those of the outer window, as the operator sees it; its frame
    // is known once the window is on screen. It comes to the front each
    // time, even when it was left open behind another window.
    show();
    raise();
    // Each comparison starts with the new photo chosen: a choice made once
    // never throws later retakes away.
    ui->单选框2->setChecked(true);
    const QSize frameExtra = frameGeometry().size() - size();
    const int paneWidth = pane.width();
    const int paneHeight = pane.height();
    if (paneHeight < 245) {
        const int outerHeight = int(paneHeight + ui->分组框1->height() + 40.0);
        resize(width(), outerHeight - frameExtra.height());
    }
    const double outerWidth = frameGeometry().width();
    ui->画板1->resize(paneWidth, paneHeight);
    ui->画板2->resize(paneWidth, paneHeight);
    ui->画板1->move(int((outerWidth / 2 - ui->画板1->width()) / 2), 0);
    ui->画板2->move(int(outerWidth / 2 + (outerWidth / 2 - ui->画板1->width()) / 2 - 2), 0);
    ui->分组框1->move(int((outerWidth - ui->分组框1->width()) / 2), ui->画板2->height() + 4);

    DrawPanel* existing = ui->画板1;
    // An unreadable old photo leaves its side blank; the choice stays the operator's.
    (void)showPhotoFile(*existing, existingFile, QSize(int(existing->width() - 7.5), int(existing->height() - 10.0)));
    ui->画板2->copyFrom(pane);
}

bool DuplicatePhotoWindow::keepsExistingPhoto() const
{
    // The radios count only while the window is on screen.
    return ui->单选框1->isVisible() && !ui->单选框2->isChecked();
}

void DuplicatePhotoWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    hide();
    emit hiddenByClose();
}
