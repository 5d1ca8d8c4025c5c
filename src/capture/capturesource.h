#pragma once
// The capture sources ("drivers") the station can connect: the cameras the
// system offers, then the built-in test camera, always last.
#include <QList>
#include <QSize>
#include <QString>

#include "captureformat.h"
#include "result.h"
#include <functional>

namespace capture {

struct CaptureSource {
    QString description;
    QString inputFormat;  // libavdevice input: "v4l2", "dshow", "lavfi"; empty = an address
    QString url;  // device path or name, an address, a file or folder; for the test camera built per format
    bool builtIn = false;
    QString kind;  // its kind in the registry (sourcekind.h); empty = told by inputFormat and url
    QString identity;  // what names it across replugs (card and bus), noted while it was connected

    QString kindId() const
    {
        if (!kind.isEmpty())
            return kind;
        if (!inputFormat.isEmpty())
            return inputFormat;
        return isFile() ? QStringLiteral("file") : QStringLiteral("stream");
    }

    // A network address or a file, recognised by FFmpeg from its contents.
    // (A hot folder and a tethered camera are named by their kind.)
    bool isAddress() const { return inputFormat.isEmpty() && !builtIn && kind.isEmpty(); }
    // A local picture or video: played at its own rate, from the start again at its end.
    bool isFile() const { return isAddress() && !url.contains(QLatin1String("://")); }
    // A network stream: its opening gives up after the timeout, its reading once it stalls.
    bool isNetwork() const { return isAddress() && !isFile(); }
};

// How long a network source may take to answer (opening, and its first
// picture) before it counts as unreachable; once it delivers, the shorter
// stall time of capturesession.h applies.
inline constexpr int kNetworkTimeoutMs = 5000;

// The source for an address the operator typed: an http, https or rtsp
// address (an IP camera, a phone app), or a local picture or video file.
Result<CaptureSource> addressSource(const QString& address);

// A hot folder: the newest complete picture file that arrives in `folder`.
Result<CaptureSource> folderSource(const QString& folder);

// What --camera names: a folder is a hot folder, anything else an address.
Result<CaptureSource> namedSource(const QString& text);

// The built-in test camera. Its picture tells every pixel's position:
// red = round(x * 255 / (width - 1)), green = round(y * 255 / (height - 1)),
// blue = 128. A white 8x8 mark moves along the band y = 2..9, so any region
// below y = 12 is exactly the gradient.
inline constexpr int kTestMarkBandHeight = 12;
CaptureSource testCamera();
QString testCameraDescription();
// The formats the test camera offers; the first is the default.
QList<CaptureFormat> testCameraFormats();
// The lavfi graph of the test camera at a format.
QString testCameraGraph(const CaptureFormat& format);
// The colour the test camera shows at (x, y) of a w x h picture (outside the mark band).
void testCameraColour(int x, int y, QSize size, int* r, int* g, int* b);

// At most nine cameras are listed; with the test camera that makes ten.
inline constexpr int kMaxCameras = 9;

// Cameras found under devDir (/dev on Linux: video capture nodes only),
// in the order of their node numbers.
QList<CaptureSource> scanCameras(const QString& devDir = QStringLiteral("/dev"));

// What each kind finds now: cameras first (at most nine, tethered ones
// among them), then the test camera.
QList<CaptureSource> defaultSources(const QString& devDir = QStringLiteral("/dev"));

// Where the station gets its source list; tests install their own.
using SourceProvider = std::function<QList<CaptureSource>()>;
void setSourceProvider(SourceProvider provider);  // empty = defaultSources
QList<CaptureSource> currentSources();

// "index<TAB>description" lines, 1-based, for --list-devices.
QString listDevicesText();

// The formats a source offers (V4L2 enumeration for cameras), through its kind.
QList<CaptureFormat> sourceFormats(const CaptureSource& source);

}  // namespace capture
