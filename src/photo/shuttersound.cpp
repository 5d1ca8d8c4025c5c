#include "shuttersound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <QtEndian>

#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int sampleRate = 22050;
constexpr int sampleCount = 2178;  // 4356 bytes of 16-bit mono

void putTag(QByteArray& out, const char* tag)
{
    out.append(tag, 4);
}

void putU32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putU16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

quint32 u32At(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 u16At(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

}  // namespace

QByteArray shutterSoundWav()
{
    // Header: RIFF, a 16-byte fmt chunk, a fact chunk with the sample count
    // and the data chunk: 56 bytes, 4412 in all.
    QByteArray wav;
    const quint32 dataBytes = sampleCount * 2;
    putTag(wav, "RIFF");
    putU32(wav, 4 + (8 + 16) + (8 + 4) + (8 + dataBytes));
    putTag(wav, "WAVE");
    putTag(wav, "fmt ");
    putU32(wav, 16);
    putU16(wav, 1);  // PCM
    putU16(wav, 1);  // mono
    putU32(wav, sampleRate);
    putU32(wav, sampleRate * 2);  // bytes per second
    putU16(wav, 2);  // block align
    putU16(wav, 16);  // bits per sample
    putTag(wav, "fact");
    putU32(wav, 4);
    putU32(wav, sampleCount);
    putTag(wav, "data");
    putU32(wav, dataBytes);

    // A short metallic click: two decaying tones over a burst of
    // deterministic noise, with a soft fade-out so it ends without a pop.
    quint32 noise = 0x1234567u;
    for (int i = 0; i < sampleCount; ++i) {
        const double t = double(i) / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        const double white = (double(noise >> 8) / double(1u << 24)) * 2.0 - 1.0;
        const double tone = 0.5 * std::sin(2 * pi * 2300 * t) + 0.3 * std::sin(2 * pi * 3700 * t);
        const double fade = i > sampleCount - 200 ? double(sampleCount - i) / 200.0 : 1.0;
        const double v = (tone * std::exp(-t * 60) + 0.6 * white * std::exp(-t * 150)) * fade;
        putU16(wav, quint16(qint16(std::lround(qBound(-1.0, v * 0.7, 1.0) * 32767))));
    }
    return wav;
}

WavSound parseWav(const QByteArray& wav)
{
    WavSound sound;
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE") {
        sound.error = QStringLiteral("不是WAVE声音文件");
        return sound;
    }
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const QByteArray tag = wav.mid(at, 4);
        const quint32 size = u32At(wav, at + 4);
        const qsizetype body = at + 8;
        if (size > quint32(wav.size() - body)) {
            sound.error = QStringLiteral("WAVE文件不完整");
            return sound;
        }
        if (tag == "fmt ") {
            if (size < 16 || u16At(wav, body) != 1) {
                sound.error = QStringLiteral("只支持PCM格式的WAVE声音");
                return sound;
            }
            const int channels = u16At(wav, body + 2);
            const int rate = int(u32At(wav, body + 4));
            const int bits = u16At(wav, body + 14);
            if (channels < 1 || channels > 2 || rate <= 0 || (bits != 8 && bits != 16)) {
                sound.error = QStringLiteral("不支持的WAVE声音格式");
                return sound;
            }
            sound.format.setChannelCount(channels);
            sound.format.setSampleRate(rate);
            sound.format.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
            haveFormat = true;
        } else if (tag == "data") {
            if (!haveFormat) {
                sound.error = QStringLiteral("WAVE文件缺少格式说明");
                return sound;
            }
            sound.samples = wav.mid(body, size);
            return sound;
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    sound.error = QStringLiteral("WAVE文件没有声音数据");
    return sound;
}

namespace {

class AudioSinkOutput final : public SoundOutput {
public:
    bool start(const QAudioFormat& format) override
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(format))
            return false;
        sink_ = std::make_unique<QAudioSink>(device, format);
        device_ = sink_->start();  // push mode; null without a sound server
        if (!device_ || sink_->error() != QAudio::NoError) {
            stop();
            return false;
        }
        bytesPerSecond_ = format.bytesForDuration(1000000);
        return true;
    }
    qint64 write(const char* data, qint64 size) override
    {
        if (!device_ || sink_->state() == QAudio::StoppedState)
            return -1;
        const qint64 n = device_->write(data, qMin<qint64>(size, sink_->bytesFree()));
        if (n > 0)
            written_ += n;
        return n;
    }
    qint64 pending() const override
    {
        if (!sink_ || sink_->state() == QAudio::StoppedState)
            return 0;
        // What the device has played, by its own clock.
        const qint64 played = sink_->processedUSecs() * bytesPerSecond_ / 1000000;
        return qMax<qint64>(0, written_ - played);
    }
    void stop() override
    {
        if (sink_)
            sink_->stop();
        device_ = nullptr;
        sink_.reset();
    }

private:
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;  // owned by the sink
    qint64 written_ = 0;
    qint64 bytesPerSecond_ = 1;
};

SoundPlayer::OutputFactory& defaultFactory()
{
    static SoundPlayer::OutputFactory factory = makeAudioSinkOutput;
    return factory;
}

// After the last sample the device gets this much silence, so the end of the
// click is not cut by the stream's closing.
constexpr int kTailMs = 60;
// A device that stops playing does not keep the player for ever.
constexpr int kGiveUpMs = 3000;

}  // namespace

std::unique_ptr<SoundOutput> makeAudioSinkOutput()
{
    return std::make_unique<AudioSinkOutput>();
}

void SoundPlayer::setDefaultOutputFactory(OutputFactory factory)
{
    defaultFactory() = std::move(factory);
}

SoundPlayer::SoundPlayer(QObject* parent)
    : SoundPlayer(defaultFactory(), parent)
{
}

SoundPlayer::SoundPlayer(OutputFactory factory, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(5);
    connect(m_timer, &QTimer::timeout, this, &SoundPlayer::feed);
}

SoundPlayer::~SoundPlayer()
{
    if (m_output)
        m_output->stop();
}

bool SoundPlayer::play(const QByteArray& wav)
{
    stop();
    const WavSound sound = parseWav(wav);
    if (!sound.ok() || !m_factory)
        return false;
    std::unique_ptr<SoundOutput> output = m_factory();
    if (!output || !output->start(sound.format))
        return false;
    m_output = std::move(output);
    m_samples = sound.samples;
    const qint64 tail = sound.format.bytesForDuration(kTailMs * 1000);
    m_samples.append(QByteArray(tail - tail % qMax(1, sound.format.bytesPerFrame()),
                                sound.format.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0)));
    m_written = 0;
    m_clock.start();
    feed();
    if (m_output)
        m_timer->start();
    return true;
}

void SoundPlayer::feed()
{
    if (!m_output)
        return;
    if (m_written < m_samples.size()) {
        const qint64 n = m_output->write(m_samples.constData() + m_written, m_samples.size() - m_written);
        if (n < 0) {
            stop();
            return;
        }
        m_written += n;
    }
    // Closed only once the output has played everything it was given.
    if ((m_written == m_samples.size() && m_output->pending() == 0) || m_clock.elapsed() > kGiveUpMs)
        stop();
}

void SoundPlayer::stop()
{
    m_timer->stop();
    if (!m_output)
        return;
    std::unique_ptr<SoundOutput> output = std::move(m_output);
    output->stop();
    m_samples.clear();
    emit finished();
}
