#include "announce.h"

#include "etexttospeech.h"
#include "rostermodel.h"
#include "voicesettingswindow.h"

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

bool AnnounceRow(bool soundOn, const VoiceSettingsWindow* window, const RosterModel& roster, int row)
{
    if (!soundOn || !window || !window->speakingOn())
        return false;
    const int column = pronounceColumn(window->pronounceColumnText());
    if (column < 0)
        return false;
    return window->speech().SpeakAsync(roster.cell(row, column));
}
