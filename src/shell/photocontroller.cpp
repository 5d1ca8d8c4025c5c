#include "photocontroller.h"

#include "appstate.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "colorpicker.h"
#include "dialogs.h"
#include "drawpanel.h"
#include "duplicatephotowindow.h"
#include "photofile.h"
#include "photofoldersetting.h"
#include "photopath.h"
#include "photorender.h"
#include "programpaths.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rosterstate.h"
#include "shuttersound.h"
#include "sizelimit.h"
#include "stationcontext.h"
#include "texttoint.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
const QString captionOnCaption = QStringLiteral("关闭字幕");
const QString captionOffCaption = QStringLiteral("开启字幕");

// The file name a photo name is saved under, as the roster shows it.
QString fileNameOf(const QString& name)
{
    const PhotoPath file = photopath::fileName(name);
    return file.ok() ? file.path : name + QStringLiteral(".jpg");
}
}  // namespace

PhotoController::PhotoController(StationContext& window, const PhotoUnits& units)
    : QObject(window.stationWindow())
    , w_(window)
    , u_(units)
    , service_(window.rosterState(), window.appState())
    , shutter_(new SoundPlayer(this))
{
    PhotoSession& session = service_.session();
    connect(u_.takeButton, &QPushButton::clicked, this, &PhotoController::TakePhoto);
    connect(u_.saveButton, &QPushButton::clicked, this, &PhotoController::SavePhoto);
    if (u_.undoButton)
        connect(u_.undoButton, &QPushButton::clicked, this, &PhotoController::UndoLastSave);
    connect(u_.folderButton, &QPushButton::clicked, this, &PhotoController::ChoosePhotoFolder);
    connect(u_.captionButton, &QPushButton::clicked, this, &PhotoController::ToggleCaption);
    connect(u_.freeShooting, &QCheckBox::clicked, this, &PhotoController::freeShootingClicked);
    connect(u_.manualNaming, &QCheckBox::clicked, this, &PhotoController::manualNamingClicked);
    connect(u_.autoSave, &QCheckBox::clicked, this, &PhotoController::autoSaveClicked);
    connect(u_.sizeLimitBox, &QLineEdit::textChanged, this, &PhotoController::sizeLimitTyped);
    sizeLimitTyped();
    // The settings follow the units however they change (the roster's import
    // sets the boxes too).
    session.setFreeShooting(u_.freeShooting->isChecked());
    session.setManualNaming(u_.manualNaming->isChecked());
    session.setAutoSave(u_.autoSave->isChecked());
    session.setTypedName(u_.fileNameBox->text());
    connect(u_.freeShooting, &QCheckBox::toggled, &session, &PhotoSession::setFreeShooting);
    connect(u_.manualNaming, &QCheckBox::toggled, &session, &PhotoSession::setManualNaming);
    connect(u_.autoSave, &QCheckBox::toggled, &session, &PhotoSession::setAutoSave);
    connect(u_.fileNameBox, &QLineEdit::textChanged, &session, &PhotoSession::setTypedName);
    if (u_.keepOriginal) {
        session.setKeepOriginal(u_.keepOriginal->isChecked());
        connect(u_.keepOriginal, &QCheckBox::toggled, &session, &PhotoSession::setKeepOriginal);
    }
    if (u_.replaceBackdrop) {
        // 更换背景 is offered for a preset with a backdrop colour; the
        // operator's choice stays for the next such preset.
        session.setReplaceBackdrop(u_.replaceBackdrop->isChecked());
        connect(u_.replaceBackdrop, &QCheckBox::toggled, &session, &PhotoSession::setReplaceBackdrop);
        auto followPreset = [this, &session] {
            const std::optional<QColor> colour = session.preset().background;
            u_.replaceBackdrop->setEnabled(colour.has_value());
            u_.replaceBackdrop->setToolTip(colour
                                               ? QStringLiteral("照相后把背景换成“%1”规格的背景色 %2（原图不变）")
                                                     .arg(session.preset().name, colour->name(QColor::HexRgb).toUpper())
                                               : QStringLiteral("所选照片规格没有规定背景色"));
        };
        connect(&session, &PhotoSession::changed, u_.replaceBackdrop, followPreset);
        followPreset();
    }
    session.setCaptionColour(u_.captionColour->colour());
    connect(u_.captionColour, &ColorPicker::colourChanged, this,
            [this](const QColor& colour) { service_.session().setCaptionColour(colour); });
    connect(u_.compression, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        photoImage_.setCompression(text::toByte(text));
        service_.session().setQuality(PhotoImage::qualityFor(photoImage_.compression()));
    });
    {
        // The hidden selector shows the picture object's compression.
        const QSignalBlocker quiet(u_.compression);
        u_.compression->setCurrentText(QString::number(photoImage_.compression()));
    }
    session.setQuality(PhotoImage::qualityFor(photoImage_.compression()));
    targetChanged();
    connect(w_.frame(), &Viewfinder::targetChanged, this, &PhotoController::targetChanged);

    connect(&service_, &PhotoService::notice, this, &PhotoController::showNotice);
    connect(&service_, &PhotoService::taken, this, &PhotoController::showTake);
    // A new backdrop reaches the pane and an open comparison.
    connect(&service_, &PhotoService::retouched, this, [this] {
        showTakePicture();
        if (service_.comparing() && w_.duplicateWindow()->isVisible())
            openComparison(service_.take()->comparedPath);
    });
    connect(&service_, &PhotoService::saved, this, &PhotoController::photoSaved);
    connect(&service_, &PhotoService::undone, this, &PhotoController::photoUndone);
    connect(&service_, &PhotoService::comparisonOpened, this, &PhotoController::openComparison);
    connect(&service_, &PhotoService::comparisonClosed, w_.duplicateWindow(), &QWidget::hide);
    connect(&service_, &PhotoService::changed, this, &PhotoController::showStateOfButtons);

    // A click on the list, even on the current row, leaves the take: the
    // saved photo is shown instead.
    RosterController* roster = w_.roster();
    connect(roster->list(), &RosterListView::listClicked, this, [this] {
        service_.discardTake();
        showCurrentFileName();
    });
    connect(&w_.rosterState(), &RosterState::currentRowChanged, this, &PhotoController::showCurrentFileName);
    connect(&w_.rosterState(), &RosterState::photosChecked, this, [this] {
        if (std::exchange(endOfListPending_, false))
            showEndOfList();
    });

    DuplicatePhotoWindow* duplicate = w_.duplicateWindow();
    connect(duplicate, &DuplicatePhotoWindow::hiddenByClose, &service_, &PhotoService::closeComparison);
    connect(duplicate, &DuplicatePhotoWindow::saveRequested, this, &PhotoController::SavePhoto);
    showStateOfButtons();
}

