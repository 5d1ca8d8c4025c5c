#include "photocontroller.h"

#include "capcontrol.h"
#include "colorpicker.h"
#include "dialogs.h"
#include "drawpanel.h"
#include "duplicatephotowindow.h"
#include "mainwindow.h"
#include "photocanvas.h"
#include "photofile.h"
#include "photofoldersetting.h"
#include "photopath.h"
#include "programpaths.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rosterstate.h"
#include "shuttersound.h"
#include "texttoint.h"
#include "ui_mainwindow.h"
#include "viewfindercontroller.h"

#include <QDir>
#include <QFile>
#include <QSignalBlocker>

const QString PhotoController::autoNamePrefix = QStringLiteral("Velk学籍照相相片");

namespace {
const QString captionOnCaption = QStringLiteral("关闭字幕");
const QString captionOffCaption = QStringLiteral("开启字幕");
const QString savedStatus = QStringLiteral("当前状态: 保存照片完成!");
}  // namespace

PhotoController::PhotoController(MainWindow& window)
    : QObject(&window)
    , w_(window)
    , shutter_(new SoundPlayer(this))
{
    Ui::MainWindow* ui = w_.ui;
    connect(ui->按钮照相, &QPushButton::clicked, this, &PhotoController::TakePhoto);
    connect(ui->保存按钮, &QPushButton::clicked, this, &PhotoController::SavePhoto);
    connect(ui->按钮1, &QPushButton::clicked, this, &PhotoController::ChoosePhotoFolder);
    connect(ui->保存字幕, &QPushButton::clicked, this, &PhotoController::ToggleCaption);
    connect(ui->选择框2, &QCheckBox::clicked, this, &PhotoController::freeShootingClicked);
    connect(ui->选择框3, &QCheckBox::clicked, this, &PhotoController::manualNamingClicked);
    connect(ui->选择框1, &QCheckBox::clicked, this, &PhotoController::autoSaveClicked);
    connect(ui->编辑框1, &QLineEdit::textChanged, this, &PhotoController::fileNameTyped);
    connect(ui->组合框1, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { photoImage_.setCompression(text::toByte(text)); });
    {
        // The hidden selector shows the picture object's compression.
        const QSignalBlocker quiet(ui->组合框1);
        ui->组合框1->setCurrentText(QString::number(photoImage_.compression()));
    }

    DuplicatePhotoWindow* duplicate = w_.duplicateWindow();
    connect(duplicate, &DuplicatePhotoWindow::hiddenByClose, this, [this] {
        if (!w_.ui->选择框1->isChecked())
            w_.ui->保存按钮->setEnabled(true);
    });
    connect(duplicate, &DuplicatePhotoWindow::saveRequested, this, [this] {
        if (!w_.ui->选择框1->isChecked())
            w_.ui->保存按钮->setEnabled(true);
        SavePhoto();
    });
}

PhotoController::~PhotoController() = default;

bool PhotoController::captionOn() const
{
    return w_.ui->保存字幕->text() == captionOnCaption;
}

void PhotoController::ToggleCaption()
{
    // The change applies to the next photo; the pane is not redrawn.
    Ui::MainWindow* ui = w_.ui;
    if (ui->保存字幕->text() == captionOnCaption) {
        ui->保存字幕->setText(captionOffCaption);
        ui->标签1->setText(QStringLiteral("关闭状态"));
    } else {
        ui->保存字幕->setText(captionOnCaption);
        ui->标签1->setText(QStringLiteral("开启状态"));
    }
}

