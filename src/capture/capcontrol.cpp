#include "capcontrol.h"

#include "capturedialogs.h"
#include "capturesession.h"
#include "formatrule.h"
#include "recorder.h"
#include "v4l2device.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QtConcurrent>

#include <chrono>

using namespace capture;

namespace {
const QString kNoSource = QStringLiteral("没有连接视频来源。");
const QString kBusy = QStringLiteral("正在捕获中。");
const QString kSwitched = QStringLiteral("视频来源已切换，录制已结束。");

// Where a source's chosen format is kept between connections.
QString formatKey(const CaptureSource& s)
{
    return s.inputFormat + QLatin1Char('|') + s.url + QLatin1Char('|') + s.description;
}
}  // namespace

capControl::capControl(QWidget* parent)
    : QWidget(parent)
    , session_(std::make_unique<CaptureSession>())
    , recorder_(std::make_unique<Recorder>())
    , repaint_(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaint_->setInterval(previewRateMs_);
    connect(repaint_, &QTimer::timeout, this, [this] {
        if (session_->serial() != paintedSerial_)
            update();
    });
    // The session and recorder report from their threads; these run queued here.
    // Each report names the session or recording it came from; one that
    // arrives after a switch or a new start is stale and ignored.
    connect(session_.get(), &CaptureSession::lost, this, &capControl::onSourceLost, Qt::QueuedConnection);
    connect(recorder_.get(), &Recorder::frameStreamed, this, &capControl::frameCaptured, Qt::QueuedConnection);
    connect(
        recorder_.get(), &Recorder::limitReached, this, [this](quint64 g) { endCapture(g, QString()); },
        Qt::QueuedConnection);
    connect(recorder_.get(), &Recorder::writeFailed, this, &capControl::endCapture, Qt::QueuedConnection);
}

capControl::~capControl()
{
    tearDownBackend();
}

void capControl::tearDownBackend()
{
    cancelAddress();
    captureWaiting_ = false;
    const Status stopped = recorder_->stop();
    Q_UNUSED(stopped);  // the unit is going; nobody is left to tell
    session_->close();
    previewing_ = false;
    repaint_->stop();
    backend_ = false;
    update();
}

// Every call after the backend is gone fails the same way; the number tells
// which call it was, as the texts always have ("窗口未创建2。").
bool capControl::backendMissing(int call) const
{
    if (backend_)
        return false;
    lastError_ = call ? QStringLiteral("窗口未创建%1。").arg(call) : QStringLiteral("窗口未创建。");
    return true;
}

int capControl::driverCount() const
{
    if (backendMissing(2))
        return 0;
    sources_ = currentSources();
    return int(std::min<qsizetype>(sources_.size(), kMaxCameras + 1));
}

QString capControl::driverDescription() const
{
    if (backendMissing(3))
        return {};
    if (driverIndex_ < 0 || driverIndex_ > 11)
        return {};
    return connected_.description;
}

bool capControl::driverIsBuiltIn(int index) const
{
    return index >= 1 && index <= sources_.size() && sources_[index - 1].builtIn;
}

QString capControl::driverName(int index) const
{
    return index >= 1 && index <= sources_.size() ? sources_[index - 1].description : QString();
}

void capControl::setDriverIndex(int index)
{
    if (backendMissing(1))
        return;
    if (index < 1 || index > 11) {
        lastError_ = QStringLiteral("当前来源不在有效的范围内。");
        return;
    }
    // Whatever was connected is let go first, even if the new one refuses.
    cancelAddress();
    endRecordingForSwitch();
    session_->close();
    connectionError_.clear();
    if (sources_.isEmpty())
        sources_ = currentSources();
    if (index > sources_.size())
        return;
    if (!connectSource(sources_[index - 1])) {
        refreshActivity();
        return;  // refused: the old index stays although its source is closed
    }
    driverIndex_ = index;
    connected_ = sources_[index - 1];
    refreshActivity();
}

void capControl::endRecordingForSwitch()
{
    if (captureWaiting_) {
        captureWaiting_ = false;
        lastError_ = kSwitched;
        emit captureEnded(lastError_);
        return;
    }
    if (!recorder_->isRunning())
        return;
    const Status r = recorder_->stop();
    lastError_ = r ? kSwitched : r.error();
    emit captureEnded(lastError_);
}

