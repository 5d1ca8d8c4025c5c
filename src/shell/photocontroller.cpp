#include "photocontroller.h"

#include "capcontrol.h"
#include "colorpicker.h"
#include "dialogs.h"
#include "drawpanel.h"
#include "duplicatephotowindow.h"
#include "mainwindow.h"
#include "photocut.h"
#include "photofile.h"
#include "photofoldersetting.h"
#include "photopath.h"
#include "programpaths.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "shuttersound.h"
#include "sizelimit.h"
#include "texttoint.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

const QString PhotoController::autoNamePrefix = QStringLiteral("Velk学籍照相相片");

namespace {
const QString captionOnCaption = QStringLiteral("关闭字幕");
const QString captionOffCaption = QStringLiteral("开启字幕");
const QString savedStatus = QStringLiteral("当前状态: 保存照片完成!");
const QString notSavedStatus = QStringLiteral("当前状态: 照片未保存!");
const QString jpg = QStringLiteral(".jpg");

// The file name a photo name is saved under; the name itself with ".jpg"
// when the rule refuses it (the save then says why).
QString fileNameOf(const QString& name)
{
    const PhotoPath file = photopath::fileName(name);
    return file.ok() ? file.path : name + jpg;
}

// The note for the status line when the file name is not the name itself.
QString renamedNote(const QString& name)
{
    const QString file = fileNameOf(name);
    if (file == name + jpg)
        return {};
    return QStringLiteral(" 照片名“%1”含有文件名不能用的字符，文件名为“%2”").arg(name, file);
}
}  // namespace

PhotoController::PhotoController(MainWindow& window, const PhotoUnits& units)
    : QObject(&window)
    , w_(window)
    , u_(units)
    , shutter_(new SoundPlayer(this))
{
    connect(u_.takeButton, &QPushButton::clicked, this, &PhotoController::TakePhoto);
    connect(u_.saveButton, &QPushButton::clicked, this, &PhotoController::SavePhoto);
    connect(u_.folderButton, &QPushButton::clicked, this, &PhotoController::ChoosePhotoFolder);
    connect(u_.captionButton, &QPushButton::clicked, this, &PhotoController::ToggleCaption);
    connect(u_.freeShooting, &QCheckBox::clicked, this, &PhotoController::freeShootingClicked);
    connect(u_.manualNaming, &QCheckBox::clicked, this, &PhotoController::manualNamingClicked);
    connect(u_.autoSave, &QCheckBox::clicked, this, &PhotoController::autoSaveClicked);
    connect(u_.fileNameBox, &QLineEdit::textChanged, this, &PhotoController::fileNameTyped);
    connect(u_.sizeLimitBox, &QLineEdit::textChanged, this, &PhotoController::sizeLimitTyped);
    sizeLimitTyped();
    // The modes follow the boxes however they change (the roster's import
    // sets them too).
    session_.setFreeShooting(u_.freeShooting->isChecked());
    session_.setManualNaming(u_.manualNaming->isChecked());
    session_.setAutoSave(u_.autoSave->isChecked());
    connect(u_.freeShooting, &QCheckBox::toggled, &session_, &PhotoSession::setFreeShooting);
    connect(u_.manualNaming, &QCheckBox::toggled, &session_, &PhotoSession::setManualNaming);
    connect(u_.autoSave, &QCheckBox::toggled, &session_, &PhotoSession::setAutoSave);
    session_.setCaptionColour(u_.captionColour->colour());
    connect(u_.captionColour, &ColorPicker::colourChanged, this,
            [this](const QColor& colour) { session_.setCaptionColour(colour); });
    connect(u_.compression, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { photoImage_.setCompression(text::toByte(text)); });
    {
        // The hidden selector shows the picture object's compression.
        const QSignalBlocker quiet(u_.compression);
        u_.compression->setCurrentText(QString::number(photoImage_.compression()));
    }
    connect(&session_, &PhotoSession::changed, this, &PhotoController::updateSaveButton);

    // A take belongs to the person current when it was taken: another
    // current row, a shown photo, a new roster or a new target size make it
    // unsaveable.
    RosterController* roster = w_.roster();
    connect(roster->list(), &RosterListView::currentRowChanged, this, [this] {
        session_.discardTake();
        if (w_.duplicateWindow()->isVisible())
            w_.duplicateWindow()->hide();
        showCurrentFileName();
    });
    connect(roster->list(), &RosterListView::listClicked, this, [this] {
        session_.discardTake();
        showCurrentFileName();
    });
    connect(roster->roster(), &QAbstractItemModel::modelReset, &session_, &PhotoSession::discardTake);
    connect(w_.viewfinder, &Viewfinder::targetChanged, this, [this] {
        // A half-typed size keeps the take (the save refuses until it is
        // mended); another valid size makes it the wrong photo.
        const Take* take = session_.take();
        if (take && w_.viewfinder->targetError().isEmpty() && take->size != w_.viewfinder->target())
            session_.discardTake();
    });

    DuplicatePhotoWindow* duplicate = w_.duplicateWindow();
    connect(duplicate, &DuplicatePhotoWindow::hiddenByClose, this, &PhotoController::updateSaveButton);
    connect(duplicate, &DuplicatePhotoWindow::saveRequested, this, &PhotoController::SavePhoto);
    updateSaveButton();
}

