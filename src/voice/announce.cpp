#include "announce.h"

#include "etexttospeech.h"
#include "voicesettings.h"

bool AnnounceRow(bool soundOn, VoiceSettings& settings, const std::function<QString(int column)>& cellText)
{
    if (!soundOn || !settings.speakingOn())
        return false;
    const int column = settings.pronounceColumn();
    if (column < 0)
        return false;
    if (settings.onlyCurrent())
        settings.speech().StopSpeaking();
    return settings.speech().SpeakAsync(cellText(column));
}