// A camera starts at the format chosen for it in an earlier run if it still
// offers it, else at the rule's choice; other sources at their own.
CaptureFormat capControl::initialFormat(const CaptureSource& source) const
{
    if (source.inputFormat != QLatin1String("v4l2"))
        return {};
    const QList<CaptureFormat> offered = v4l2::formats(source.url);
    if (const auto kept = rememberedFormat(v4l2::cameraIdentity(source.url))) {
        for (const CaptureFormat& f : offered)
            if (f.size == kept->size && f.pixelFormat == kept->pixelFormat)
                return *kept;
    }
    return chooseFormat(offered, v4l2::currentFormat(source.url).value_or(CaptureFormat{}));
}

bool capControl::connectSource(const CaptureSource& source)
{
    // The format chosen for this source in this run, if it still takes it.
    CaptureFormat kept = chosenFormats_.value(formatKey(source));
    if (kept.size.isEmpty())
        kept = initialFormat(source);
    Status r = session_->open(source, kept);
    if (!r && !kept.size.isEmpty())
        r = session_->open(source, {});
    if (!r)
        lastError_ = r.error();
    connectionError_ = r ? QString() : r.error();
    return r.ok();
}

void capControl::cancelAddress()
{
    if (!pendingOpen_)
        return;
    pendingInterrupt_->stop = true;
    QFutureWatcher<OpenAttempt>* w = pendingOpen_;
    pendingOpen_ = nullptr;
    w->disconnect(this);
    w->waitForFinished();
    w->deleteLater();
    pendingInterrupt_.reset();
}

void capControl::openInBackground(const CaptureSource& source, std::function<void(const OpenAttempt&)> done)
{
    cancelAddress();
    auto interrupt = std::make_shared<Interrupt>();
    auto* watcher = new QFutureWatcher<OpenAttempt>(this);
    pendingOpen_ = watcher;
    pendingInterrupt_ = interrupt;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        watcher->deleteLater();
        pendingOpen_ = nullptr;
        pendingInterrupt_.reset();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([source, interrupt] {
        return std::make_shared<Result<std::shared_ptr<OpenedInput>>>(openInput(source, {}, interrupt));
    }));
}

void capControl::connectAddress(const CaptureSource& source)
{
    if (backendMissing(1)) {
        emit addressConnected(false, lastError_);
        return;
    }
    openInBackground(source, [this, source](const OpenAttempt& attempt) {
        if (!attempt->ok()) {
            lastError_ = attempt->error();
            emit addressConnected(false, lastError_);
            return;
        }
        endRecordingForSwitch();
        session_->adopt(attempt->value());
        driverIndex_ = kAddressSource;
        connected_ = source;
        refreshActivity();
        emit addressConnected(true, QString());
    });
}

// A network source answers within its timeout, not at once: it is opened
// again off this thread while the preview (or a recording) waits for it.
void capControl::reopenForPreview()
{
    openInBackground(connected_, [this](const OpenAttempt& attempt) {
        const bool recording = captureWaiting_;
        captureWaiting_ = false;
        if (!previewing_ && !recording)
            return;
        if (attempt->ok()) {
            session_->adopt(attempt->value());
            refreshActivity();
            if (recording) {
                const Status r = startRecorder();
                if (!r) {
                    lastError_ = r.error();
                    refreshActivity();
                    emit captureEnded(lastError_);
                }
            }
            return;
        }
        // As when the source is lost during a recording or a preview.
        lastError_ = attempt->error();
        if (recording)
            emit captureEnded(lastError_);
        if (previewing_) {
            previewing_ = false;
            refreshActivity();
            emit previewLost(lastError_);
        } else {
            refreshActivity();
        }
    });
}

CaptureFormat capControl::captureFormat() const
{
    return session_->format();
}

bool capControl::isCapturing() const
{
    return captureWaiting_ || recorder_->isRunning();
}

qint64 capControl::framesRecorded() const
{
    return recorder_->stats().written;
}

Recorder::Stats capControl::recordingStats() const
{
    return recorder_->stats();
}

void capControl::refreshActivity()
{
    const bool wanted = previewing_ || isCapturing();
    if (wanted && session_->isOpen() && !session_->isRunning()) {
        const Status r = session_->start();
        if (!r)
            lastError_ = r.error();
    } else if (!wanted) {
        // Nobody looks: the device is let go (a webcam's light goes off).
        session_->release();
    }
    if (previewing_)
        repaint_->start(previewRateMs_);
    else
        repaint_->stop();
    update();
}