PhotoController::~PhotoController() = default;

void PhotoController::updateSaveButton()
{
    // Only a fresh take can be saved, once, by the person it was taken for.
    const bool typedNameMissing =
        session_.freeShooting() && session_.manualNaming() && u_.fileNameBox->text().isEmpty();
    // A take the checks found fault with is saved by hand also when saving
    // is automatic.
    const bool byHand = !session_.autoSave() || (session_.take() && session_.take()->checkFailed);
    u_.saveButton->setEnabled(session_.hasUnsavedTake() && !session_.saving() && byHand && !typedNameMissing &&
                              !w_.duplicateWindow()->isVisible());
}

void PhotoController::showCaptionState()
{
    const bool on = session_.captionOn();
    u_.captionButton->setText(on ? captionOnCaption : captionOffCaption);
    u_.captionState->setText(on ? QStringLiteral("开启状态") : QStringLiteral("关闭状态"));
}

void PhotoController::ToggleCaption()
{
    // The change applies to the next photo; the pane is not redrawn.
    session_.setCaptionOn(!session_.captionOn());
    showCaptionState();
}

void PhotoController::showCurrentFileName()
{
    // 文件名 shows the file the current person's photo is saved as.
    const int r = w_.roster()->currentRow();
    if (r < 0)
        return;
    const QString file = fileNameOf(w_.roster()->PhotoName(r));
    u_.fileNameLabel->setText(file);
    u_.fileNameBox->setText(file);
}

QString PhotoController::nextAutoName() const
{
    return autoNamePrefix +
           QString::number(nextFreeShotNumber(w_.state.photoFolder, autoNamePrefix, session_.freeShotCounter()));
}