void PhotoController::TakePhoto()
{
    Ui::MainWindow* ui = w_.ui;
    RosterController* roster = w_.roster();
    ui->超级按钮1->setEnabled(false);
    ui->超级按钮2->setEnabled(false);
    ui->超级按钮3->setEnabled(false);
    if (w_.state.soundOn)
        shutter_->play(shutterSoundWav());
    DrawPanel* pane = ui->画板1;
    pane->clear();

    const int r = roster->currentRow();
    if (r != -1)
        w_.state.photoBaseName = roster->PhotoName(r);
    else if (!ui->编辑框1->text().isEmpty())
        w_.state.photoBaseName = ui->编辑框1->text();
    ui->透明标签3->setText(w_.state.photoBaseName + QStringLiteral(".jpg"));

    // The photo is the camera picture under the frame's interior.
    capControl* camera = ui->视频设备;
    const QRect interior = w_.viewfinder->frameInterior().translated(-camera->pos());
    QString caption;
    if (captionOn())
        caption = r != -1 ? roster->PersonText(r, QStringLiteral(" ")) : ui->编辑框1->text();
    const SaveResult taken = takePhoto(*pane, camera->latestFrame(), camera->widgetToFrame(QRectF(interior)), caption,
                                       ui->颜色选择器1->colour());
    w_.state.paneRecord[1] = pane->width();
    w_.state.paneRecord[2] = pane->height();
    if (!taken.ok) {
        // Without a camera picture there is nothing to save under a name.
        w_.setStatus(QStringLiteral("当前状态: 照相失败!"));
        Dialogs::current().message(QStringLiteral("照相失败：") + taken.error, dialogtitle::reminder,
                                   Dialogs::Icon::Warning);
        return;
    }
    w_.setStatus(ui->选择框3->isChecked() ? QStringLiteral("照相已成功，等侍输入保存文件名！")
                                          : QStringLiteral("当前状态: 照相已成功!"));

    const PhotoPath file = photopath::filePath(w_.state.photoFolder, w_.state.photoBaseName);
    if (file.ok() && QFile::exists(file.path)) {
        // An existing photo of that name is compared before anything is saved.
        ui->保存按钮->setEnabled(false);
        w_.duplicateWindow()->showComparison(*pane, file.path);
        w_.activateWindow();
        return;
    }
    if (ui->选择框1->isChecked())
        SavePhoto();
}

bool PhotoController::SavePhoto()
{
    Ui::MainWindow* ui = w_.ui;
    RosterController* roster = w_.roster();
    AppState& state = w_.state;

    // 1. The name.
    QString name;
    const int r = roster->currentRow();
    if (r != -1) {
        name = roster->PhotoName(r);
    } else if (ui->选择框2->isChecked() && !ui->选择框3->isChecked()) {
        if (state.freeShotCounter == 0)
            state.freeShotCounter = 1;
        name = autoNamePrefix + QString::number(state.freeShotCounter);
        ++state.freeShotCounter;
        ui->透明标签3->setText(autoNamePrefix + QString::number(state.freeShotCounter));
        ui->编辑框1->setText(ui->透明标签3->text());
    } else {
        name = ui->编辑框1->text();
    }
    state.photoBaseName = name;
    const PhotoPath file = photopath::filePath(state.photoFolder, name);
    if (!file.ok()) {
        refuse(QStringLiteral("当前状态: 照片未保存!"), QStringLiteral("照片未保存：") + file.error);
        return false;
    }

    // 2. The folder, with every missing level.
    const SaveResult folder = ensurePhotoFolder(state.photoFolder);
    if (!folder.ok) {
        refuse(QStringLiteral("当前状态: 照片未保存!"), QStringLiteral("照片未保存：") + folder.error);
        return false;
    }

    // 3. Keep the existing photo only when the comparison is open with "原照片" chosen.
    if (!w_.duplicateWindow()->keepsExistingPhoto()) {
        const SaveResult written = EncodePhotoFile(photoImage_, *ui->画板1, file.path, w_.viewfinder->targetWidth(),
                                                   w_.viewfinder->targetHeight());
        if (!written.ok) {
            // The old photo stays and the roster does not move on.
            refuse(QStringLiteral("当前状态: 照片保存失败!"), QStringLiteral("照片保存失败：") + written.error);
            return false;
        }
        state.photoBaseName = QFileInfo(file.path).fileName();
        if (ui->选择框2->isChecked()) {
            w_.setStatus(savedStatus);
        } else if (roster->IsLastRow()) {
            w_.setStatus(QStringLiteral("当前状态: 照相可能已完成!"));
            Dialogs::current().message(QStringLiteral("照相可能已完成,请检查有无遗漏!"), dialogtitle::reminder,
                                       Dialogs::Icon::Information);
            roster->CheckPhotos();
        } else {
            roster->AdvanceCurrentRow();
            w_.setStatus(savedStatus);
            announceSavedRow();
            roster->CheckPhotos();
        }
    } else {
        if (!roster->IsLastRow()) {
            roster->AdvanceCurrentRow();
            announceSavedRow();
        }
        w_.setStatus(savedStatus);
    }
    finishSave();
    return true;
}