bool capControl::ShowPreview(bool show, int rateMs)
{
    if (backendMissing(7))
        return false;
    if (rateMs != -1)
        previewRateMs_ = std::max(1, rateMs);
    if (!show) {
        previewing_ = false;
        refreshActivity();
        return true;
    }
    if (!session_->hasSource()) {
        lastError_ = kNoSource;
        return false;
    }
    if (connected_.isNetwork() && driverIndex_ == kAddressSource && session_->needsOpening()) {
        previewing_ = true;
        if (!pendingOpen_)
            reopenForPreview();
        refreshActivity();
        return true;
    }
    const Status r = session_->start();
    if (!r) {
        lastError_ = r.error();
        return false;
    }
    previewing_ = true;
    refreshActivity();
    return true;
}

bool capControl::StartCapture(bool keep, const QString& file, int periodMs, bool askOk, bool leftAborts,
                              bool rightAborts, int limitS)
{
    Q_UNUSED(askOk);  // the station starts at once; there is no ready prompt
    if (backendMissing(9))
        return false;
    if (isCapturing()) {
        lastError_ = kBusy;
        return false;
    }
    if (!keep) {
        if (periodMs <= 0 || limitS < -1) {
            lastError_ = QStringLiteral("设置捕获参数出错,请检查传入的参数。");
            return false;
        }
        keptPeriod_ = periodMs;
        keptLimit_ = limitS;
        keptLeft_ = leftAborts;
        keptRight_ = rightAborts;
    }
    if (driverIndex_ == -1 || !session_->hasSource()) {
        lastError_ = kNoSource;
        return false;
    }
    if (connected_.isNetwork() && driverIndex_ == kAddressSource && session_->needsOpening()) {
        captureWaiting_ = true;
        waitingFile_ = file;
        leftAborts_ = keptLeft_;
        rightAborts_ = keptRight_;
        if (!pendingOpen_)
            reopenForPreview();
        refreshActivity();
        return true;
    }
    const Status started = session_->start();
    if (!started) {
        lastError_ = started.error();
        refreshActivity();
        return false;
    }
    waitingFile_ = file;
    const Status r = startRecorder();
    if (!r) {
        lastError_ = r.error();
        refreshActivity();
        return false;
    }
    refreshActivity();
    return true;
}

Status capControl::startRecorder()
{
    Recorder::Settings s;
    s.path = waitingFile_;
    s.periodMs = keptPeriod_;
    s.limitS = keptLimit_;
    s.compression = compression_;
    s.streamFrames = isSignalConnected(QMetaMethod::fromSignal(&capControl::frameCaptured));
    const Status r = recorder_->start(session_.get(), s);
    if (r) {
        leftAborts_ = keptLeft_;
        rightAborts_ = keptRight_;
    }
    return r;
}

bool capControl::StopCapture()
{
    if (backendMissing(0))
        return false;
    if (!isCapturing())
        return false;
    if (captureWaiting_) {
        // Nothing was written yet; the source is not waited for any more
        // unless the preview wants it.
        captureWaiting_ = false;
        if (!previewing_)
            cancelAddress();
        refreshActivity();
        return true;
    }
    const Status r = recorder_->stop();
    refreshActivity();
    if (!r)
        lastError_ = r.error();
    return r.ok();
}

void capControl::endCapture(quint64 generation, const QString& message)
{
    if (!isCapturing() || generation != recorder_->generation())
        return;
    const Status r = recorder_->stop();
    const QString why = !message.isEmpty() ? message : r.error();
    if (!why.isEmpty())
        lastError_ = why;
    refreshActivity();
    emit captureEnded(why);
}

void capControl::onSourceLost(quint64 generation, const QString& message)
{
    if (generation != session_->generation())
        return;  // a source already replaced
    lastError_ = message;
    if (isCapturing()) {
        const Status r = recorder_->stop();
        Q_UNUSED(r);  // the file keeps what was written; the loss is the news
        emit captureEnded(message);
    }
    if (previewing_) {
        previewing_ = false;
        refreshActivity();
        emit previewLost(message);
    } else {
        refreshActivity();
    }
}

