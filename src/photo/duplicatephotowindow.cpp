#include "duplicatephotowindow.h"

#include "ui_duplicatephotowindow.h"

#include <QCloseEvent>

DuplicatePhotoWindow::DuplicatePhotoWindow(QWidget* owner)
    : QWidget(owner, Qt::Window)
    , ui(new Ui::DuplicatePhotoWindow)
{
    ui->setupUi(this);
    connect(ui->按钮1, &QPushButton::clicked, this, &DuplicatePhotoWindow::saveRequested);
}

DuplicatePhotoWindow::~DuplicatePhotoWindow()
{
    delete ui;
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
