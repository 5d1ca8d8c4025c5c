#pragma once
// V4L2 queries FFmpeg does not offer: device identity, formats and the
// picture controls (brightness, contrast, ...). Empty answers off Linux.
#include "capturesource.h"
#include "result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace v4l2 {

// The card name of a video capture node; nothing for other nodes or files.
std::optional<QString> captureCardName(const QString& path);

// The discrete sizes of every pixel format FFmpeg can read from the node.
QList<capture::CaptureFormat> formats(const QString& path);

struct Control {
    quint32 id = 0;
    QString name;
    enum class Kind { Integer, Boolean, Menu } kind = Kind::Integer;
    int minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
    QList<QPair<int, QString>> menu;  // menu index, text
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
    // Applies a value at once; the error text on failure.
    Status set(quint32 id, int value);

private:
    Fd fd_;
};

}  // namespace v4l2