bool capControl::VideoFormatDialog()
{
    if (backendMissing(5))
        return false;
    if (driverIndex_ == -1 || connected_.inputFormat.isEmpty()) {
        lastError_ = QStringLiteral("获取硬件信息失败");
        return false;
    }
    const CaptureSource source = connected_;
    const QList<CaptureFormat> formats = sourceFormats(source);
    if (formats.isEmpty()) {
        lastError_ = QStringLiteral("您的硬件不支持此方法。");
        return false;
    }
    FormatDialog dialog(formats, session_->format(), this);
    if (runDialog(dialog) != QDialog::Accepted)
        return true;
    const CaptureFormat chosen = dialog.selectedFormat();
    if (chosen.size.isEmpty() || chosen == session_->format())
        return true;
    return setCaptureFormat(chosen);
}

bool capControl::setCaptureFormat(const CaptureFormat& format)
{
    if (driverIndex_ == -1 || connected_.inputFormat.isEmpty()) {
        lastError_ = QStringLiteral("获取硬件信息失败");
        return false;
    }
    if (isCapturing()) {
        lastError_ = kBusy;
        return false;
    }
    const CaptureFormat old = session_->format();
    const Status r = session_->open(connected_, format);
    if (!r) {
        lastError_ = r.error();
        const Status back = session_->open(connected_, old);
        Q_UNUSED(back);  // the refusal is what the operator hears about
        refreshActivity();
        return false;
    }
    chosenFormats_.insert(formatKey(connected_), session_->format());
    if (connected_.inputFormat == QLatin1String("v4l2"))
        rememberFormat(v4l2::cameraIdentity(connected_.url), session_->format());
    refreshActivity();
    return true;
}

bool capControl::VideoSourceDialog()
{
    if (backendMissing(4))
        return false;
    if (driverIndex_ == -1 || connected_.inputFormat.isEmpty()) {
        lastError_ = QStringLiteral("获取硬件信息失败");
        return false;
    }
    const CaptureSource source = connected_;
    if (source.builtIn || source.inputFormat != QLatin1String("v4l2")) {
        lastError_ = QStringLiteral("您的硬件不支持此方法。");
        return false;
    }
    SourceControlsDialog dialog(source.url, this);
    if (!dialog.hasControls()) {
        lastError_ = QStringLiteral("您的硬件不支持此方法。");
        return false;
    }
    runDialog(dialog);
    return true;
}

bool capControl::CompressionDialog()
{
    if (backendMissing(0))
        return false;
    if (availableAviCodecs().isEmpty()) {
        lastError_ = QStringLiteral("您的硬件不支持此方法。");
        return false;
    }
    capture::CompressionDialog dialog(compression_, this);
    if (runDialog(dialog) == QDialog::Accepted)
        compression_ = dialog.settings();
    return true;
}

QImage capControl::latestFrame() const
{
    return session_->latest();
}

QImage capControl::latestFrame(FrameStamp* stamp) const
{
    quint64 serial = 0;
    qint64 arrivalNs = 0;
    QImage frame = session_->latest(&serial, &arrivalNs);
    if (stamp) {
        stamp->serial = serial;
        stamp->arrivalMs = serial ? arrivalNs / 1000000 : 0;
        stamp->periodMs = session_->framePeriodMs();
    }
    return frame;
}

FillMapping capControl::fillMapping() const
{
    return FillMapping{QSizeF(session_->frameSize()), QSizeF(size())};
}

QRectF capControl::widgetToFrame(const QRectF& widgetRect) const
{
    return fillMapping().widgetToFrame(widgetRect);
}

void capControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    quint64 serial = 0;
    qint64 arrival = 0;
    const QImage frame = previewing_ ? session_->latest(&serial, &arrival) : QImage();
    if (frame.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    paintedSerial_ = serial;
    const FillMapping m{QSizeF(frame.size()), QSizeF(size())};
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(rect()), frame, m.visibleFrameRect());
    if (serial != paintedSerialAtDelay_) {
        paintedSerialAtDelay_ = serial;
        lastPaintDelayNs_ =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count() -
            arrival;
    }
}

void capControl::mousePressEvent(QMouseEvent* event)
{
    const bool abort =
        (event->button() == Qt::RightButton && rightAborts_) || (event->button() == Qt::LeftButton && leftAborts_);
    if (isCapturing() && abort) {
        StopCapture();
        emit captureAborted();
        return;
    }
    QWidget::mousePressEvent(event);
}
