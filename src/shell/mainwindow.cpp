#include "mainwindow.h"

#include "barcodecontroller.h"
#include "cameracontroller.h"
#include "dialogs.h"
#include "duplicatephotowindow.h"
#include "facecontroller.h"
#include "framewatch.h"
#include "icons.h"
#include "idcheckcontroller.h"
#include "jobcontroller.h"
#include "photocontroller.h"
#include "photofoldersetting.h"
#include "photofolderwatch.h"
#include "presetchooser.h"
#include "programpaths.h"
#include "reportcontroller.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "safewrite.h"
#include "searchcontroller.h"
#include "shotkeys.h"
#include "shotkeysdialog.h"
#include "speechvoice.h"
#include "statushistory.h"
#include "swapconfirmwindow.h"
#include "texttoint.h"
#include "ui_mainwindow.h"
#include "viewfindercontroller.h"
#include "voicecontroller.h"
#include "windowopacity.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent>

const QString MainWindow::updatePageAddress;

namespace {

const QColor updateRed(0xFF, 0x00, 0x00);
const QColor updateGreen(0x00, 0x80, 0x00);

// The help text keeps all its lines inside the video area: the font that
// stands in for 宋体 may have a taller line, so it steps down until they fit.
void fitHelpText(QLabel* label)
{
    QFont font = label->font();
    auto fits = [&] {
        const QRect room = label->contentsRect();
        const QRect needed = QFontMetrics(font).boundingRect(room, int(label->alignment()), label->text());
        return needed.height() <= room.height() && needed.width() <= room.width();
    };
    while (!fits() && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
}

// The units the photo part and the viewfinder work on.
PhotoUnits photoUnits(Ui::MainWindow& ui)
{
    PhotoUnits u;
    u.takeButton = ui.按钮照相;
    u.saveButton = ui.保存按钮;
    u.undoButton = ui.撤销按钮;
    u.folderButton = ui.按钮1;
    u.captionButton = ui.保存字幕;
    u.captionState = ui.标签1;
    u.freeShooting = ui.选择框2;
    u.manualNaming = ui.选择框3;
    u.autoSave = ui.选择框1;
    u.fileNameBox = ui.编辑框1;
    u.fileNameLabel = ui.透明标签3;
    u.compression = ui.组合框1;
    u.captionColour = ui.颜色选择器1;
    u.pane = ui.画板1;
    u.camera = ui.视频设备;
    u.nameColumnButton = ui.超级按钮1;
    u.displayColumnButton = ui.超级按钮2;
    u.searchButton = ui.超级按钮3;
    u.sizeLimitBox = ui.大小上限编辑框;
    u.keepOriginal = ui.保留原图选择框;
    u.replaceBackdrop = ui.更换背景选择框;
    return u;
}

ViewfinderUnits viewfinderUnits(Ui::MainWindow& ui)
{
    ViewfinderUnits u;
    u.frame = ui.外形框1;
    u.grip = ui.透明标签7;
    u.preview = ui.图片框2;
    u.video = ui.视频设备;
    u.pane = ui.画板1;
    u.panePicture = ui.图片框1111;
    u.strip = ui.透明标签9;
    u.widthBox = ui.编辑框3;
    u.heightBox = ui.编辑框4;
    u.zoomBox = ui.编辑框5;
    u.zoomCopy = ui.透明标签12;
    u.helpLabel = ui.透明标签16;
    return u;
}

}  // namespace

MainWindow::MainWindow(CameraStart cameraStart, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , fadeTimer_(new QTimer(this))
    , rosterState_(new RosterState(this))
{
    ui->setupUi(this);
    // The list shows the roster the window keeps.
    ui->超级列表框1->setModel(rosterState_->model());
    setFixedSize(988, 524);
    setWindowIcon(icons::windowIcon());
    fadeTimer_->setObjectName(QStringLiteral("时钟1"));
    fadeTimer_->setInterval(1);
    connect(fadeTimer_, &QTimer::timeout, this, &MainWindow::fadeInStep);

    // The boxes draw their frame line through the middle of the title, titled
    // or not, so the four lines meet at one height and nothing sticks out above.
    for (QGroupBox* box : findChildren<QGroupBox*>())
        box->setStyleSheet(
            QStringLiteral("QGroupBox { border: 1px solid #a0a0a0; border-radius: 2px; margin-top: 6px; }"
                           "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                           " left: 6px; padding: 0 2px; background-color: palette(window); }"));
    ui->图片框1->setPixmap(icons::speaker(false));
    auto showSpeaker = [this] {
        ui->图片框1->setPixmap(icons::speaker(state_.soundOn() && state_.soundOutputAvailable()));
    };
    connect(&state_, &AppState::soundOnChanged, this, showSpeaker);
    connect(&state_, &AppState::soundOutputAvailableChanged, this, showSpeaker);
    ui->透明标签16->setWordWrap(false);
    fitHelpText(ui->透明标签16);
    ui->透明标签1->setTextColour(Qt::black);
    connect(&statusLog_, &StatusLog::posted, this, &MainWindow::showStatus);
    statusHistory_ = new StatusHistoryWindow(statusLog_, this);
    connect(ui->透明标签1, &MouseLabel::leftReleased, statusHistory_, &StatusHistoryWindow::showHistory);
    ui->透明标签1->setCursor(Qt::PointingHandCursor);

    connect(ui->图片框1, &MouseLabel::doubleClicked, this, &MainWindow::toggleSound);
    connect(ui->透明标签15, &MouseLabel::leftPressed, this, &MainWindow::toggleSwapWindow);
    if (updatePageAddress.isEmpty()) {
        // A link that leads nowhere is shown greyed and does not flicker.
        ui->透明标签14->setTextColour(Qt::gray);
    } else {
        connect(ui->透明标签14, &MouseLabel::mouseMoved, this, &MainWindow::toggleUpdateLinkColour);
        connect(ui->透明标签14, &MouseLabel::leftReleased, this, &MainWindow::openUpdatePage);
    }
    // The folder box keeps the path but leaves its drawing to the label over it.
    QPalette folderPalette = ui->编辑框2->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        folderPalette.setColor(group, QPalette::Text, Qt::transparent);
    ui->编辑框2->setPalette(folderPalette);

    created();
    // Controllers connect after start-up, which sets the units' first contents.
    RosterUnits rosterUnits;
    rosterUnits.list = ui->超级列表框1;
    rosterUnits.photoNameButton = ui->超级按钮1;
    rosterUnits.displayNameButton = ui->超级按钮2;
    rosterUnits.searchButton = ui->超级按钮3;
    rosterUnits.checkButton = ui->按钮检查照片;
    rosterUnits.saveButton = ui->保存按钮;
    rosterUnits.fileNameBox = ui->编辑框1;
    rosterUnits.column1Box = ui->编辑框6;
    rosterUnits.column2Box = ui->编辑框7;
    rosterUnits.column3Box = ui->编辑框8;
    rosterUnits.headerRowBox = ui->选择框4;
    rosterUnits.autoSaveBox = ui->选择框1;
    rosterUnits.freeShootingBox = ui->选择框2;
    rosterUnits.manualNamingBox = ui->选择框3;
    rosterUnits.fileNameLabel = ui->透明标签3;
    rosterUnits.personLabel = ui->透明标签5;
    rosterUnits.positionLabel = ui->透明标签6;
    rosterUnits.photoPane = ui->画板1;
    rosterUnits.progressLabel = ui->进度标签;
    roster_ = new RosterController(*rosterState_, rosterUnits,
                                   {[this](const QString& text) { setStatus(text); },
                                    [this] { return state_.photoFolder(); }, [this] { return swapWindow_; }},
                                   this);
    connect(&state_, &AppState::photoFolderChanged, roster_, &RosterController::ResetPhotographedColumn);
    viewfinder = new ViewfinderController(viewfinderUnits(*ui), ui->画板1, state_.frameScaleValueRef(), this);
    CameraUnits cameraUnits;
    cameraUnits.window = this;
    cameraUnits.device = ui->视频设备;
    cameraUnits.deviceBox = ui->组合框;
    cameraUnits.detect = ui->按钮检测设备;
    cameraUnits.preview = ui->预览按钮;
    cameraUnits.formatButton = ui->按钮2;
    cameraUnits.sourceButton = ui->视频输出按钮;
    cameraUnits.compressionButton = ui->压缩格式按钮;
    cameraUnits.record = ui->录制按钮;
    cameraUnits.stopRecord = ui->结束录制按钮;
    cameraUnits.takePhoto = ui->按钮照相;
    cameraUnits.previewState = ui->标签3;
    cameraUnits.helpText = ui->透明标签16;
    cameraUnits.picture111 = ui->图片框111;
    cameraUnits.picture1111 = ui->图片框1111;
    cameraUnits.picture2 = ui->图片框2;
    cameraUnits.photoEdits = {ui->编辑框5, ui->编辑框3, ui->编辑框4};
    cameraUnits.frame = ui->外形框1;
    cameraUnits.setStatus = [this](const QString& text) { setStatus(text); };
    cameraUnits.showFrame = [this] { viewfinder->showFrame(); };
    cameraUnits.hideFrame = [this] { viewfinder->hideFrame(); };
    cameraUnits.refreshFrameShape = [this] { viewfinder->RefreshFrameShape(); };
    camera = new CameraController(cameraUnits, cameraStart == CameraStart::WithTheWindow
                                                   ? CameraController::FirstConnection::Now
                                                   : CameraController::FirstConnection::Later);
    photo = new PhotoController(*this, photoUnits(*ui));
    // 照片规格: the preset every photo is saved to.
    presets =
        new PresetChooser(ui->照片规格选择框, *viewfinder, photo->service().session(), photopresets::load(), this);
    faces = new FaceController(
        {ui->自动取景选择框, ui->照片检查选择框, ui->检查结果标签, [this](const QString& text) { setStatus(text); }},
        *camera, *viewfinder, this);
    // The checks and the framing follow the chosen 照片规格's norm.
    auto followNorm = [this] { faces->setNorm(photo->service().session().preset().framing); };
    connect(&photo->service().session(), &PhotoSession::changed, faces, followNorm);
    followNorm();
    photo->service().takeReview = [this](const QImage& picture, const std::optional<QColor>& backdrop,
                                         std::function<void(const TakeReview&)> answer) {
        return faces && faces->reviewTake(picture, backdrop, std::move(answer));
    };
    voice = new VoiceController(*this, speechVoice());
    search =
        new SearchController(*rosterState_, {this, ui->超级按钮3, ui->超级列表框1, ui->透明标签3, ui->编辑框1}, this);
    // Identity numbers in the photo-name column, checked at import.
    idCheck = new IdCheckController(*rosterState_, search->cellColours(), this);
    reports =
        new ReportController(*rosterState_, {this, ui->按钮未照名单, ui->按钮相片总览, ui->按钮导出上报},
                             {[this](const QString& text) { setStatus(text); }, [this] { return state_.photoFolder(); },
                              [this] { return photo->service().session().preset(); },
                              [this] { return photo->service().session().backdropColour(); }},
                             this);
    barcode = new BarcodeController(
        *roster_, ui->编辑框扫码, {ui->按钮照相, ui->保存按钮},
        {[this](const QString& text) { setStatus(text); }, [this](const QString& text) { setErrorStatus(text); }},
        this);
    connect(photo, &PhotoController::saveFinished, barcode, &BarcodeController::shootingDone);
    photo->offerMissingList = [this] { reports->WriteMissingList(); };
    shotKeys = new ShotKeys(this,
                            {[this] { photo->Shoot(); },
                             [this] {
                                 if (rosterState_->currentRow() > 0)
                                     rosterState_->setCurrentRow(rosterState_->currentRow() - 1);
                             },
                             [this] { photo->UndoLastSave(); }},
                            this);
    shotKeysDialog = new ShotKeysDialog(*shotKeys, this);
    connect(ui->按键按钮, &QPushButton::clicked, shotKeysDialog, &ShotKeysDialog::showKeys);
    JobUnits jobUnits;
    jobUnits.width = ui->编辑框3;
    jobUnits.height = ui->编辑框4;
    jobUnits.sizeLimit = ui->大小上限编辑框;
    jobUnits.captionColour = ui->颜色选择器1;
    jobUnits.headerRow = ui->选择框4;
    jobUnits.autoFrame = ui->自动取景选择框;
    jobUnits.photoCheck = ui->照片检查选择框;
    jobUnits.autoSave = ui->选择框1;
    jobUnits.freeShooting = ui->选择框2;
    jobUnits.manualNaming = ui->选择框3;
    jobUnits.keepOriginal = ui->保留原图选择框;
    jobUnits.replaceBackdrop = ui->更换背景选择框;
    job = new JobController(
        jobUnits, *photo, *rosterState_, *viewfinder, *shotKeys,
        [this](const QString& name) { return presets->choose(name); }, this);
    // Other stations may save into the same folder: their photos are marked
    // as they appear, re-checking only the names that changed.
    folderWatch = new PhotoFolderWatch(this);
    folderWatch->setFolder(state_.photoFolder());
    connect(&state_, &AppState::photoFolderChanged, folderWatch, &PhotoFolderWatch::setFolder);
    connect(folderWatch, &PhotoFolderWatch::folderMayHaveChanged, rosterState_,
            [this] { rosterState_->refreshPhotoMarks(state_.photoFolder()); });
}

MainWindow::~MainWindow()
{
    // The controllers filter the units' events and reach the units through
    // the form: they go first, so nothing of theirs runs while the units are
    // destroyed. A deleted filter leaves the units' filter lists by itself.
    QList<QPointer<QObject>> helpers;
    for (QObject* child : children())
        if (!child->isWidgetType())
            helpers << child;
    for (const QPointer<QObject>& helper : helpers)
        delete helper.data();
    roster_ = nullptr;
    voice = nullptr;
    viewfinder = nullptr;
    search = nullptr;
    camera = nullptr;
    photo = nullptr;
    reports = nullptr;
    barcode = nullptr;
    folderWatch = nullptr;
    faces = nullptr;
    presets = nullptr;
    idCheck = nullptr;
    // Nor may a unit's last signals reach this window's own handlers.
    for (QObject* unit : findChildren<QObject*>())
        QObject::disconnect(unit, nullptr, this, nullptr);
}

void MainWindow::created()
{
    // Start invisible; the timer fades the window in.
    state_.setWindowAlpha(0);
    windowopacity::apply(this, state_.windowAlpha());
    fadeTimer_->start();

    // The photo folder: stored, or the default written first. Shown as
    // stored even when that folder does not exist.
    const bool firstStart = !photofoldersetting::exists();
    const QString folder = photofoldersetting::readOrCreateDefault();
    connect(&state_, &AppState::photoFolderChanged, this, &MainWindow::showPhotoFolder);
    // Half-written photos of a station killed in the middle of a save go, off
    // the window's thread.
    auto removeStaleTemporaries = [](const QString& photos) {
        (void)QtConcurrent::run([photos] { safewrite::removeStaleTemporaries(photos); });
    };
    connect(&state_, &AppState::photoFolderChanged, this, removeStaleTemporaries);
    state_.setPhotoFolder(folder);
    showPhotoFolder(folder);
    ui->图片框1111->setPixmap(icons::samplePhoto(ui->图片框1111->size()));

    // Roster column widths.
    RosterListView* list = ui->超级列表框1;
    const int widths[] = {145, 65, 145, 50};
    for (int c = 0; c < 4; ++c)
        list->setColumnWidth(c, widths[c]);

    // Picture files may be dropped on the window itself.
    setAcceptDrops(true);

    // The first status text and the photo name shown before any roster.
    setStatus(QStringLiteral("当前状态: 还未进行任何操作"));
    // A program installed where photos cannot go (a system-wide install) saves
    // them under the Pictures folder: the first start says where.
    if (firstStart && paths::defaultFolder().inPictures)
        setStatus(QStringLiteral("当前状态: 照片保存到 %1").arg(paths::shownShort(folder)));
    ui->透明标签3->setText(QStringLiteral("Velk学籍照相相片1.jpg"));

    // The satellite windows, loaded hidden and placed.
    duplicateWindow_ = new DuplicatePhotoWindow(this);
    ui->保存按钮->setEnabled(false);
    swapWindow_ = new SwapConfirmWindow(this);
    connect(swapWindow_, &SwapConfirmWindow::hiddenByClose, this,
            [this] { ui->透明标签15->setText(QStringLiteral("▽")); });
    placeSatellites();
    // Placed by their outer frames, which the window manager adds when they
    // are first shown: they are placed again then.
    new FrameWatch(duplicateWindow_, [this] { placeDuplicateWindow(); });
    new FrameWatch(swapWindow_, [this] { placeSwapWindow(); });

    // Free shooting checked in the form: the name box is typed into.
    if (ui->选择框2->isChecked()) {
        ui->透明标签3->hide();
        ui->编辑框1->setEnabled(true);
    }
    // The zoom the frame size was applied at; the help text over the video area.
    state_.frameScaleValueRef() = text::toInt(ui->编辑框5->text());
    ui->透明标签16->raise();
    rosterState_->setDisplayNameColumn(1);
}

Viewfinder* MainWindow::frame() const
{
    return viewfinder;
}

// The folder is shown once: the disabled box keeps the text but does not
// draw it, the label over it shows the folder elided in the middle, and the
// whole path is in the tooltip.
void MainWindow::showPhotoFolder(const QString& folder)
{
    ui->编辑框2->setText(folder);
    TransLabel* label = ui->透明标签4;
    label->setText(label->fontMetrics().elidedText(folder, Qt::ElideMiddle, label->contentsRect().width()));
    label->setToolTip(folder);
    ui->编辑框2->setToolTip(folder);
}

void MainWindow::setStatus(const QString& text)
{
    statusLog_.post(text);
}

void MainWindow::setErrorStatus(const QString& text)
{
    statusLog_.post(text, true);
}

QString MainWindow::status() const
{
    return statusLog_.current().text;
}

void MainWindow::showStatus(const StatusMessage& message)
{
    // The end of a message says what happened to the photo: a long one is
    // shortened in the middle, and is whole in the tooltip and the history.
    TransLabel* line = ui->透明标签1;
    line->setTextColour(message.error ? Qt::red : Qt::black);
    line->setText(line->fontMetrics().elidedText(message.text, Qt::ElideMiddle, line->contentsRect().width()));
    line->setToolTip(message.text == line->text() ? QString() : message.text);
}

void MainWindow::fadeInStep()
{
    if (state_.windowAlpha() > 254)
        return;
    state_.setWindowAlpha(state_.windowAlpha() + 5);
    windowopacity::apply(this, state_.windowAlpha());
    if (state_.windowAlpha() == 255)
        fadeTimer_->stop();
}

void MainWindow::placeSatellites()
{
    swapAbove_ = false;
    placeDuplicateWindow();
    placeSwapWindow();
}

void MainWindow::placeSwapWindowAbove()
{
    swapAbove_ = true;
    placeSwapWindow();
    // The new width makes the window manager frame the banner again, and a
    // frame read meanwhile can be off: once it has settled, the banner is
    // placed by its frame once more (a move to the same place does nothing).
    QTimer::singleShot(300, this, [this] {
        if (swapAbove_)
            placeSwapWindow();
    });
}

void MainWindow::placeDuplicateWindow()
{
    if (!duplicateWindow_)
        return;
    const QRect m = frameGeometry();
    const QRect d = duplicateWindow_->frameGeometry();
    duplicateWindow_->move(m.left() + m.width() - d.width(), m.top() + 140);
}

void MainWindow::placeSwapWindow()
{
    if (!swapWindow_)
        return;
    const QRect m = frameGeometry();
    if (!swapAbove_) {
        swapWindow_->move(m.left(), m.top() + m.height());
        return;
    }
    const QRect s = swapWindow_->frameGeometry();
    const int frameExtra = s.width() - swapWindow_->width();
    swapWindow_->setFixedWidth(m.width() - frameExtra);
    swapWindow_->move(m.left(), m.top() - swapWindow_->frameGeometry().height());
}

void MainWindow::toggleSwapWindow()
{
    if (swapWindow_->isVisible()) {
        swapWindow_->hide();
        ui->透明标签15->setText(QStringLiteral("▽"));
        return;
    }
    swapWindow_->show();
    ui->透明标签15->setText(QStringLiteral("△"));
    roster_->writeBannerLines();
    activateWindow();
}

void MainWindow::toggleSound()
{
    state_.setSoundOn(!state_.soundOn());
}

void MainWindow::toggleUpdateLinkColour()
{
    MouseLabel* link = ui->透明标签14;
    link->setTextColour(link->textColour() == updateRed ? updateGreen : updateRed);
}

void MainWindow::openUpdatePage()
{
    if (!updatePageAddress.isEmpty())
        QDesktopServices::openUrl(QUrl(updatePageAddress));
}

void MainWindow::importWorkbookAtStart(const QString& path)
{
    emit ui->超级列表框1->filesDropped({path});
}

void MainWindow::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    placeSatellites();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* e)
{
    QWidget::mouseDoubleClickEvent(e);
    const bool show = !ui->图片框1->isVisible();
    ui->图片框1->setVisible(show);
    ui->透明标签15->setVisible(show);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* e)
{
    QWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton)
        placeSwapWindowAbove();
    // The status line is greyed once a size box had the focus, and a greyed
    // label passes its clicks here: the history stays one click away.
    if (e->button() == Qt::LeftButton && ui->透明标签1->geometry().contains(e->position().toPoint()))
        statusHistory_->showHistory();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    // A photo taken and not saved is not lost without a word.
    if (photo && photo->service().hasUnsavedTake() && !photo->service().saving() &&
        !Dialogs::current().ask(QStringLiteral("刚照的照片还没有保存，关闭后这张照片会丢失。确定要关闭吗？"),
                                dialogtitle::reminder)) {
        e->ignore();
        return;
    }
    // A running preview is switched off before the window goes.
    if (camera->state().previewOn())
        camera->TogglePreview();
    e->accept();
    // The satellite windows go with the main window, so the program ends.
    for (QWidget* satellite : findChildren<QWidget*>())
        if (satellite->isWindow())
            satellite->hide();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e)
{
    // A dropped picture is loaded into the picture object; with several
    // files the first is taken.
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) {
            e->acceptProposedAction();
            photo->LoadPictureFile(url.toLocalFile());
            return;
        }
    }
}