void PhotoController::TakePhoto()
{
    RosterController* roster = w_.roster();
    Viewfinder* viewfinder = w_.viewfinder;
    if (!viewfinder->targetError().isEmpty()) {
        w_.setStatus(QStringLiteral("当前状态: 照相失败!"));
        Dialogs::current().message(QStringLiteral("照相失败：") + viewfinder->targetError(), dialogtitle::reminder,
                                   Dialogs::Icon::Warning);
        return;
    }
    if (session_.saving())
        return;  // the last photo is still being written
    u_.nameColumnButton->setEnabled(false);
    u_.displayColumnButton->setEnabled(false);
    u_.searchButton->setEnabled(false);
    if (w_.state.soundOn)
        shutter_->play(shutterSoundWav());
    DrawPanel* pane = u_.pane;
    pane->clear();
    session_.discardTake();

    const int r = roster->currentRow();
    TakeOwner owner;
    if (r != -1) {
        owner.mode = TakeOwner::Mode::Roster;
        owner.row = r;
        owner.name = roster->PhotoName(r);
        session_.setPhotoBaseName(owner.name);
    } else {
        owner.mode =
            session_.manualNaming() || !session_.freeShooting() ? TakeOwner::Mode::Typed : TakeOwner::Mode::Numbered;
        owner.name = u_.fileNameBox->text();
        if (!owner.name.isEmpty())
            session_.setPhotoBaseName(owner.name);
    }
    if (r != -1 || !session_.photoBaseName().isEmpty())
        u_.fileNameLabel->setText(fileNameOf(session_.photoBaseName()));

    // The photo is the camera picture under the frame's interior, cut with
    // the target's aspect.
    capControl* camera = u_.camera;
    const QSize target = viewfinder->target();
    const QRect interior = viewfinder->frameInterior().translated(-camera->pos());
    const Result<QImage> cut = cutPhoto(camera->latestFrame(), camera->widgetToFrame(QRectF(interior)), target);
    session_.paneRecord[1] = pane->width();
    session_.paneRecord[2] = pane->height();
    if (!cut) {
        // Without a camera picture there is nothing to save under a name.
        w_.setStatus(QStringLiteral("当前状态: 照相失败!"));
        Dialogs::current().message(QStringLiteral("照相失败：") + cut.error(), dialogtitle::reminder,
                                   Dialogs::Icon::Warning);
        return;
    }
    QString caption;
    if (session_.captionOn())
        caption = r != -1 ? roster->PersonText(r, QStringLiteral(" ")) : u_.fileNameBox->text();
    // The pane shows the photo as it will be saved, rendered at its own size.
    const Result<QImage> shown = photorender::renderPhoto(cut.value(), pane->size(), caption, session_.captionColour());
    if (shown)
        pane->setRetainedImage(shown.value());

    Take take;
    take.cut = cut.value();
    take.size = target;
    take.caption = caption;
    take.captionColour = session_.captionColour();
    take.owner = owner;
    session_.setTake(std::move(take));
    startTakeCheck();

    QString status = session_.manualNaming() ? QStringLiteral("照相已成功，等侍输入保存文件名！")
                                             : QStringLiteral("当前状态: 照相已成功!");
    const QSize pixels = cut.value().size();
    if (pixels.width() < target.width() || pixels.height() < target.height())
        status += QStringLiteral(" 注意: 取景框内只有%1×%2个摄像头像素，照片将放大到%3×%4")
                      .arg(pixels.width())
                      .arg(pixels.height())
                      .arg(target.width())
                      .arg(target.height());
    if (r != -1)
        status += renamedNote(owner.name);
    w_.setStatus(status);

    // Two people sharing one file are never offered a replacement; the save
    // says why.
    if (r != -1 && !checkSharedFile(r, fileNameOf(owner.name))) {
        if (session_.autoSave())
            SavePhoto();
        return;
    }
    // An existing photo of the name known now is compared before anything
    // is saved; the save checks its final name again.
    const QString known = owner.mode == TakeOwner::Mode::Numbered ? nextAutoName() : owner.name;
    const PhotoPath file = photopath::filePath(w_.state.photoFolder, known);
    if (!known.isEmpty() && file.ok() && QFileInfo::exists(file.path)) {
        openComparison(file.path);
        return;
    }
    if (session_.autoSave()) {
        if (checkingTake_)
            autoSaveAfterCheck_ = true;
        else
            SavePhoto();
    }
}

void PhotoController::startTakeCheck()
{
    checkingTake_ = false;
    autoSaveAfterCheck_ = false;
    if (!takeCheck)
        return;
    const quint64 number = session_.takeNumber();
    checkingTake_ = takeCheck(session_.take()->cut, [this, number](bool passed) { takeChecked(number, passed); });
}

void PhotoController::takeChecked(quint64 takeNumber, bool passed)
{
    // An answer about an older take, or one no longer to be saved, changes nothing.
    if (takeNumber != session_.takeNumber() || !session_.hasUnsavedTake())
        return;
    checkingTake_ = false;
    const bool autoSave = autoSaveAfterCheck_ && session_.autoSave();
    autoSaveAfterCheck_ = false;
    if (!passed) {
        session_.markCheckFailed();
        if (session_.autoSave())
            w_.setStatus(w_.status() + QStringLiteral("，未自动保存"));
        return;
    }
    if (autoSave)
        SavePhoto();
}

void PhotoController::openComparison(const QString& existingFile)
{
    session_.setComparedPath(existingFile);
    w_.duplicateWindow()->showComparison(*u_.pane, existingFile);
    updateSaveButton();
    w_.activateWindow();
}

Status PhotoController::checkSharedFile(int row, const QString& fileName) const
{
    // Two people must never share one photo file: the first in the roster
    // keeps it, a later one is refused.
    RosterController* roster = w_.roster();
    for (int other = 0; other < row; ++other) {
        const QString otherName = roster->PhotoName(other);
        if (fileNameOf(otherName) == fileName && photopath::fileName(otherName).ok())
            return failure(QStringLiteral("第%1行“%2”和第%3行“%4”的照片文件名都是“%5”，请先修改名单中的名字。")
                               .arg(other + 1)
                               .arg(otherName)
                               .arg(row + 1)
                               .arg(roster->PhotoName(row), fileName));
    }
    return Status::success();
}

