#pragma once
#include <QWidget>

#include <memory>

class VoiceSettings;

namespace Ui {
class VoiceSettingsWindow;
}

// The speech settings window: shows the voice settings and sends the
// operator's choices to them (detect, voice, rate, volume, the roster column
// to speak, start and stop, speak only the current person). Closing it only
// hides it; announcing goes on.
class VoiceSettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoiceSettingsWindow(VoiceSettings& settings, QWidget* parent = nullptr);
    ~VoiceSettingsWindow() override;

    VoiceSettings& settings() const { return settings_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void render();

    std::unique_ptr<Ui::VoiceSettingsWindow> ui;
    VoiceSettings& settings_;
};
