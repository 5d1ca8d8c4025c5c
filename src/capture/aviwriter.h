#pragma once
// Encodes pictures and muxes them into an AVI file: one picture per frame
// period, time base period/1000, pts = frame number. Every packet is flushed
// to disk at once, so a recording cut off before the trailer keeps its frames.
#include <QImage>
#include <QList>
#include <QString>

#include "result.h"
#include <memory>

namespace capture {

struct CompressionSettings {
    QString codec = QStringLiteral("mjpeg");  // FFmpeg encoder name
    int quality = 85;  // 1..100, for codecs with a quantiser
    bool operator==(const CompressionSettings& o) const { return codec == o.codec && quality == o.quality; }
};

struct AviCodecChoice {
    QString name;  // encoder name
    QString label;  // shown in the compression dialog
    bool usesQuality = true;
};
// The encoders of this FFmpeg build that AVI can hold; MJPEG first.
QList<AviCodecChoice> availableAviCodecs();

// The message of a file that cannot be created where the operator asked.
inline const QString kFileRefused = QStringLiteral("设置文件名出错。");

class AviWriter {
public:
    AviWriter();
    ~AviWriter();  // finishes an open file
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // A file that cannot be created fails with kFileRefused.
    Status open(const QString& path, QSize size, const CompressionSettings& settings, int periodMs);
    // Appends one frame (scaled if its size differs from the opened size) for
    // the next frame period.
    Status write(const QImage& picture);
    // The same, for frame period `period` (0-based); the periods skipped
    // since the last frame play the last picture again.
    Status write(const QImage& picture, qint64 period);
    // Drains the encoder, writes the index and the trailer, closes the file.
    Status finish();
    bool isOpen() const;
    qint64 framesWritten() const;  // frames encoded
    qint64 periodsCovered() const;  // frame periods the file plays, repeats included

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A complete BMP file in memory: 14-byte file header ("BM", size = data + 54,
// offset 54), 40-byte BITMAPINFOHEADER (32 bits, bottom-up), the pixel rows.
QByteArray bmpFile(const QImage& picture);

}  // namespace capture
