#pragma once
#include "speechoutput.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The station's speech object over espeak-ng. Speech is queued: SpeakAsync
// returns at once, a synthesis thread turns each text into samples and a
// player thread hands them to the output in order. espeak-ng is not
// thread-safe, so every engine call runs on the synthesis thread.
// Every operation does nothing and reports false (or nothing) without an engine.
class ETextToSpeech {
public:
    // The output defaults to the system's audio device.
    explicit ETextToSpeech(std::shared_ptr<SpeechOutput> output = nullptr);
    ~ETextToSpeech();
    ETextToSpeech(const ETextToSpeech&) = delete;
    ETextToSpeech& operator=(const ETextToSpeech&) = delete;

    // Starts the engine and chooses the default Chinese voice. False when the
    // engine cannot start (no voice data) or another speech object holds it:
    // espeak-ng serves one engine per process.
    bool CreateVoice();
    bool ReleaseVoice();

    // Queues text behind the speech still in progress.
    bool SpeakAsync(const QString& text);
    // Discards the current and the queued speech at once.
    bool StopSpeaking();
    // Speech is never paused here: queued speech keeps playing; true with an engine.
    bool ResumeSpeaking();
    // 0 … 100; outside: ignored, false.
    bool SetVolume(int volume);
    // −10 … 10 (0 = normal speed); outside: ignored, false.
    bool SetRate(int rate);
    // Descriptions of the installed voices in the engine's order, except that
    // the default Chinese voice comes first.
    QStringList ListVoices();
    // Chooses the first voice whose description equals the text exactly.
    bool SelectVoice(const QString& description);

    bool hasEngine() const { return engine_ != nullptr; }
    // The values the engine was last given.
    int Rate() const { return rate_; }
    int Volume() const { return volume_; }
    // The description of the chosen voice; "" while the engine keeps its own.
    QString CurrentVoice();
    // The engine's phonemes for text in the chosen voice.
    QString Phonemes(const QString& text);
    // Blocks until every queued text has been synthesized and handed to the output.
    void WaitUntilIdle();

    // Told on the player thread when the sound output fails and when it plays
    // again. Setting another (or none) waits for a report under way to end.
    void setOutputListener(std::function<void(bool available)> listener);

    // espeak-ng speed for a rate: 175 words a minute at 0, three times faster
    // at 10 and slower at −10, kept within the engine's 80 … 450.
    static int wordsPerMinute(int rate);

    struct Listener;

private:
    struct Engine;
    std::shared_ptr<SpeechOutput> output_;
    std::shared_ptr<Listener> listener_;
    std::unique_ptr<Engine> engine_;
    int rate_ = 0;
    int volume_ = 100;
};