PhotoController::~PhotoController() = default;

void PhotoController::showNotice(const PhotoNotice& notice)
{
    w_.setStatus(notice.appendToStatus ? w_.status() + notice.status : notice.status);
    if (!notice.message.isEmpty())
        Dialogs::current().message(notice.message, dialogtitle::reminder,
                                   notice.information ? Dialogs::Icon::Information : Dialogs::Icon::Warning);
}

void PhotoController::showStateOfButtons()
{
    u_.saveButton->setEnabled(service_.saveAllowed());
    if (u_.undoButton)
        u_.undoButton->setEnabled(service_.canUndo());
    // A take that is gone leaves the pane to the current student's photo.
    if (paneShowsTake_ && !service_.take()) {
        paneShowsTake_ = false;
        showRowPhoto();
    }
}

void PhotoController::showRowPhoto()
{
    if (w_.rosterState().currentRow() >= 0)
        w_.roster()->showCurrentRowPhoto();
    else
        u_.pane->clear();
}

void PhotoController::showCaptionState()
{
    const bool on = service_.session().captionOn();
    u_.captionButton->setText(on ? captionOnCaption : captionOffCaption);
    u_.captionState->setText(on ? QStringLiteral("开启状态") : QStringLiteral("关闭状态"));
}

void PhotoController::ToggleCaption()
{
    // The change applies to the next photo; the pane is not redrawn.
    PhotoSession& session = service_.session();
    session.setCaptionOn(!session.captionOn());
    showCaptionState();
}

void PhotoController::showCurrentFileName()
{
    // 文件名 shows the file the current student's photo is saved as.
    const int r = w_.rosterState().currentRow();
    if (r < 0)
        return;
    const QString file = fileNameOf(w_.rosterState().PhotoName(r));
    u_.fileNameLabel->setText(file);
    u_.fileNameBox->setText(file);
}

