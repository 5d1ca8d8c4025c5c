#include "cameracontroller.h"

#include "capcontrol.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "programpaths.h"
#include "shapebox.h"
#include "ui_mainwindow.h"
#include "viewfindercontroller.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QTimer>

namespace {
const QString kNoSource = QStringLiteral("未发现可用视频来源！");
const QString kNotSupported = QStringLiteral("硬件不支持此功能或未初始化！");
const QString kRecordRefused = QStringLiteral("没有来源,捕获必须知道来源或正在捕获中！");

// Waits while the window keeps handling its events.
void waitProcessingEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

const std::array<unsigned, 10> CameraController::frameColours = {
    0xFFFFFF, 0x00FFFF, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FF00, 0xFFA8FF, 0xC080FF, 0x80E000, 0xFF8800,
};

QColor CameraController::frameColour() const
{
    return w_.ui->外形框1->lineColour();
}

QColor CameraController::colourOf(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// Owned by the capture unit, so the window's own children stay its units.
CameraController::CameraController(MainWindow& window)
    : QObject(window.ui->视频设备)
    , w_(window)
{
    Ui::MainWindow* ui = w_.ui;
    connect(ui->按钮检测设备, &QPushButton::clicked, this, &CameraController::DetectDevices);
    connect(ui->组合框, &QComboBox::currentIndexChanged, this, &CameraController::ConnectChosenDriver);
    connect(ui->预览按钮, &QPushButton::clicked, this, &CameraController::TogglePreview);
    connect(ui->按钮2, &QPushButton::clicked, this, [this] { device()->VideoFormatDialog(); });
    connect(ui->视频输出按钮, &QPushButton::clicked, this, [this] {
        if (!device()->VideoSourceDialog())
            Dialogs::current().message(kNotSupported, dialogtitle::reminder, Dialogs::Icon::Information);
    });
    connect(ui->压缩格式按钮, &QPushButton::clicked, this, [this] {
        if (!device()->CompressionDialog())
            Dialogs::current().message(kNotSupported, dialogtitle::reminder, Dialogs::Icon::Information);
    });
    connect(ui->录制按钮, &QPushButton::clicked, this, &CameraController::StartRecording);
    connect(ui->结束录制按钮, &QPushButton::clicked, this, &CameraController::StopRecording);
    connect(device(), &capControl::previewLost, this, &CameraController::onPreviewLost);
    connect(device(), &capControl::captureEnded, this, &CameraController::onCaptureEnded);
    w_.installEventFilter(this);

    // At start the box is empty: count, list, select the first. Nothing is
    // pending yet, so the listing does not stop for window events.
    w_.state.knownDriverCount = device()->driverCount();
    ListDevices(false);
}

capControl* CameraController::device() const
{
    return w_.ui->视频设备;
}

void CameraController::DetectDevices()
{
    if (listing_)
        return;  // a click queued while listing
    {
        const QSignalBlocker quiet(w_.ui->组合框);
        w_.ui->组合框->clear();
    }
    w_.state.knownDriverCount = device()->driverCount();
    for (int i = 1; i <= w_.state.knownDriverCount; ++i) {
        QCoreApplication::processEvents();
        const QSignalBlocker quiet(w_.ui->组合框);
        w_.ui->组合框->addItem(QString(), i);
    }
    ListDevices(true);
}

void CameraController::ListDevices(bool handleEvents)
{
    QComboBox* box = w_.ui->组合框;
    listing_ = true;
    const int n = box->count();
    for (int i = 1; i <= n; ++i) {
        if (handleEvents)
            QCoreApplication::processEvents();
        device()->setDriverIndex(i);
        const QSignalBlocker quiet(box);
        box->setItemText(i - 1, device()->driverDescription());
    }
    for (int j = n + 1; j <= w_.state.knownDriverCount; ++j) {
        if (handleEvents)
            QCoreApplication::processEvents();
        device()->setDriverIndex(j);
        const QSignalBlocker quiet(box);
        box->addItem(device()->driverDescription(), j);
    }
    w_.state.devicesListed = true;
    listing_ = false;
    // The first item is shown as selected, so the first driver is the one
    // connected (listing left the last one connected).
    if (box->count() > 0) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(0);
        device()->setDriverIndex(1);
    }
}

void CameraController::ConnectChosenDriver(int comboIndex)
{
    if (comboIndex < 0)
        return;
    const int previous = device()->driverIndex();
    device()->setDriverIndex(comboIndex + 1);
    const QString refused = device()->connectionError();
    if (refused.isEmpty())
        return;
    // A camera that cannot be opened (busy, gone) is reported, and the one
    // connected before comes back, shown as selected.
    if (previous >= 1 && previous != comboIndex + 1) {
        device()->setDriverIndex(previous);
        const QSignalBlocker quiet(w_.ui->组合框);
        w_.ui->组合框->setCurrentIndex(previous - 1);
    }
    Dialogs::current().message(refused, dialogtitle::reminder, Dialogs::Icon::Warning);
}

void CameraController::pickFrameColour()
{
    const int k = 1 + int(QRandomGenerator::global()->bounded(10));
    w_.ui->外形框1->setLineColour(colourOf(frameColours[size_t(k - 1)]));
}

void CameraController::TogglePreview()
{
    Ui::MainWindow* ui = w_.ui;
    pickFrameColour();
    if (w_.state.knownDriverCount == 0 || device()->driverIndex() == -1) {
        Dialogs::current().message(kNoSource, dialogtitle::reminder, Dialogs::Icon::Question);
        return;
    }
    w_.state.previewOn = !w_.state.previewOn;
    device()->ShowPreview(w_.state.previewOn, 60);
    if (!w_.state.previewOn) {
        showPreviewOffState();
        return;
    }
    ui->透明标签16->lower();
    ui->透明标签16->hide();
    w_.viewfinder->showFrame();
    waitProcessingEvents(50);
    w_.viewfinder->RefreshFrameShape();
    ui->标签3->setText(QStringLiteral("开启状态"));
    ui->预览按钮->setText(QStringLiteral("关闭预览"));
    ui->按钮照相->setEnabled(true);
    ui->图片框111->hide();
    ui->图片框1111->hide();
    ui->图片框2->hide();
    ui->编辑框5->setEnabled(true);
    ui->编辑框3->setEnabled(true);
    ui->编辑框4->setEnabled(true);
    w_.setStatus(QStringLiteral("当前状态:  照相设备已打开!"));
}

void CameraController::showPreviewOffState()
{
    Ui::MainWindow* ui = w_.ui;
    w_.viewfinder->hideFrame();
    ui->透明标签16->show();
    ui->透明标签16->raise();
    ui->标签3->setText(QStringLiteral("关闭状态"));
    ui->预览按钮->setText(QStringLiteral("开启预览"));
    ui->按钮照相->setEnabled(false);
    ui->图片框111->hide();
    ui->图片框1111->show();
    ui->图片框2->show();
    w_.setStatus(QStringLiteral("当前状态: 照相设备已关闭!"));
    ui->编辑框5->setEnabled(false);
    ui->编辑框3->setEnabled(false);
    ui->编辑框4->setEnabled(false);
}

void CameraController::StartRecording()
{
    Ui::MainWindow* ui = w_.ui;
    AppState& s = w_.state;
    if (s.knownDriverCount == 0 || s.recording || !s.devicesListed) {
        Dialogs::current().message(kRecordRefused, dialogtitle::info, Dialogs::Icon::Question);
        return;
    }
    if (!s.previewOn) {
        s.previewOn = true;
        device()->ShowPreview(true, 60);
        ui->透明标签16->lower();
        ui->透明标签16->hide();
        ui->图片框111->hide();
        ui->图片框2->hide();
    }
    Dialogs::SaveFileRequest request;
    request.title = QStringLiteral("选择你存放的位置（放弃回是默认值）");
    request.filter = QStringLiteral("AVI文件|*.avi");
    request.defaultSuffix = QStringLiteral("avi");
    request.directory = paths::programDirectory();
    const QString path = Dialogs::current().saveFile(request);
    if (path.isEmpty())
        return;
    ui->结束录制按钮->setEnabled(true);
    ui->录制按钮->setEnabled(false);
    s.recording = true;
    w_.setStatus(QStringLiteral("视频正在录制中……"));
    if (!device()->StartCapture(false, path, 41, false, false, true, -1)) {
        // A recording that cannot start says why and leaves the controls idle.
        s.recording = false;
        ui->录制按钮->setEnabled(true);
        ui->结束录制按钮->setEnabled(false);
        w_.setStatus(QStringLiteral("录制视频失败……"));
        Dialogs::current().message(QStringLiteral("录制视频失败：") + device()->lastError(), dialogtitle::reminder,
                                   Dialogs::Icon::Warning);
    }
}

void CameraController::StopRecording()
{
    Ui::MainWindow* ui = w_.ui;
    device()->StopCapture();
    w_.state.recording = false;
    ui->录制按钮->setEnabled(true);
    w_.setStatus(QStringLiteral("录制视频结束……"));
    ui->结束录制按钮->setEnabled(false);
    w_.state.previewOn = false;
    w_.viewfinder->hideFrame();
    ui->透明标签16->show();
    ui->透明标签16->raise();
    ui->图片框111->hide();
    ui->图片框2->show();
}

void CameraController::onPreviewLost(const QString& message)
{
    if (!w_.state.previewOn)
        return;
    w_.state.previewOn = false;
    showPreviewOffState();
    Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
}

void CameraController::onCaptureEnded(const QString& message)
{
    // A source lost while recording: the file is already closed; say so and go idle.
    if (message.isEmpty() || !w_.state.recording)
        return;
    StopRecording();
    Dialogs::current().message(message, dialogtitle::reminder, Dialogs::Icon::Warning);
}

bool CameraController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &w_ && event->type() == QEvent::Close) {
        if (w_.state.recording)
            device()->StopCapture();
        if (w_.state.previewOn)
            TogglePreview();
    }
    return QObject::eventFilter(watched, event);
}
