#include "capcontrol.h"

#include "capcontroltexts.h"
#include "capturedialogs.h"
#include "capturesession.h"
#include "formatrule.h"
#include "recorder.h"
#include "sourcekind.h"
#include "stationsettings.h"
#include "v4l2device.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QtConcurrent>

using namespace capture;

namespace {
const QString kMirrorKey = QStringLiteral("previewMirrored");
// How often a lost source is looked for.
constexpr int kReturnPollMs = 1000;

// Where a source's chosen format is kept between connections.
QString formatKey(const CaptureSource& s)
{
    return s.kindId() + QLatin1Char('|') + s.url + QLatin1Char('|') + s.description;
}
}  // namespace

capControl::capControl(QWidget* parent)
    : QWidget(parent)
    , session_(std::make_unique<CaptureSession>())
    , recorder_(std::make_unique<Recorder>())
    , repaint_(new QTimer(this))
    , returnTimer_(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    mirrored_ = stationsettings::open().value(kMirrorKey, false).toBool();
    bestModeStill_ = stationsettings::open().value(kBestModeKey, false).toBool();
    returnTimer_->setInterval(kReturnPollMs);
    connect(returnTimer_, &QTimer::timeout, this, &capControl::lookForReturn);
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
    stopLookingForReturn();
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
    stopLookingForReturn();
    cancelAddress();
    endRecordingForSwitch();
    session_->close();
    holdUnread_ = false;
    connectionError_.clear();
    if (sources_.isEmpty())
        sources_ = currentSources();
    if (index > sources_.size())
        return;
    chosen_ = sources_[index - 1];
    if (!connectSource(sources_[index - 1])) {
        refreshActivity();
        return;  // refused: the old index stays although its source is closed
    }
    driverIndex_ = index;
    connected_ = session_->source();
    chosen_ = connected_;
    refreshActivity();
}

// A source starts at the format its kind chooses (a camera: the one chosen
// for it in an earlier run, else the rule's choice); others at their own.
CaptureFormat capControl::initialFormat(const CaptureSource& source) const
{
    const SourceKind& kind = kindOf(source);
    return kind.initialFormat ? kind.initialFormat(source) : CaptureFormat{};
}

const SourceKind& capControl::connectedKind() const
{
    return kindOf(connected_);
}

// The picture controls set for this camera before, whenever it is connected
// (at start, after a replug, after another program changed them).
void capControl::applyRememberedControls(const CaptureSource& source)
{
    const SourceKind& kind = kindOf(source);
    if (!kind.controls || source.identity.isEmpty())
        return;
    const auto values = rememberedControls(source.identity);
    if (values.isEmpty())
        return;
    const auto set = kind.controls(source);
    const Status r = set->apply(values);
    Q_UNUSED(r);  // a value the camera no longer takes stays its own; 图像参数 shows it
}