void PhotoController::targetChanged()
{
    // A half-typed size keeps the take (the save refuses until it is mended);
    // another valid size makes it the wrong photo.
    Viewfinder* frame = w_.frame();
    service_.session().setTargetError(frame->targetError());
    const Take* take = service_.take();
    if (take && frame->targetError().isEmpty() && take->size != frame->target())
        service_.discardTake();
}

void PhotoController::TakePhoto()
{
    Viewfinder* viewfinder = w_.frame();
    capControl* camera = u_.camera;
    const QRect interior = viewfinder->frameInterior().translated(-camera->pos());
    if (camera->firesShutter()) {
        // A tethered camera fires its shutter; the photo is cut from the
        // full-resolution still once it is downloaded, under the same frame.
        QPointer<PhotoController> self(this);
        camera->captureStill([self, camera, interior](Result<QImage> still, capture::FrameStamp stamp) {
            if (!self)
                return;
            if (!still) {
                self->showNotice({QStringLiteral("当前状态: 拍照失败"), still.error(), false, false});
                return;
            }
            Viewfinder* finder = self->w_.frame();
            TakeRequest request;
            request.target = finder->target();
            request.targetError = finder->targetError();
            request.picture.frame = still.value();
            request.picture.arrivalMs = stamp.arrivalMs;
            request.picture.periodMs = stamp.periodMs;
            request.picture.still = stamp.still;
            request.region = camera->widgetToStill(QRectF(interior), still->size());
            self->service_.take(request);
        });
        return;
    }
    TakeRequest request;
    request.target = viewfinder->target();
    request.targetError = viewfinder->targetError();
    capture::FrameStamp stamp;
    request.picture.frame = camera->latestFrame(&stamp);
    request.picture.arrivalMs = stamp.arrivalMs;
    request.picture.periodMs = stamp.periodMs;
    request.picture.still = stamp.still;
    request.region = camera->widgetToFrame(QRectF(interior));
    service_.take(request);
}

void PhotoController::Shoot()
{
    if (service_.comparing() || (!service_.session().autoSave() && service_.saveAllowed()))
        SavePhoto();
    else
        TakePhoto();
}

void PhotoController::showTake()
{
    if (w_.appState().soundOn())
        shutter_->play(shutterSoundWav());
    u_.nameColumnButton->setEnabled(false);
    u_.displayColumnButton->setEnabled(false);
    u_.searchButton->setEnabled(false);
    const Take* take = service_.take();
    if (!take->owner.name.isEmpty() || take->owner.mode == TakeOwner::Mode::RosterRow)
        u_.fileNameLabel->setText(fileNameOf(take->owner.name));
    showTakePicture();
}

void PhotoController::showTakePicture()
{
    const Take* take = service_.take();
    if (!take)
        return;
    // The pane shows the photo as it will be saved, rendered at its own size.
    DrawPanel* pane = u_.pane;
    pane->clear();
    const Result<QImage> shown = photorender::renderPhoto(
        take->cut, pane->size(), take->captionOn ? take->caption : QString(), take->captionColour);
    if (shown)
        pane->setRetainedImage(shown.value());
    paneShowsTake_ = true;
}

void PhotoController::openComparison(const QString& existingPath)
{
    w_.duplicateWindow()->showComparison(*u_.pane, existingPath);
    w_.stationWindow()->activateWindow();
}

bool PhotoController::SavePhoto()
{
    DuplicatePhotoWindow* duplicate = w_.duplicateWindow();
    const PhotoService::Choice choice = duplicate->isVisible() && duplicate->keepsExistingPhoto()
                                            ? PhotoService::Choice::KeepExisting
                                            : PhotoService::Choice::New;
    return service_.save(choice);
}

