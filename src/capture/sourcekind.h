#pragma once
// Every kind of capture source fills one table of operations (open, read the
// next picture, formats, controls, identity) and is listed once in the
// registry (sourceregistry.cpp). The session, the capture unit and the
// dialogs only ever call through the table, so a new kind is one file and one
// line in the registry.
#include "capturesource.h"
#include "result.h"

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace v4l2 {
class ControlSet;
}

namespace capture {

struct Interrupt;

// One picture from a source. arrivalNs 0 = now (steady clock).
struct Picture {
    QImage image;
    qint64 arrivalNs = 0;
};

// An opened source. Made on any thread, then read on the session's thread
// only: next(), captureStill() and the destructor never run at once.
class SourceReader {
public:
    virtual ~SourceReader() = default;

    struct Read {
        enum class Outcome { Picture, Again, Failed } outcome = Outcome::Again;
        Picture picture;
        QString error;  // Failed: why, in Chinese
        bool stalled = false;  // Failed because the deadline passed
    };
    // The next picture; Again after a short wait (tens of milliseconds at
    // most) so a stop is seen; Failed when the source is gone. A reader of a
    // kind that stalls gives up at deadlineNs (steady clock; 0 = none).
    virtual Read next(Interrupt& interrupt, qint64 deadlineNs) = 0;

    virtual QSize frameSize() const = 0;
    virtual double frameRate() const = 0;
    virtual CaptureFormat format() const = 0;
    // Each picture is a separate still (a file from a hot folder, a capture
    // of a camera without live view), not a live frame.
    virtual bool stills() const { return false; }
    // Damaged pictures the decoder dropped or mended, counted instead of printed.
    virtual qint64 damagedPictures() const { return 0; }
    // Fires the shutter and brings the full-resolution picture (tethered cameras).
    virtual Result<QImage> captureStill(Interrupt&) { return failure(QStringLiteral("这个视频来源不能单独拍照。")); }
};
using ReaderPtr = std::unique_ptr<SourceReader>;

struct SourceKind {
    QString id;  // CaptureSource::kindId()
    // Sources of this kind present now, in the order they are listed; null
    // for kinds the operator names (an address, a folder).
    QList<CaptureSource> (*scan)(const QString& devDir) = nullptr;
    // Opens the source at a format (empty size = its own). May block (a
    // network source up to its timeout); `interrupt` cancels it and stays
    // with the reader.
    Result<ReaderPtr> (*open)(const CaptureSource& source, const CaptureFormat& format,
                              const std::shared_ptr<Interrupt>& interrupt) = nullptr;
    // The formats it offers for 设置视频 (null = none).
    QList<CaptureFormat> (*formats)(const CaptureSource& source) = nullptr;
    // The format it starts at (null = its own).
    CaptureFormat (*initialFormat)(const CaptureSource& source) = nullptr;
    // What names it across restarts and replugs (card and bus, an address);
    // its chosen format and picture controls are kept under it. Null = not kept.
    QString (*identity)(const CaptureSource& source) = nullptr;
    // The source that stands for `identity` now (a camera plugged back in
    // may come back under another node); null = the same source.
    std::optional<CaptureSource> (*find)(const CaptureSource& lost) = nullptr;
    // Its picture controls for 图像参数 (null = none).
    std::unique_ptr<v4l2::ControlSet> (*controls)(const CaptureSource& source) = nullptr;

    bool stalls = false;  // may stop sending without a word: lost after its stall time
    bool opensSlowly = false;  // a network source: opened off the window's thread
    bool firesShutter = false;  // 照相 asks the reader for a still (captureStill)
    bool comesBack = false;  // after a loss it is looked for until it answers again
};

// The registry, in listing order: cameras, tethered cameras, then the test camera.
const QList<const SourceKind*>& sourceKinds();
// The kind of a source; an unknown kind reads as a network address.
const SourceKind& kindOf(const CaptureSource& source);

// Opens a source through its kind.
Result<ReaderPtr> openReader(const CaptureSource& source, const CaptureFormat& format,
                             const std::shared_ptr<Interrupt>& interrupt);

// The kinds' tables, one per file.
const SourceKind& v4l2CameraKind();
const SourceKind& testCameraKind();
const SourceKind& streamKind();
const SourceKind& fileKind();
const SourceKind& folderKind();
const SourceKind& tetheredKind();

}  // namespace capture
