#pragma once
#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTimer;

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

// Where a sound's samples go: the audio device, or a recording in tests.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Opens a stream in format; false when there is no output (no device, no
    // sound server).
    virtual bool start(const QAudioFormat& format) = 0;
    // Takes as many of the bytes as there is room for; -1 when the stream broke.
    virtual qint64 write(const char* data, qint64 size) = 0;
    // Bytes given to write() that were not played yet.
    virtual qint64 pending() const = 0;
    // Closes the stream; what is still pending is dropped.
    virtual void stop() = 0;
};

// The default audio output through QAudioSink.
std::unique_ptr<SoundOutput> makeAudioSinkOutput();

// Plays short sounds without blocking: the samples are fed to the output as
// it takes them, and the stream is closed only once the output has played
// them all (closing earlier drops what it still holds, and the click would
// never be heard). Without an audio server it stays silent and reports
// nothing: the shutter is only a courtesy.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    using OutputFactory = std::function<std::unique_ptr<SoundOutput>()>;

    explicit SoundPlayer(QObject* parent = nullptr);
    SoundPlayer(OutputFactory factory, QObject* parent = nullptr);
    ~SoundPlayer() override;

    // The outputs new players use (tests record them).
    static void setDefaultOutputFactory(OutputFactory factory);

    // Starts playing the WAVE bytes; a sound still playing is cut off.
    // False when nothing could be started (bad bytes, no output).
    bool play(const QByteArray& wav);
    bool playing() const { return m_output != nullptr; }
    void stop();

signals:
    void finished();

private:
    void feed();

    OutputFactory m_factory;
    std::unique_ptr<SoundOutput> m_output;
    QTimer* m_timer;
    QByteArray m_samples;
    qint64 m_written = 0;
    QElapsedTimer m_clock;
};
