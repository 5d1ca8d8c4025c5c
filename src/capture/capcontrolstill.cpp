// capControl's pictures for a photo: the newest live picture, or a still
// from the camera's largest mode or its own shutter.
#include "capcontrol.h"
#include "capcontroltexts.h"
#include "capturesession.h"
#include "stationsettings.h"

#include <QTimer>

#include <chrono>

using namespace capture;

namespace {
// How long a switched mode may take to send its first picture.
constexpr int kBestModeWaitMs = 3000;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

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
        stamp->still = session_->deliversStills();
    }
    return frame;
}

bool capControl::firesShutter() const
{
    if (driverIndex_ == -1 || !session_->hasSource())
        return false;
    return connectedKind().firesShutter || (bestModeStill_ && !isCapturing() && bestStillFormat());
}

void capControl::setStillFromBestMode(bool on)
{
    bestModeStill_ = on;
    QSettings s = stationsettings::open();
    s.setValue(kBestModeKey, on);
}

std::optional<CaptureFormat> capControl::bestStillFormat() const
{
    const SourceKind& kind = connectedKind();
    if (!kind.formats || !session_->hasSource())
        return std::nullopt;
    const QSize now = session_->format().size.isEmpty() ? session_->frameSize() : session_->format().size;
    const qint64 area = qint64(now.width()) * now.height();
    std::optional<CaptureFormat> best;
    for (const CaptureFormat& f : kind.formats(connected_)) {
        const qint64 a = qint64(f.size.width()) * f.size.height();
        const qint64 b = best ? qint64(best->size.width()) * best->size.height() : area;
        // The largest; at the same size MJPEG, which a USB port carries at any size.
        if (a > b || (best && a == b && f.pixelFormat == QLatin1String("mjpeg")))
            best = f;
    }
    return best;
}

// The camera is switched to its largest mode, its first picture kept, and
// switched back; the preview shows black meanwhile.
void capControl::captureBestModeStill(const CaptureFormat& best, StillDone done)
{
    const CaptureFormat old = session_->format();
    const CaptureSource source = connected_;
    auto back = [this, source, old] {
        const Status r = session_->open(source, old);
        if (r)
            refreshActivity();
        else
            onSourceLost(session_->generation(), r.error());
    };
    if (const Status r = session_->open(source, best); !r || !session_->start()) {
        back();
        QTimer::singleShot(0, this, [done, why = r.error()] {
            done(failure(QStringLiteral("无法切换到最高分辨率：") + why), FrameStamp{});
        });
        return;
    }
    auto* poll = new QTimer(this);
    poll->setInterval(5);
    const qint64 started = steadyMs();
    connect(poll, &QTimer::timeout, this, [this, poll, done, back, started] {
        FrameStamp stamp;
        QImage still = latestFrame(&stamp);
        const bool timedOut = steadyMs() - started > kBestModeWaitMs;
        if (still.isNull() && !timedOut && session_->isRunning())
            return;
        poll->deleteLater();
        back();
        if (still.isNull()) {
            done(failure(QStringLiteral("相机在最高分辨率下没有送来图像。")), FrameStamp{});
            return;
        }
        stamp.still = true;
        done(still, stamp);
    });
    poll->start();
}

void capControl::captureStill(StillDone done)
{
    if (!connectedKind().firesShutter && firesShutter()) {
        captureBestModeStill(*bestStillFormat(), std::move(done));
        return;
    }
    if (!firesShutter() || !session_->isRunning()) {
        // The newest frame is the still, answered as a shutter would be: later.
        FrameStamp stamp;
        QImage frame = latestFrame(&stamp);
        QTimer::singleShot(0, this, [done = std::move(done), frame, stamp] {
            if (frame.isNull())
                done(failure(QStringLiteral("没有图像，无法拍照。")), FrameStamp{});
            else
                done(frame, stamp);
        });
        return;
    }
    QPointer<capControl> self(this);
    const qint64 period = session_->framePeriodMs();
    auto answer = [self, done, period](Result<QImage> still) {
        // From the reading thread to this one; a unit that is gone hears nothing.
        capControl* unit = self.data();
        if (!unit)
            return;
        QMetaObject::invokeMethod(
            unit,
            [self, done, still, period] {
                if (!self)
                    return;
                FrameStamp stamp;
                if (still) {
                    stamp.serial = self->session_->serial() + 1;
                    stamp.arrivalMs = steadyMs();
                    stamp.periodMs = period;
                    stamp.still = true;
                } else {
                    self->lastError_ = still.error();
                }
                done(still, stamp);
            },
            Qt::QueuedConnection);
    };
    if (!session_->requestStill(answer))
        QTimer::singleShot(0, this, [done] { done(failure(QStringLiteral("相机正在拍照，请稍候。")), FrameStamp{}); });
}