Result<PhotoController::SaveTarget> PhotoController::saveTarget() const
{
    const Take* take = session_.take();
    SaveTarget target;
    if (take->owner.mode == TakeOwner::Mode::Roster) {
        target.name = w_.roster()->PhotoName(take->owner.row);
    } else if (session_.freeShooting() && !session_.manualNaming()) {
        target.number = nextFreeShotNumber(w_.state.photoFolder, autoNamePrefix, session_.freeShotCounter());
        target.name = autoNamePrefix + QString::number(target.number);
    } else {
        target.name = u_.fileNameBox->text();
    }
    const PhotoPath file = photopath::filePath(w_.state.photoFolder, target.name);
    if (!file.ok())
        return failure(file.error);
    target.path = file.path;
    if (take->owner.mode == TakeOwner::Mode::Roster) {
        const Status alone = checkSharedFile(take->owner.row, QFileInfo(file.path).fileName());
        if (!alone)
            return failure(alone.error());
    }
    return target;
}

bool PhotoController::SavePhoto()
{
    if (session_.saving())
        return false;
    if (!session_.hasUnsavedTake())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：没有新拍的照片，请先照相。"));
    if (!w_.viewfinder->targetError().isEmpty())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + w_.viewfinder->targetError());
    if (!session_.sizeLimitError().isEmpty())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + session_.sizeLimitError());

    // 1. The name, computed now, whatever happened since the take.
    const Result<SaveTarget> target = saveTarget();
    if (!target)
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + target.error());
    session_.setPhotoBaseName(target->name);

    // 2. The folder, with every missing level.
    const Status folder = ensurePhotoFolder(w_.state.photoFolder);
    if (!folder)
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + folder.error());

    // 3. The comparison open with "原照片" chosen keeps the existing photo.
    if (w_.duplicateWindow()->keepsExistingPhoto()) {
        keepExisting();
        return true;
    }
    // A file that exists is replaced only after the comparison showed it.
    if (QFileInfo::exists(target->path) && session_.take()->comparedPath != target->path) {
        w_.setStatus(
            QStringLiteral("当前状态: 照片“%1”已存在，请选择保留哪一张").arg(QFileInfo(target->path).fileName()));
        openComparison(target->path);
        return false;
    }
    writeTake(target.value());
    return !session_.hasUnsavedTake() || session_.saving();
}

void PhotoController::writeTake(const SaveTarget& target)
{
    const Take* take = session_.take();
    PhotoJob job;
    job.cut = take->cut;
    job.size = take->size;
    job.caption = take->caption;
    job.captionColour = take->captionColour;
    job.quality = PhotoImage::qualityFor(photoImage_.compression());
    job.maxBytes = session_.sizeLimit();
    job.path = target.path;
    job.when = QDateTime::currentDateTime();
    if (qint64(job.size.width()) * job.size.height() < kBackgroundPixels) {
        finishWrite(target, runPhotoJob(job));
        return;
    }
    // Large photos are scaled and encoded on a worker thread; the window
    // keeps painting and nothing else can be saved meanwhile.
    session_.setSaving(true);
    w_.setStatus(QStringLiteral("当前状态: 正在保存照片…"));
    runPhotoJobInBackground(std::move(job), this, [this, target](const Result<SavedPhoto>& written) {
        session_.setSaving(false);
        finishWrite(target, written);
        emit backgroundSaveFinished();
    });
}