void PhotoController::photoSaved(const SaveReport& report)
{
    RosterController* roster = w_.roster();
    if (report.owner.mode != TakeOwner::Mode::RosterRow && report.written) {
        if (service_.session().freeShooting() && !service_.session().manualNaming()) {
            const QString next = service_.nextAutoName();
            u_.fileNameLabel->setText(next);
            u_.fileNameBox->setText(next);
        }
        // The pane shows the photo with the caption it was saved with.
        const Take* take = service_.take();
        if (paneShowsTake_ && take && take->captionOn && take->caption != report.name) {
            const Result<QImage> shown =
                photorender::renderPhoto(take->cut, u_.pane->size(), report.name, take->captionColour);
            if (shown)
                u_.pane->setRetainedImage(shown.value());
        }
    }
    if (report.advanced && roster->announceRow)
        roster->announceRow(w_.rosterState().savedCurrentRow());
    if (report.written && report.owner.mode == TakeOwner::Mode::RosterRow) {
        endOfListPending_ = report.lastRow;
        roster->CheckPhotos(report.notes);
    }
    if (u_.fileNameBox->isEnabled() && service_.session().manualNaming())
        u_.fileNameBox->setText(QString());
    RosterListView* list = roster->list();
    list->setFocus();
    list->scrollToRow(list->currentRow());
    emit saveFinished();
}

void PhotoController::showEndOfList()
{
    // The last student is saved: how many are done, and who is missing.
    const RosterState& roster = w_.rosterState();
    const int done = roster.photographedCount();
    const int missing = roster.rowCount() - done;
    Dialogs::current().message(QStringLiteral("照相可能已完成,请检查有无遗漏!\n共 %1 人，已照 %2 人，未照 %3 人。")
                                   .arg(roster.rowCount())
                                   .arg(done)
                                   .arg(missing),
                               dialogtitle::reminder, Dialogs::Icon::Information);
    if (missing > 0 && offerMissingList &&
        Dialogs::current().ask(QStringLiteral("还有 %1 人未照，是否保存未照名单？").arg(missing),
                               dialogtitle::reminder))
        offerMissingList();
}

bool PhotoController::UndoLastSave()
{
    return service_.undoLastSave();
}

void PhotoController::photoUndone(const SaveReport& report)
{
    // The mark follows the file; the pane shows what is there now.
    if (report.owner.mode == TakeOwner::Mode::RosterRow)
        w_.roster()->RecheckPhotos();
    paneShowsTake_ = false;
    showRowPhoto();
    RosterListView* list = w_.roster()->list();
    list->scrollToRow(list->currentRow());
}

void PhotoController::ChoosePhotoFolder()
{
    const QString chosen =
        Dialogs::current().chooseFolder(QStringLiteral("请选择保存照片路径"), w_.appState().photoFolder());
    if (chosen.isEmpty())
        return;  // a cancelled dialog keeps the folder
    w_.appState().setPhotoFolder(paths::shown(chosen));
    if (!w_.appState().photoFolder().isEmpty() && w_.appState().photoFolder() != paths::defaultPhotoFolder()) {
        if (const Status written = photofoldersetting::write(w_.appState().photoFolder()); !written)
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
    PhotoSession& session = service_.session();
    // A take made in the other mode has no name in this one.
    service_.discardTake();
    if (checked) {
        u_.fileNameLabel->hide();
        u_.fileNameBox->setEnabled(true);
        u_.manualNaming->setEnabled(true);
        if (session.autoSave()) {
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
    showStateOfButtons();
}

void PhotoController::manualNamingClicked(bool checked)
{
    PhotoSession& session = service_.session();
    if (!session.freeShooting())
        return;
    if (checked) {
        u_.autoSave->setChecked(false);
        if (u_.fileNameBox->isEnabled())
            u_.fileNameBox->setText(QString());
    } else {
        if (session.freeShotCounter() == 0)
            session.setFreeShotCounter(1);
        // The next number no photo in the folder has yet.
        const QString next = service_.nextAutoName();
        u_.fileNameBox->setText(next);
        u_.fileNameLabel->setText(next);
    }
    showStateOfButtons();
}

void PhotoController::autoSaveClicked(bool)
{
    u_.manualNaming->setChecked(false);
    showStateOfButtons();
}

void PhotoController::sizeLimitTyped()
{
    const Result<qint64> limit = parseSizeLimitKb(u_.sizeLimitBox->text());
    service_.session().setSizeLimit(limit ? limit.value() : 0, limit.error());
    // Marked as the resolution boxes are: red, with the reason as tooltip.
    QPalette palette;
    if (!limit)
        palette.setColor(QPalette::Base, QColor(255, 150, 150));
    u_.sizeLimitBox->setPalette(palette);
    u_.sizeLimitBox->setToolTip(limit ? QStringLiteral("照片文件的大小上限（KB），留空为不限") : limit.error());
}
