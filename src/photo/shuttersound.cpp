#include "shuttersound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
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

SoundPlayer::SoundPlayer(QObject* parent)
    : QObject(parent)
{
}

SoundPlayer::~SoundPlayer()
{
    // Deleted here, before the buffer it reads from goes away.
    if (m_sink) {
        m_sink->stop();
        delete m_sink;
    }
}

bool SoundPlayer::play(const QByteArray& wav)
{
    stop();
    const WavSound sound = parseWav(wav);
    if (!sound.ok())
        return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(sound.format))
        return false;

    m_samples = sound.samples;
    m_buffer.setData(m_samples);
    m_buffer.open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(device, sound.format, this);
    connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle: played to the end. Stopped: the output gave up (server gone).
        if (state == QAudio::IdleState || state == QAudio::StoppedState)
            stop();
    });
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        stop();
        return false;
    }
    return true;
}

bool SoundPlayer::playing() const
{
    return m_sink != nullptr;
}

void SoundPlayer::stop()
{
    if (m_sink) {
        QAudioSink* sink = m_sink;
        m_sink = nullptr;
        sink->disconnect(this);
        sink->stop();
        sink->deleteLater();
    }
    m_buffer.close();
}
