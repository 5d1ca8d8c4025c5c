#pragma once
// V4L2 queries FFmpeg does not offer: device identity, formats and the
// picture controls (brightness, contrast, ...). Empty answers off Linux.
#include "captureformat.h"
#include "result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace v4l2 {

// The card name of a video capture node; nothing for other nodes or files.
// `denied` tells a device node this user may not open now (not in the video
// group, or held by another program).
std::optional<QString> captureCardName(const QString& path, bool* denied = nullptr);

// What names one camera across restarts and node renumbering: its card name
// and where it is plugged in. Empty when the node cannot be opened.
QString cameraIdentity(const QString& path);

// The discrete sizes of every pixel format FFmpeg can read from the node,
// each with the best frame rate it is offered at (0 = not told).
QList<capture::CaptureFormat> formats(const QString& path);

// The format the camera is set to now (another program or the last user
// left it so); nothing when it cannot be read or FFmpeg cannot read it.
std::optional<capture::CaptureFormat> currentFormat(const QString& path);

struct Control {
    quint32 id = 0;
    QString name;  // the driver's own (English) name
    QString label;  // what the operator reads: Chinese for the standard controls
    enum class Kind { Integer, Boolean, Menu } kind = Kind::Integer;
    int minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
    QList<QPair<int, QString>> menu;  // menu index, text (Chinese where known)
    // Not applicable now (a manual value while its automatic mode is on).
    bool inactive = false;
    // Changing it can change others (an automatic mode).
    bool updatesOthers = false;
};

// An open device node: closed on destruction, moved but never copied, so a
// descriptor has exactly one owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : fd_(fd)
    {
    }
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept
        : fd_(other.release())
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

private:
    int fd_ = -1;
};

// An open control handle on one device node (closed on destruction).
class ControlSet {
public:
    explicit ControlSet(const QString& path);

    bool isOpen() const { return fd_.isOpen(); }
    QList<Control> controls() const;
    // Applies a value at once; on failure the reason, in Chinese first.
    Status set(quint32 id, int value);
    // Sets every control to its default; automatic modes last, so the
    // manual values they govern are still accepted first.
    Status restoreDefaults();
    // Applies saved values: automatic modes first, so the manual values
    // they govern are accepted after them. Controls the camera lacks are skipped.
    Status apply(const QList<QPair<quint32, int>>& values);

    // Exposure, white balance and focus: locked = their automatic modes off,
    // each held at the value it has now; unlocked = automatic again.
    // Answers the values written, for whoever keeps them.
    Result<QList<QPair<quint32, int>>> lockAutomatic(bool lock);
    // Whether any of those automatic modes is off.
    bool automaticLocked() const;

private:
    Fd fd_;
};

}  // namespace v4l2
