#pragma once
#include <QAudioFormat>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QString>

class QAudioSink;

// The PCM content of a RIFF/WAVE file, or why it could not be read.
struct WavSound {
    QAudioFormat format;
    QByteArray samples;
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// The shutter click: a RIFF/WAVE file of 4412 bytes, PCM 22050 Hz mono 16-bit
// with 4356 bytes (0.1 s) of samples. Made in code, the same every time.
QByteArray shutterSoundWav();

// Reads the format and the samples of an uncompressed PCM WAVE file.
WavSound parseWav(const QByteArray& wav);

// Plays short sounds through the default audio output without blocking.
// Without an audio server (no output device, or the sink refuses to start)
// it stays silent and reports nothing: the shutter is only a courtesy.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    // Starts playing the WAVE bytes; a sound still playing is cut off.
    // False when nothing could be started (bad bytes, no output).
    bool play(const QByteArray& wav);
    bool playing() const;
    void stop();

private:
    QAudioSink* m_sink = nullptr;
    QBuffer m_buffer;
    QByteArray m_samples;
};
