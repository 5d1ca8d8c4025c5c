#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAudioSink;
class QIODevice;

// One synthesized announcement: mono 16-bit samples at sampleRate.
struct Utterance {
    QString text;
    std::vector<int16_t> samples;
    int sampleRate = 22050;
};

// Where synthesized speech goes. play(), halt() and finish() run on the
// speech player thread only; interrupt() may come from any thread.
class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;
    // Plays one utterance after the ones before it. May return while the tail
    // is still sounding; returns early once stopRequested() is true. False when
    // there is no sound output: the output is then opened again for the next one.
    virtual bool play(const Utterance& utterance, const std::function<bool()>& stopRequested) = 0;
    // Discards whatever is still sounding.
    virtual void halt() = 0;
    // Wakes a play() that waits, so a stop takes effect at once.
    virtual void interrupt() { }
    // The player thread ends: release what was made on it.
    virtual void finish() { }
};

// Speech through the default audio device. Without a device or sound server
// the speech is dropped and nothing waits; a sink that fails is dropped too,
// and the next utterance looks for the device again, so speech comes back by
// itself when the sound server does.
class AudioSinkOutput final : public SpeechOutput {
public:
    AudioSinkOutput();
    ~AudioSinkOutput() override;

    bool play(const Utterance& utterance, const std::function<bool()>& stopRequested) override;
    void halt() override;
    void finish() override;

private:
    bool open(int sampleRate);

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;  // owned by the sink
    int sampleRate_ = 0;
};
