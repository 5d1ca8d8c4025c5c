#pragma once
// Encodes pictures and muxes them into an AVI file: one picture per frame
// period, time base period/1000, pts = frame number. Every packet is flushed
// to disk at once, so a recording cut off before the trailer keeps its frames.
#include <QImage>
#include <QList>
#include <QString>
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

class AviWriter {
public:
    enum class Failure { None, File, Codec, Write };
    struct Result {
        bool ok = true;
        Failure failure = Failure::None;
        QString error;
    };

    AviWriter();
    ~AviWriter();  // finishes an open file
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    Result open(const QString& path, QSize size, const CompressionSettings& settings, int periodMs);
    // Appends one frame (scaled if its size differs from the opened size).
    Result write(const QImage& picture);
    // Drains the encoder, writes the index and the trailer, closes the file.
    Result finish();
    bool isOpen() const;
    qint64 framesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A complete BMP file in memory: 14-byte file header ("BM", size = data + 54,
// offset 54), 40-byte BITMAPINFOHEADER (32 bits, bottom-up), the pixel rows.
QByteArray bmpFile(const QImage& picture);

}  // namespace capture
