#pragma once
#include "result.h"

#include <QObject>
#include <QStringList>

class ETextToSpeech;

// The speech settings and the announcing switch, as the settings window shows
// them. Every change goes to the speech object at once and is announced with
// changed(); the window only renders this state and sends the operator's intents.
// The roster column the pronounce-column text names: "1" → 0, "2" → 1,
// "3" → 2; -1 for any other text (nothing is spoken then).
int pronounceColumn(const QString& text);

class VoiceSettings : public QObject {
    Q_OBJECT
public:
    explicit VoiceSettings(ETextToSpeech& speech, QObject* parent = nullptr);
    ~VoiceSettings() override;

    ETextToSpeech& speech() const { return speech_; }

    // Lists the engine's voices behind the ones listed before (detecting twice
    // lists every voice twice), chooses the first and makes announcing ready:
    // a running announcing goes back to ready. Fails, changing nothing, when
    // the engine has no voice.
    Status detectVoices();
    QStringList voices() const { return voices_; }
    // A voice has been listed: the pronounce column and "启动" are available.
    bool ready() const { return !voices_.isEmpty(); }

    int voiceIndex() const { return voiceIndex_; }
    void chooseVoice(int index);

    // Slider positions 1 … 10; each reaches the engine at once.
    int ratePosition() const { return ratePosition_; }
    int volumePosition() const { return volumePosition_; }
    void setRatePosition(int position);
    void setVolumePosition(int position);
    static int rateForPosition(int position) { return 2 * position - 10; }
    static int volumeForPosition(int position) { return 10 * position; }

    // The roster column spoken, 0 … 2; -1 when the box's text names none.
    int pronounceColumn() const { return pronounceColumn_; }
    void setPronounceColumnText(const QString& text);

    // Announcing is on from start() until stop() or the next detection.
    bool speakingOn() const { return speakingOn_; }
    // Only once a voice was listed; hands the chosen voice, rate and volume to the engine.
    void start();
    // Discards the speech in progress and the queue; announcing is ready again.
    void stop();
    // "停止" stays available once announcing was started.
    bool stopAvailable() const { return stopAvailable_; }

    // Speak only the current person: each announcement first discards the
    // speech still queued.
    bool onlyCurrent() const { return onlyCurrent_; }
    void setOnlyCurrent(bool on);

    // False after the sound output failed, until speech is heard again.
    bool outputAvailable() const { return outputAvailable_; }

signals:
    void changed();
    // The sound output failed or came back (on the GUI thread).
    void outputAvailableChanged(bool available);

private:
    void setOutputAvailable(bool available);

    ETextToSpeech& speech_;
    QStringList voices_;
    int voiceIndex_ = -1;
    int ratePosition_ = 4;
    int volumePosition_ = 10;
    int pronounceColumn_ = 0;
    bool speakingOn_ = false;
    bool stopAvailable_ = false;
    bool onlyCurrent_ = false;
    bool outputAvailable_ = true;
};
