#pragma once
#include <QObject>

class ETextToSpeech;
class StationContext;
class VoiceSettings;
class VoiceSettingsWindow;

// Wires the main window to the voice settings: the right button released on
// the speaker picture opens the settings window or toggles it. The roster's
// ShowCurrentPhoto announces through the hook set here; the save that moves
// on to the next person calls announceRow(savedCurrentRow). A sound output
// that fails is reported once in the status line.
class VoiceController : public QObject {
    Q_OBJECT
public:
    VoiceController(StationContext& window, ETextToSpeech& speech);

    // The settings and the announcing switch, from start.
    VoiceSettings& settings() const { return *settings_; }
    // Loaded on first use; nullptr before.
    VoiceSettingsWindow* settingsWindow() const { return settingsWindow_; }
    // Loads the settings window (non-modal, owned by the main window) and shows
    // it, or toggles its visibility once loaded.
    void toggleSettingsWindow();

    // Announces roster row `row` when the sound switch and announcing are on.
    bool announceRow(int row);
    // At the end of showing the current photo: the current row, when the roster has rows.
    bool announceCurrentRow();

    static const QString noOutputStatus;

private:
    void placeSettingsWindow();
    void followDisplayColumn(int column);

    StationContext& window_;
    VoiceSettings* settings_;
    VoiceSettingsWindow* settingsWindow_ = nullptr;
    bool followingDisplay_ = true;
    bool settingColumn_ = false;
    int followedColumn_ = -1;
};