bool PhotoController::finishWrite(const SaveTarget& target, const Result<SavedPhoto>& written)
{
    if (!written) {
        // The old photo stays, the roster does not move on and no number is used.
        return refuse(QStringLiteral("当前状态: 照片保存失败!"), QStringLiteral("照片保存失败：") + written.error());
    }
    RosterController* roster = w_.roster();
    const bool rosterTake = session_.take()->owner.mode == TakeOwner::Mode::Roster;
    session_.markSaved();
    session_.setPhotoBaseName(QFileInfo(target.path).fileName());
    if (target.number > 0) {
        session_.setFreeShotCounter(target.number + 1);
        const QString next = autoNamePrefix + QString::number(target.number + 1);
        u_.fileNameLabel->setText(next);
        u_.fileNameBox->setText(next);
    }
    if (!rosterTake) {
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
    // What the operator must know about the file just written.
    QString notes = renamedNote(target.name);
    if (!written->replacedCopy.isEmpty())
        notes += QStringLiteral(" 原有照片已移到“%1”文件夹").arg(replacedFolderName());
    if (!notes.isEmpty())
        w_.setStatus(w_.status() + notes);
    finishSave();
    return true;
}

void PhotoController::keepExisting()
{
    // Nothing is written; the take is done with. Only roster mode moves on:
    // free shooting keeps its naming.
    RosterController* roster = w_.roster();
    const bool rosterTake = session_.take()->owner.mode == TakeOwner::Mode::Roster;
    session_.markSaved();
    if (rosterTake && !roster->IsLastRow()) {
        roster->AdvanceCurrentRow();
        announceSavedRow();
    }
    w_.setStatus(savedStatus);
    finishSave();
}

void PhotoController::finishSave()
{
    if (u_.fileNameBox->isEnabled() && session_.manualNaming())
        u_.fileNameBox->setText(QString());
    w_.duplicateWindow()->hide();
    RosterListView* list = w_.roster()->list();
    list->setFocus();
    list->scrollToRow(list->currentRow());
    updateSaveButton();
}

void PhotoController::announceSavedRow()
{
    if (w_.roster()->announceRow)
        w_.roster()->announceRow(w_.rosterState().savedCurrentRow());
}

bool PhotoController::refuse(const QString& status, const QString& message)
{
    w_.setStatus(status);
    Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
    // A take that was refused is still in the pane: the operator may save it
    // again once the cause is mended.
    updateSaveButton();
    return false;
}

void PhotoController::ChoosePhotoFolder()
{
    const QString chosen = Dialogs::current().chooseFolder(QStringLiteral("请选择保存照片路径"), w_.state.photoFolder);
    if (chosen.isEmpty())
        return;  // a cancelled dialog keeps the folder
    w_.state.photoFolder = paths::shown(chosen);
    u_.folderBox->setText(w_.state.photoFolder);
    u_.folderLabel->setText(w_.state.photoFolder);
    if (!w_.state.photoFolder.isEmpty() && w_.state.photoFolder != paths::defaultPhotoFolder()) {
        if (const Status written = photofoldersetting::write(w_.state.photoFolder); !written)
            w_.setStatus(written.error());
    }
}

void PhotoController::LoadPictureFile(const QString& path)
{
    const int code = PhotoImage::formatCodeFor(path);
    if (code < 0)
        return;
    (void)photoImage_.load(path, code);  // a picture that cannot be read changes nothing
    u_.compression->setCurrentText(QString::number(photoImage_.compression()));
}

void PhotoController::freeShootingClicked(bool checked)
{
    RosterListView* list = w_.roster()->list();
    // A take made in the other mode has no name in this one.
    session_.discardTake();
    if (checked) {
        u_.fileNameLabel->hide();
        u_.fileNameBox->setEnabled(true);
        u_.manualNaming->setEnabled(true);
        if (session_.autoSave()) {
            u_.manualNaming->setChecked(false);
        } else {
            u_.manualNaming->setChecked(true);
            u_.fileNameBox->setText(QString());
            u_.fileNameLabel->setText(QString());
        }
        list->setCurrentRow(-1);
    } else {
        u_.fileNameLabel->show();
        u_.fileNameBox->setEnabled(false);
        u_.manualNaming->setChecked(false);
        u_.manualNaming->setEnabled(false);
        list->setCurrentRow(w_.rosterState().savedCurrentRow());
        list->setFocus();
        w_.roster()->RefreshCurrentLabels();
    }
    updateSaveButton();
}

void PhotoController::manualNamingClicked(bool checked)
{
    if (!session_.freeShooting())
        return;
    if (checked) {
        u_.autoSave->setChecked(false);
        if (u_.fileNameBox->isEnabled())
            u_.fileNameBox->setText(QString());
    } else {
        if (session_.freeShotCounter() == 0)
            session_.setFreeShotCounter(1);
        // The next number no photo in the folder has yet.
        const QString next = nextAutoName();
        u_.fileNameBox->setText(next);
        u_.fileNameLabel->setText(next);
    }
    updateSaveButton();
}

void PhotoController::autoSaveClicked(bool)
{
    u_.manualNaming->setChecked(false);
    updateSaveButton();
}

void PhotoController::fileNameTyped()
{
    updateSaveButton();
}

void PhotoController::sizeLimitTyped()
{
    const Result<qint64> limit = parseSizeLimitKb(u_.sizeLimitBox->text());
    session_.setSizeLimit(limit ? limit.value() : 0, limit.error());
    // Marked as the resolution boxes are: red, with the reason as tooltip.
    QPalette palette;
    if (!limit)
        palette.setColor(QPalette::Base, QColor(255, 150, 150));
    u_.sizeLimitBox->setPalette(palette);
    u_.sizeLimitBox->setToolTip(limit ? QStringLiteral("照片文件的大小上限（KB），留空为不限") : limit.error());
}
