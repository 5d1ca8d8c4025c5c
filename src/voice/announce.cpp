#include "announce.h"

#include "etexttospeech.h"
#include "voicesettings.h"

int pronounceColumn(const QString& text)
{
    if (text == QLatin1String("1"))
        return 0;
    if (text == QLatin1String("2"))
        return 1;
    if (text == QLatin1String("3"))
        return 2;
    return -1;
}

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
