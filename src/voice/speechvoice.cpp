#include "speechvoice.h"

#include "etexttospeech.h"

namespace {
ETextToSpeech* installed = nullptr;
}

ETextToSpeech& speechVoice()
{
    if (installed)
        return *installed;
    // Never created: it starts no thread, so it is safe to outlive the application.
    static ETextToSpeech standIn;
    return standIn;
}

void installSpeechVoice(ETextToSpeech* speech)
{
    installed = speech;
}

SpeechVoiceScope::SpeechVoiceScope(Start when)
    : speech_(std::make_unique<ETextToSpeech>())
{
    installSpeechVoice(speech_.get());
    if (when == Start::Now)
        start();
}

void SpeechVoiceScope::start()
{
    // Without an engine every operation reports false and detection says so.
    speech_->CreateVoice();
}

SpeechVoiceScope::~SpeechVoiceScope()
{
    installSpeechVoice(nullptr);
    speech_->ReleaseVoice();
}
