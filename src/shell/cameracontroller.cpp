#include "cameracontroller.h"

#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturesession.h"
#include "capturesource.h"
#include "dialogs.h"
#include "programpaths.h"
#include "shapebox.h"
#include "sourcekind.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QTimer>

namespace {
const QString kNoSource = QStringLiteral("未发现可用视频来源！");
const QString kNotSupported = QStringLiteral("硬件不支持此功能或未初始化！");
const QString kRecordRefused = QStringLiteral("没有来源,捕获必须知道来源或正在捕获中！");
const QString kBusyRecording = QStringLiteral("视频正在录制中，请先结束录制。");
}  // namespace

const std::array<unsigned, 10> CameraController::frameColours = {
    0xFFFFFF, 0x00FFFF, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FF00, 0xFFA8FF, 0xC080FF, 0x80E000, 0xFF8800,
};

QColor CameraController::colourOf(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QString CameraController::addressEntryText()
{
    return QStringLiteral("网络摄像头或文件…");
}

QString CameraController::folderEntryText()
{
    return QStringLiteral("文件夹…");
}

// Below this a camera is too slow for a sitter to hold still in the preview.
constexpr double kSlowFrameRate = 10;

// Owned by the capture unit, so the window's own children stay its units.
CameraController::CameraController(const CameraUnits& units, FirstConnection first)
    : QObject(units.device)
    , u_(units)
    , listTimer_(new QTimer(this))
    , rateTimer_(new QTimer(this))
{
    rateTimer_->setInterval(1000);
    connect(rateTimer_, &QTimer::timeout, this, &CameraController::watchRate);
    listTimer_->setInterval(0);
    connect(listTimer_, &QTimer::timeout, this, [this] {
        if (!listNextDriver())
            finishListing();
    });
    connect(u_.detect, &QPushButton::clicked, this, &CameraController::DetectDevices);
    connect(u_.deviceBox, &QComboBox::currentIndexChanged, this, &CameraController::ConnectChosenDriver);
    connect(u_.preview, &QPushButton::clicked, this, &CameraController::TogglePreview);
    connect(u_.formatButton, &QPushButton::clicked, this, [this] {
        if (refuseWhileRecording())
            return;
        // A camera another program holds says so; other refusals stay silent.
        if (!device()->VideoFormatDialog() && !device()->connectionError().isEmpty())
            Dialogs::current().message(device()->lastError(), dialogtitle::reminder, Dialogs::Icon::Warning);
    });
    connect(u_.sourceButton, &QPushButton::clicked, this, [this] {
        if (device()->VideoSourceDialog())
            return;
        // A busy camera is named as busy, not as lacking the function.
        const QString busy = device()->connectionError();
        if (!busy.isEmpty() && device()->lastError() == busy)
            Dialogs::current().message(busy, dialogtitle::reminder, Dialogs::Icon::Warning);
        else
            Dialogs::current().message(kNotSupported, dialogtitle::reminder, Dialogs::Icon::Information);
    });
    connect(u_.compressionButton, &QPushButton::clicked, this, [this] {
        if (!device()->CompressionDialog())
            Dialogs::current().message(kNotSupported, dialogtitle::reminder, Dialogs::Icon::Information);
    });
    connect(u_.record, &QPushButton::clicked, this, &CameraController::StartRecording);
    connect(u_.stopRecord, &QPushButton::clicked, this, &CameraController::StopRecording);
    connect(device(), &capControl::previewLost, this, &CameraController::onPreviewLost);
    connect(device(), &capControl::captureEnded, this, &CameraController::onCaptureEnded);
    connect(device(), &capControl::captureAborted, this, &CameraController::finishRecording);
    connect(device(), &capControl::addressConnected, this, &CameraController::onAddressConnected);
    connect(device(), &capControl::sourceReturned, this, &CameraController::onSourceReturned);
    if (u_.window)
        u_.window->installEventFilter(this);

    // At start the box is empty: count, list by name, select the first and
    // connect it unless that is left for later. Unlike 检测设备, the drivers
    // are not connected in turn: opening every camera would keep the window
    // from showing meanwhile.
    beginListing();
    for (int i = 1; i <= state_.knownDriverCount(); ++i) {
        const QSignalBlocker quiet(u_.deviceBox);
        u_.deviceBox->addItem(device()->driverName(i), i);
    }
    listed_ = state_.knownDriverCount();
    finishListing(first == FirstConnection::Now);
}

void CameraController::beginListing()
{
    listTimer_->stop();
    listed_ = 0;
    state_.setKnownDriverCount(device()->driverCount());
}

bool CameraController::isListing() const
{
    return listTimer_->isActive();
}

void CameraController::DetectDevices()
{
    // A detection reconnects every driver, which would end the recording.
    if (refuseWhileRecording())
        return;
    {
        const QSignalBlocker quiet(u_.deviceBox);
        u_.deviceBox->clear();
    }
    shownItem_ = -1;
    beginListing();
    for (int i = 1; i <= state_.knownDriverCount(); ++i) {
        const QSignalBlocker quiet(u_.deviceBox);
        u_.deviceBox->addItem(QString(), i);
    }
    // One driver per turn of the event loop: clicks meanwhile are handled
    // between drivers, and a new detection starts the listing over.
    listTimer_->start();
}

// Connects the next driver to read its name into its item; false when all are done.
bool CameraController::listNextDriver()
{
    if (listed_ >= state_.knownDriverCount())
        return false;
    const int i = ++listed_;
    device()->setDriverIndex(i);
    // A camera that cannot be connected now (busy) keeps its name in the list.
    const QString name = device()->driverName(i);
    const QSignalBlocker quiet(u_.deviceBox);
    if (i - 1 < u_.deviceBox->count())
        u_.deviceBox->setItemText(i - 1, name);
    else
        u_.deviceBox->addItem(name, i);
    return true;
}

void CameraController::finishListing(bool connectShown)
{
    listTimer_->stop();
    QComboBox* box = u_.deviceBox;
    {
        // The address entry sits after the cameras, before the test source.
        const QSignalBlocker quiet(box);
        int at = box->count();
        for (int k = 0; k < box->count(); ++k)
            if (device()->driverIsBuiltIn(box->itemData(k).toInt())) {
                at = k;
                break;
            }
        box->insertItem(at, addressEntryText(), capControl::kAddressSource);
        box->insertItem(at + 1, folderEntryText(), kFolderEntry);
    }
    state_.setDevicesListed(true);
    // The first item is shown as selected, so the first driver is the one
    // connected (listing left the last one connected).
    // The address entry only asks for an address: with no camera the first
    // driver shown is the test source.
    if (state_.knownDriverCount() > 0) {
        int first = 0;
        while (first + 1 < box->count() && asksForSource(first))
            ++first;
        selectItem(first);
        if (connectShown && !asksForSource(first))
            device()->setDriverIndex(box->itemData(first).toInt());
    }
    emit listingFinished();
}

void CameraController::ConnectShownDriver()
{
    // The operator may have connected one meanwhile (a preview, an address).
    if (device()->driverIndex() != -1)
        return;
    const int driver = shownItem_ >= 0 ? u_.deviceBox->itemData(shownItem_).toInt() : -1;
    if (driver >= 1)
        device()->setDriverIndex(driver);
}

void CameraController::selectItem(int index)
{
    const QSignalBlocker quiet(u_.deviceBox);
    u_.deviceBox->setCurrentIndex(index);
    shownItem_ = index;
}

int CameraController::addressItem() const
{
    return u_.deviceBox->findData(capControl::kAddressSource);
}

int CameraController::folderItem() const
{
    return u_.deviceBox->findData(kFolderEntry);
}

// The entries that ask for an address or a folder rather than name a source.
bool CameraController::asksForSource(int item) const
{
    const int data = u_.deviceBox->itemData(item).toInt();
    return data == capControl::kAddressSource || data == kFolderEntry;
}

bool CameraController::refuseWhileRecording()
{
    if (!state_.recording())
        return false;
    Dialogs::current().message(kBusyRecording, dialogtitle::reminder, Dialogs::Icon::Question);
    return true;
}

void CameraController::ConnectChosenDriver(int comboIndex)
{
    if (comboIndex < 0)
        return;
    if (state_.recording()) {
        // Switching sources would cut the recording short: the box goes back.
        selectItem(shownItem_);
        refuseWhileRecording();
        return;
    }
    const int driver = u_.deviceBox->itemData(comboIndex).toInt();
    if (driver == capControl::kAddressSource) {
        askForAddress();
        return;
    }
    if (driver == kFolderEntry) {
        askForFolder();
        return;
    }
    const int previous = device()->driverIndex();
    device()->setDriverIndex(driver);
    const QString refused = device()->connectionError();
    if (refused.isEmpty()) {
        shownItem_ = comboIndex;
        return;
    }
    // A camera that cannot be opened (busy, gone) is reported, and the one
    // connected before comes back, shown as selected.
    if (previous >= 1 && previous != driver)
        device()->setDriverIndex(previous);
    selectItem(shownItem_);
    Dialogs::current().message(refused, dialogtitle::reminder, Dialogs::Icon::Warning);
}

void CameraController::askForAddress()
{
    capture::AddressDialog dialog(capture::recentAddresses(), u_.window);
    if (capture::runDialog(dialog) != QDialog::Accepted || dialog.address().isEmpty()) {
        selectItem(shownItem_);  // cancelled: the connected source stays
        return;
    }
    connectAddress(dialog.address());
}

void CameraController::askForFolder()
{
    const QStringList recent = capture::recentAddresses();
    QString start;
    for (const QString& r : recent)
        if (QFileInfo(r).isDir()) {
            start = r;
            break;
        }
    const QString folder =
        Dialogs::current().chooseFolder(QStringLiteral("选择相机软件保存照片的文件夹（热文件夹）"), start);
    if (folder.isEmpty()) {
        selectItem(shownItem_);
        return;
    }
    connectAddress(folder);
}

// --camera: connected once, and kept open until the preview reads it.
void CameraController::UseAddress(const QString& address)
{
    if (refuseWhileRecording())
        return;
    connectAddress(address);
}

void CameraController::connectAddress(const QString& address)
{
    const Result<capture::CaptureSource> source = capture::namedSource(address);
    if (!source) {
        selectItem(shownItem_);
        Dialogs::current().message(source.error(), dialogtitle::reminder, Dialogs::Icon::Warning);
        emit addressFinished(false);
        return;
    }
    capture::rememberAddress(address);
    const int entry = capture::kindOf(*source).id == QLatin1String("folder") ? folderItem() : addressItem();
    if (entry >= 0) {
        const QSignalBlocker quiet(u_.deviceBox);
        u_.deviceBox->setCurrentIndex(entry);
    }
    u_.setStatus(QStringLiteral("当前状态: 正在连接 %1……").arg(source->description));
    device()->connectAddress(*source);
}

void CameraController::onAddressConnected(bool ok, const QString& message)
{
    if (!ok) {
        selectItem(shownItem_);
        u_.setStatus(QStringLiteral("当前状态: 无法连接视频来源"));
        Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
        emit addressFinished(false);
        return;
    }
    shownItem_ = u_.deviceBox->currentIndex();
    u_.deviceBox->setItemData(shownItem_, device()->driverDescription(), Qt::ToolTipRole);
    u_.setStatus(QStringLiteral("当前状态: 已连接 %1").arg(device()->driverDescription()));
    emit addressFinished(true);
}

// A driver is connected, or an address.
bool CameraController::hasSource() const
{
    const int d = device()->driverIndex();
    // A listed camera that refused its connection (busy) is still a source:
    // the preview asks it again.
    return d == capControl::kAddressSource || (state_.knownDriverCount() > 0 && (d != -1 || shownItem_ >= 0));
}

void CameraController::pickFrameColour()
{
    const int k = 1 + int(QRandomGenerator::global()->bounded(10));
    frameColour_ = colourOf(frameColours[size_t(k - 1)]);
    u_.frame->setLineColour(frameColour_);
}

void CameraController::TogglePreview()
{
    pickFrameColour();
    if (!hasSource()) {
        Dialogs::current().message(kNoSource, dialogtitle::reminder, Dialogs::Icon::Question);
        return;
    }
    previewForRecording_ = false;
    if (state_.previewOn()) {
        state_.setPreviewOn(false);
        previewWanted_ = false;
        device()->ShowPreview(false, 60);
        showPreviewOffState();
        return;
    }
    // The camera shown as selected may have refused its connection (busy):
    // it is asked again, and a refusal leaves the preview off with the reason.
    const int shownDriver = shownItem_ >= 0 ? u_.deviceBox->itemData(shownItem_).toInt() : -1;
    QString refused;
    if (shownDriver >= 1 && (device()->driverIndex() != shownDriver || !device()->connectionError().isEmpty())) {
        device()->setDriverIndex(shownDriver);
        refused = device()->connectionError();
    }
    if (refused.isEmpty() && !device()->ShowPreview(true, 60))
        refused = device()->lastError();
    if (!refused.isEmpty()) {
        showPreviewOffState();
        Dialogs::current().message(refused, dialogtitle::reminder, Dialogs::Icon::Warning);
        return;
    }
    showPreviewOnState();
}

void CameraController::showPreviewOnState()
{
    state_.setPreviewOn(true);
    u_.helpText->lower();
    u_.helpText->hide();
    u_.showFrame();
    // The frame's shape is refreshed once the shown frame has settled.
    QTimer::singleShot(50, this, [this] {
        if (state_.previewOn())
            u_.refreshFrameShape();
    });
    u_.previewState->setText(QStringLiteral("开启状态"));
    u_.preview->setText(QStringLiteral("关闭预览"));
    u_.takePhoto->setEnabled(true);
    u_.picture111->hide();
    u_.picture1111->hide();
    u_.picture2->hide();
    for (QWidget* edit : u_.photoEdits)
        edit->setEnabled(true);
    u_.setStatus(QStringLiteral("当前状态:  照相设备已打开!"));
    slowSeconds_ = 0;
    rateTimer_->start();
}

// A camera that delivers too few pictures (dim light, a starved USB port)
// is named in the status line with its rate, once it has run a while.
void CameraController::watchRate()
{
    if (!state_.previewOn()) {
        rateTimer_->stop();
        return;
    }
    const double rate = device()->measuredFrameRate();
    const double nominal = device()->session() ? device()->session()->frameRate() : 0;
    const bool slow = rate > 0 && rate < kSlowFrameRate && (nominal <= 0 || nominal >= kSlowFrameRate);
    slowSeconds_ = slow ? slowSeconds_ + 1 : 0;
    if (slowSeconds_ == 3)
        u_.setStatus(QStringLiteral("当前状态: %1 每秒只有 %2 帧（光线太暗或 USB 带宽不足）")
                         .arg(device()->driverDescription())
                         .arg(rate, 0, 'f', 1));
}

void CameraController::showPreviewOffState()
{
    rateTimer_->stop();
    u_.hideFrame();
    u_.helpText->show();
    u_.helpText->raise();
    u_.previewState->setText(QStringLiteral("关闭状态"));
    u_.preview->setText(QStringLiteral("开启预览"));
    u_.takePhoto->setEnabled(false);
    u_.picture111->hide();
    u_.picture1111->show();
    u_.picture2->show();
    u_.setStatus(QStringLiteral("当前状态: 照相设备已关闭!"));
    for (QWidget* edit : u_.photoEdits)
        edit->setEnabled(false);
}

void CameraController::StartRecording()
{
    const bool noDriver = state_.knownDriverCount() == 0 && device()->driverIndex() != capControl::kAddressSource;
    if (noDriver || state_.recording() || !state_.devicesListed()) {
        Dialogs::current().message(kRecordRefused, dialogtitle::info, Dialogs::Icon::Question);
        return;
    }
    if (!state_.previewOn()) {
        previewForRecording_ = true;
        state_.setPreviewOn(true);
        device()->ShowPreview(true, 60);
        u_.helpText->lower();
        u_.helpText->hide();
        u_.picture111->hide();
        u_.picture2->hide();
    }
    Dialogs::SaveFileRequest request;
    request.title = QStringLiteral("选择你存放的位置（放弃回是默认值）");
    request.filter = QStringLiteral("AVI文件|*.avi");
    request.defaultSuffix = QStringLiteral("avi");
    request.directory = paths::programDirectory();
    const QString path = Dialogs::current().saveFile(request);
    if (path.isEmpty())
        return;
    recordingPath_ = path;
    u_.stopRecord->setEnabled(true);
    u_.record->setEnabled(false);
    state_.setRecording(true);
    u_.setStatus(QStringLiteral("视频正在录制中……"));
    if (!device()->StartCapture(capture::CaptureRequest::recording(path))) {
        // A recording that cannot start says why and leaves the controls idle.
        state_.setRecording(false);
        u_.record->setEnabled(true);
        u_.stopRecord->setEnabled(false);
        u_.setStatus(QStringLiteral("录制视频失败……"));
        Dialogs::current().message(QStringLiteral("录制视频失败：") + device()->lastError(), dialogtitle::reminder,
                                   Dialogs::Icon::Warning);
    }
}

QString CameraController::recordingEndText() const
{
    // Where the video went and how long it is, when there is one.
    const QString ended = QStringLiteral("录制视频结束……");
    if (recordingPath_.isEmpty() || !QFileInfo(recordingPath_).isFile())
        return ended;
    return ended + QStringLiteral("已保存到 %1（%2 秒）")
                       .arg(QDir::toNativeSeparators(recordingPath_))
                       .arg(device()->recordingStats().seconds, 0, 'f', 1);
}

void CameraController::StopRecording()
{
    device()->StopCapture();
    finishRecording();
}

// The recording is over (stopped, aborted with the mouse or ended by
// itself): the controls go back to idle. A preview that was on before goes
// on; one that a recording switched on goes off with the device.
void CameraController::finishRecording()
{
    if (!state_.recording())
        return;
    state_.setRecording(false);
    u_.record->setEnabled(true);
    u_.setStatus(recordingEndText());
    u_.stopRecord->setEnabled(false);
    if (!previewForRecording_ && state_.previewOn())
        return;
    previewForRecording_ = false;
    state_.setPreviewOn(false);
    device()->ShowPreview(false, -1);
    u_.hideFrame();
    u_.helpText->show();
    u_.helpText->raise();
    u_.picture111->hide();
    u_.picture2->show();
}

void CameraController::onPreviewLost(const QString& message)
{
    const bool told = !lossTold_.isEmpty() && lossTold_ == message;
    lossTold_.clear();
    if (!state_.previewOn())
        return;
    previewWanted_ = device()->isAwaitingReturn();
    state_.setPreviewOn(false);
    showPreviewOffState();
    if (told) {
        // The recording's end stays in the status line; the loss was told with it.
        u_.setStatus(recordingEndText());
        return;
    }
    if (previewWanted_)
        u_.setStatus(QStringLiteral("当前状态: 照相设备已断开，正在等待它重新连接……"));
    Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
}

void CameraController::onCaptureEnded(const QString& message)
{
    // The file is already closed; say why and go idle.
    if (!state_.recording())
        return;
    finishRecording();
    if (device()->isAwaitingReturn())
        previewWanted_ = true;  // the preview comes back with the source
    if (!message.isEmpty()) {
        // A loss ends the preview too, right after: it is told once, here.
        lossTold_ = message;
        QTimer::singleShot(0, this, [this] { lossTold_.clear(); });
        Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
    }
}

void CameraController::onSourceReturned(const QString& description)
{
    if (!previewWanted_ || state_.previewOn() || state_.recording()) {
        u_.setStatus(QStringLiteral("当前状态: %1 已重新连接").arg(description));
        return;
    }
    previewWanted_ = false;
    if (!device()->ShowPreview(true, 60))
        return;
    showPreviewOnState();
    u_.setStatus(QStringLiteral("当前状态:  照相设备已重新连接：%1").arg(description));
}

bool CameraController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == u_.window && event->type() == QEvent::Close && state_.recording()) {
        device()->StopCapture();
        state_.setRecording(false);
    }
    return QObject::eventFilter(watched, event);
}