bool capControl::connectSource(const CaptureSource& chosen)
{
    CaptureSource source = chosen;
    const SourceKind& kind = kindOf(source);
    if (kind.identity && source.identity.isEmpty())
        source.identity = kind.identity(source);
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
    if (r)
        applyRememberedControls(source);
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
    chosen_ = source;
    openInBackground(source, [this, source](const OpenAttempt& attempt) {
        if (!attempt->ok()) {
            lastError_ = attempt->error();
            emit addressConnected(false, lastError_);
            return;
        }
        stopLookingForReturn();
        endRecordingForSwitch();
        session_->adopt(attempt->value());
        driverIndex_ = kAddressSource;
        connected_ = source;
        const SourceKind& kind = kindOf(source);
        if (kind.identity)
            connected_.identity = kind.identity(source);
        chosen_ = connected_;
        holdUnread_ = true;
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

void capControl::refreshActivity()
{
    const bool wanted = previewing_ || isCapturing();
    if (wanted && session_->isOpen() && !session_->isRunning()) {
        const Status r = session_->start();
        if (!r)
            lastError_ = r.error();
    } else if (!wanted && !holdUnread_) {
        // Nobody looks: the device is let go (a webcam's light goes off).
        session_->release();
    }
    if (wanted)
        holdUnread_ = false;
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
    // The operator's own try replaces the search for a lost source.
    if (awaitingReturn_) {
        stopLookingForReturn();
        cancelAddress();
    }
    if (connectedKind().opensSlowly && driverIndex_ == kAddressSource && session_->needsOpening()) {
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
    // Switched on by hand: whatever was looked for is here.
    stopLookingForReturn();
    previewing_ = true;
    refreshActivity();
    return true;
}

bool capControl::VideoFormatDialog()
{
    if (backendMissing(5))
        return false;
    // A camera busy at start is still the chosen one: its formats can be
    // shown (V4L2 answers while another program streams), or why not.
    const bool connected = driverIndex_ != -1 && session_->hasSource();
    const CaptureSource source = connected ? connected_ : chosen_;
    if (source.description.isEmpty() && source.url.isEmpty()) {
        lastError_ = QStringLiteral("获取硬件信息失败");
        return false;
    }
    const QList<CaptureFormat> formats = sourceFormats(source);
    if (formats.isEmpty() && !connected) {
        lastError_ = connectionError_.isEmpty() ? QStringLiteral("您的硬件不支持此方法。") : connectionError_;
        return false;
    }
    FormatDialog dialog(formats, connected ? session_->format() : CaptureFormat{}, this);
    dialog.setMirrored(mirrored_);
    dialog.setStillFromBestMode(bestModeStill_);
    if (runDialog(dialog) != QDialog::Accepted)
        return true;
    setPreviewMirrored(dialog.mirrored());
    setStillFromBestMode(dialog.stillFromBestMode());
    const CaptureFormat chosen = dialog.selectedFormat();
    if (chosen.size.isEmpty() || chosen == session_->format())
        return true;
    if (!connected) {
        // Kept for when the camera is free: the preview opens it at this format.
        chosenFormats_.insert(formatKey(source), chosen);
        const SourceKind& kind = kindOf(source);
        if (kind.identity)
            rememberFormat(kind.identity(source), chosen);
        return true;
    }
    return setCaptureFormat(chosen);
}

void capControl::setPreviewMirrored(bool on)
{
    if (on == mirrored_)
        return;
    mirrored_ = on;
    QSettings s = stationsettings::open();
    s.setValue(kMirrorKey, on);
    update();
}

bool capControl::setCaptureFormat(const CaptureFormat& format)
{
    if (driverIndex_ == -1 || !session_->hasSource() || !connectedKind().formats) {
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
    if (!connected_.identity.isEmpty())
        rememberFormat(connected_.identity, session_->format());
    refreshActivity();
    return true;
}

bool capControl::VideoSourceDialog()
{
    if (backendMissing(4))
        return false;
    const bool connected = driverIndex_ != -1 && session_->hasSource();
    CaptureSource source = connected ? connected_ : chosen_;
    if (source.description.isEmpty() && source.url.isEmpty()) {
        lastError_ = QStringLiteral("获取硬件信息失败");
        return false;
    }
    const SourceKind& kind = kindOf(source);
    if (!kind.controls) {
        lastError_ = QStringLiteral("您的硬件不支持此方法。");
        return false;
    }
    if (source.identity.isEmpty() && kind.identity)
        source.identity = kind.identity(source);
    // The controls answer while another program streams; a camera that
    // cannot be opened at all says why.
    SourceControlsDialog dialog(source.url, source.identity, this);
    if (!dialog.hasControls()) {
        lastError_ =
            !connected && !connectionError_.isEmpty() ? connectionError_ : QStringLiteral("您的硬件不支持此方法。");
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

double capControl::measuredFrameRate() const
{
    return session_->isRunning() ? session_->measuredRate() : 0;
}

qint64 capControl::damagedFrames() const
{
    return session_->damagedPictures();
}

QString capControl::liveModeText() const
{
    const QSize size = session_->frameSize();
    if (!session_->isOpen() || size.isEmpty())
        return {};
    QString text = QStringLiteral("%1×%2").arg(size.width()).arg(size.height());
    const QString pf = session_->format().pixelFormat;
    if (pf == QLatin1String("mjpeg"))
        text += QStringLiteral(" MJPEG");
    else if (pf == QLatin1String("yuyv422"))
        text += QStringLiteral(" YUYV");
    else if (!pf.isEmpty() && !kindOf(connected_).id.startsWith(QLatin1String("lavfi")))
        text += QLatin1Char(' ') + pf.toUpper();
    if (session_->frameRate() > 0)
        text += QStringLiteral(" %1 fps").arg(std::lround(session_->frameRate()));
    return text;
}

FillMapping capControl::fillMapping() const
{
    return FillMapping{QSizeF(session_->frameSize()), QSizeF(size())};
}

QRectF capControl::widgetToFrame(const QRectF& widgetRect) const
{
    if (!mirrored_)
        return fillMapping().widgetToFrame(widgetRect);
    // What is painted at x was at width - x in the camera's picture.
    const QRectF unmirrored(width() - widgetRect.right(), widgetRect.top(), widgetRect.width(), widgetRect.height());
    return fillMapping().widgetToFrame(unmirrored);
}

QRectF capControl::widgetToStill(const QRectF& widgetRect, QSize stillSize) const
{
    const QSize live = session_->frameSize();
    if (!live.isEmpty() && live != stillSize)
        return mapToStill(widgetToFrame(widgetRect), live, stillSize);
    QRectF r = widgetRect;
    if (mirrored_)
        r = QRectF(width() - r.right(), r.top(), r.width(), r.height());
    return FillMapping{QSizeF(stillSize), QSizeF(size())}.widgetToFrame(r);
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
    if (mirrored_) {
        p.translate(width(), 0);
        p.scale(-1, 1);
    }
    p.drawImage(QRectF(rect()), frame, m.visibleFrameRect());
    p.resetTransform();
    // The camera's name with the mode it delivers now, small in the corner.
    const QString mode = liveModeText();
    if (!mode.isEmpty()) {
        const QString text = connected_.description + QStringLiteral("  ") + mode;
        QFont f = font();
        f.setPointSizeF(8);
        p.setFont(f);
        const QRect box = p.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
        const QRect at(QPoint(4, height() - box.height() - 4), box.size());
        p.fillRect(at, QColor(0, 0, 0, 140));
        p.setPen(Qt::white);
        p.drawText(at, Qt::AlignCenter, text);
    }
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
