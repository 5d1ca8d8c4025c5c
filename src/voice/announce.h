#pragma once
#include <QString>

#include <functional>

class VoiceSettings;

// Announces a roster row: speaks its cell in the pronounce column (cellText
// gives a column's text) when the sound switch is on and announcing is on.
// With "只读当前" the speech still queued is discarded first. True when a
// text was queued.
bool AnnounceRow(bool soundOn, VoiceSettings& settings, const std::function<QString(int column)>& cellText);
