#pragma once
#include <QString>

class RosterModel;
class VoiceSettingsWindow;

// The roster column the pronounce-column text names: "1" → 0, "2" → 1,
// "3" → 2; -1 for any other text (nothing is spoken then).
int pronounceColumn(const QString& text);

// Announces roster row `row`: speaks its cell in the pronounce column when the
// sound switch is on and the settings window has announcing on. A window not
// loaded yet (nullptr) means announcing is off. True when a text was queued.
bool AnnounceRow(bool soundOn, const VoiceSettingsWindow* window, const RosterModel& roster, int row);