void PhotoController::finishSave()
{
    Ui::MainWindow* ui = w_.ui;
    if (ui->编辑框1->isEnabled() && ui->选择框3->isChecked())
        ui->编辑框1->setText(QString());
    w_.duplicateWindow()->hide();
    RosterListView* list = w_.roster()->list();
    list->setFocus();
    list->scrollToRow(list->currentRow());
}

void PhotoController::announceSavedRow()
{
    if (w_.roster()->announceRow)
        w_.roster()->announceRow(w_.rosterState().savedCurrentRow());
}

void PhotoController::refuse(const QString& status, const QString& message)
{
    w_.setStatus(status);
    Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
    // The photo is still in the pane: the operator may save it again.
    if (!w_.ui->选择框1->isChecked() && !w_.duplicateWindow()->isVisible())
        w_.ui->保存按钮->setEnabled(true);
}

void PhotoController::ChoosePhotoFolder()
{
    Ui::MainWindow* ui = w_.ui;
    const QString chosen = Dialogs::current().chooseFolder(QStringLiteral("请选择保存照片路径"), w_.state.photoFolder);
    if (chosen.isEmpty())
        return;  // a cancelled dialog keeps the folder
    w_.state.photoFolder = paths::shown(chosen);
    ui->编辑框2->setText(w_.state.photoFolder);
    ui->透明标签4->setText(ui->编辑框2->text());
    const QString shownFolder = ui->编辑框2->text();
    if (!shownFolder.isEmpty() && shownFolder != paths::defaultPhotoFolder()) {
        if (const Status written = photofoldersetting::write(shownFolder); !written)
            w_.setStatus(written.error());
    }
}

void PhotoController::LoadPictureFile(const QString& path)
{
    const int code = PhotoImage::formatCodeFor(path);
    if (code < 0)
        return;
    photoImage_.load(path, code);
    w_.ui->组合框1->setCurrentText(QString::number(photoImage_.compression()));
}

void PhotoController::freeShootingClicked(bool checked)
{
    Ui::MainWindow* ui = w_.ui;
    RosterListView* list = w_.roster()->list();
    if (checked) {
        ui->透明标签3->hide();
        ui->编辑框1->setEnabled(true);
        ui->选择框3->setEnabled(true);
        if (ui->选择框1->isChecked()) {
            ui->选择框3->setChecked(false);
        } else {
            ui->选择框3->setChecked(true);
            ui->编辑框1->setText(QString());
            ui->透明标签3->setText(QString());
        }
        list->setCurrentRow(-1);
    } else {
        ui->透明标签3->show();
        ui->编辑框1->setEnabled(false);
        ui->选择框3->setChecked(false);
        ui->选择框3->setEnabled(false);
        ui->保存按钮->setEnabled(true);
        list->setCurrentRow(w_.rosterState().savedCurrentRow());
        list->setFocus();
        w_.roster()->RefreshCurrentLabels();
    }
}

void PhotoController::manualNamingClicked(bool checked)
{
    Ui::MainWindow* ui = w_.ui;
    if (!ui->选择框2->isChecked())
        return;
    if (checked) {
        ui->选择框1->setChecked(false);
        if (ui->编辑框1->isEnabled()) {
            ui->编辑框1->setText(QString());
            ui->保存按钮->setEnabled(false);
        }
    } else {
        if (!ui->保存按钮->isEnabled())
            ui->保存按钮->setEnabled(true);
        if (w_.state.freeShotCounter == 0)
            w_.state.freeShotCounter = 1;
        const QString next = autoNamePrefix + QString::number(w_.state.freeShotCounter);
        ui->编辑框1->setText(next);
        ui->透明标签3->setText(next);
    }
}

void PhotoController::autoSaveClicked(bool checked)
{
    Ui::MainWindow* ui = w_.ui;
    ui->选择框3->setChecked(false);
    ui->保存按钮->setEnabled(!checked);
}

void PhotoController::fileNameTyped()
{
    Ui::MainWindow* ui = w_.ui;
    const bool free = ui->选择框2->isChecked();
    const bool manual = ui->选择框3->isChecked();
    const bool automatic = ui->选择框1->isChecked();
    if ((free && manual && !ui->编辑框1->text().isEmpty()) || (free && !manual && !automatic))
        ui->保存按钮->setEnabled(true);
}
