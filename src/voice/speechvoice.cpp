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

SpeechVoiceScope::SpeechVoiceScope()
    : speech_(std::make_unique<ETextToSpeech>())
{
    // Without an engine every operation reports false and detection says so.
    speech_->CreateVoice();
    installSpeechVoice(speech_.get());
}

SpeechVoiceScope::~SpeechVoiceScope()
{
    installSpeechVoice(nullptr);
    speech_->ReleaseVoice();
}
