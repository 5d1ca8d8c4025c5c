#pragma once
#include <memory>

class ETextToSpeech;

// The process-wide speech object. main() makes it before the first window,
// calls CreateVoice on it and installs it; before that (and in tests that do
// not install their own) an object without engine stands in, which speaks nothing.
ETextToSpeech& speechVoice();
// Installs the process-wide object (not owned); nullptr brings back the stand-in.
void installSpeechVoice(ETextToSpeech* speech);

// main()'s hold on the process-wide object: made (after the application
// object, before the first window), installed, started, and released as the
// exit clean-up when the scope ends.
class SpeechVoiceScope {
public:
    // Later leaves the engine to start(): loading the voice data then waits
    // until the window has painted. Until it starts the object speaks nothing.
    enum class Start { Now, Later };
    explicit SpeechVoiceScope(Start when = Start::Now);
    void start();
    ~SpeechVoiceScope();
    SpeechVoiceScope(const SpeechVoiceScope&) = delete;
    SpeechVoiceScope& operator=(const SpeechVoiceScope&) = delete;

private:
    std::unique_ptr<ETextToSpeech> speech_;
};
