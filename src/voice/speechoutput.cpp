#include "speechoutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>

AudioSinkOutput::AudioSinkOutput() = default;

AudioSinkOutput::~AudioSinkOutput() = default;

bool AudioSinkOutput::open(int sampleRate)
{
    if (sink_ && sampleRate_ != sampleRate)
        finish();
    if (!sink_) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink_ = std::make_unique<QAudioSink>(device, format);
        sampleRate_ = sampleRate;
    }
    if (!device_)
        device_ = sink_->start();  // null without a sound server
    return device_ != nullptr;
}

namespace {

bool sinkFailed(const QAudioSink& sink)
{
    const QAudio::Error e = sink.error();
    return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
}

}  // namespace

bool AudioSinkOutput::play(const Utterance& utterance, const std::function<bool()>& stopRequested)
{
    if (utterance.samples.empty())
        return true;
    if (!open(utterance.sampleRate)) {
        finish();
        return false;
    }
    const char* data = reinterpret_cast<const char*>(utterance.samples.data());
    const qint64 size = qint64(utterance.samples.size() * sizeof(int16_t));
    // A device that stops taking data must not hold the queue for ever.
    const qint64 limitMs = size * 1000 / (2 * qint64(utterance.sampleRate)) + 3000;
    QElapsedTimer clock;
    clock.start();
    qint64 written = 0;
    while (written < size) {
        if (stopRequested()) {
            halt();
            return true;
        }
        QCoreApplication::processEvents();
        const qint64 room = sink_->bytesFree();
        if (room > 0) {
            const qint64 n = device_->write(data + written, qMin(room, size - written));
            if (n < 0) {
                finish();
                return false;
            }
            written += n;
        }
        if (sinkFailed(*sink_)) {
            finish();
            return false;
        }
        if (written < size)
            QThread::msleep(10);
        if (clock.elapsed() > limitMs) {
            finish();
            return false;
        }
    }
    return true;
}

void AudioSinkOutput::halt()
{
    if (sink_ && device_) {
        sink_->reset();  // drop what is buffered, do not let it drain
        sink_->stop();
        device_ = nullptr;
    }
}

void AudioSinkOutput::finish()
{
    halt();
    sink_.reset();
    sampleRate_ = 0;
}
