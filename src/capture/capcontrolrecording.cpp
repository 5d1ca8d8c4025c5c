// capControl's recordings: started and stopped by the operator, ended by
// their limit, a write failure or a switch of source, and carried over a
// lost source that comes back.
#include "capcontrol.h"
#include "capcontroltexts.h"
#include "capturesession.h"
#include "recorder.h"
#include "sourcekind.h"

#include <QMetaMethod>
#include <QTimer>

using namespace capture;

namespace {
const QString kSwitched = QStringLiteral("视频来源已切换，录制已结束。");
}  // namespace

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

bool capControl::StartCapture(const CaptureRequest& request)
{
    if (backendMissing(9))
        return false;
    if (isCapturing()) {
        lastError_ = kBusy;
        return false;
    }
    if (!request.keepSettings) {
        if (request.periodMs <= 0 || request.limitS < -1) {
            lastError_ = QStringLiteral("设置捕获参数出错,请检查传入的参数。");
            return false;
        }
        keptPeriod_ = request.periodMs;
        keptLimit_ = request.limitS;
        keptLeft_ = request.leftButtonAborts;
        keptRight_ = request.rightButtonAborts;
    }
    if (driverIndex_ == -1 || !session_->hasSource()) {
        lastError_ = kNoSource;
        return false;
    }
    if (awaitingReturn_) {
        stopLookingForReturn();
        cancelAddress();
    }
    if (connectedKind().opensSlowly && driverIndex_ == kAddressSource && session_->needsOpening()) {
        captureWaiting_ = true;
        waitingFile_ = request.file;
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
    holdUnread_ = false;
    waitingFile_ = request.file;
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
    if (awaitingReturn_) {
        // Opened again but lost before its first picture: still not back.
        session_->release();
        return;
    }
    lastError_ = message;
    // A camera plugged back in, a network coming back: looked for until it
    // answers, as long as nothing else is chosen. Known before the news goes out.
    if (connectedKind().comesBack && backend_) {
        awaitingReturn_ = true;
        returnTimer_->start();
    }
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

void capControl::stopLookingForReturn()
{
    awaitingReturn_ = false;
    returnTimer_->stop();
}

void capControl::lookForReturn()
{
    if (!awaitingReturn_ || pendingOpen_)
        return;
    if (session_->isRunning()) {
        // Opened again: back once it delivers a picture.
        if (session_->serial() == 0)
            return;
        stopLookingForReturn();
        emit sourceReturned(connected_.description);
        return;
    }
    const SourceKind& kind = connectedKind();
    CaptureSource source = connected_;
    if (kind.find) {
        const auto found = kind.find(connected_);
        if (!found)
            return;
        const QString identity = connected_.identity;
        source = *found;
        source.identity = identity;
    }
    auto adoptAndRead = [this](const std::shared_ptr<OpenedInput>& opened) {
        session_->adopt(opened);
        applyRememberedControls(connected_);
        const Status r = session_->start();
        Q_UNUSED(r);  // not yet: the next look tries again
    };
    if (kind.opensSlowly) {
        openInBackground(source, [this, adoptAndRead](const OpenAttempt& attempt) {
            if (awaitingReturn_ && attempt->ok())
                adoptAndRead(attempt->value());
        });
        return;
    }
    auto interrupt = std::make_shared<Interrupt>();
    Result<OpenedInputPtr> opened = openInput(source, session_->format(), interrupt);
    if (!opened)
        opened = openInput(source, {}, interrupt);
    if (!opened)
        return;
    connected_ = source;
    adoptAndRead(opened.value());
}
