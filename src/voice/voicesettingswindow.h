#pragma once
#include <QWidget>

#include <memory>

class ETextToSpeech;

namespace Ui {
class VoiceSettingsWindow;
}

// The speech settings window: detect the voices, choose one, set rate and
// volume, the roster column to speak, and switch announcing on and off.
// Closing it only hides it; announcing goes on.
class VoiceSettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoiceSettingsWindow(ETextToSpeech& speech, QWidget* parent = nullptr);
    ~VoiceSettingsWindow() override;

    // Announcing is on: from "启动" until "停止" or the next detection.
    bool speakingOn() const;
    // The pronounce-column box's text ("1", "2" or "3").
    QString pronounceColumnText() const;
    ETextToSpeech& speech() const { return speech_; }

    // Slider positions to engine values.
    static int rateForPosition(int position) { return 2 * position - 10; }
    static int volumeForPosition(int position) { return 10 * position; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void detectVoices();
    void startAnnouncing();
    void stopAnnouncing();

    std::unique_ptr<Ui::VoiceSettingsWindow> ui;
    ETextToSpeech& speech_;
};
