#include "voicesettings.h"

#include "etexttospeech.h"

#include <QMetaObject>
#include <QPointer>

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

VoiceSettings::VoiceSettings(ETextToSpeech& speech, QObject* parent)
    : QObject(parent)
    , speech_(speech)
{
    // The player thread reports; the state changes on this object's thread.
    speech_.setOutputListener([this](bool available) {
        QMetaObject::invokeMethod(
            this, [this, available] { setOutputAvailable(available); }, Qt::QueuedConnection);
    });
}

VoiceSettings::~VoiceSettings()
{
    // Returns only when no report is under way, so none reaches a freed object.
    speech_.setOutputListener(nullptr);
}

Status VoiceSettings::detectVoices()
{
    const QStringList found = speech_.ListVoices();
    if (found.isEmpty())
        return failure(QStringLiteral("你的系统尚未安装语音引擎，请下载安装后再设置！"));
    voices_ += found;
    voiceIndex_ = 0;
    speech_.SelectVoice(voices_.first());
    // Detection while announcing leaves the speech in progress alone.
    speakingOn_ = false;
    emit changed();
    return Status::success();
}

void VoiceSettings::chooseVoice(int index)
{
    if (index < 0 || index >= voices_.size())
        return;
    voiceIndex_ = index;
    speech_.SelectVoice(voices_[index]);
    emit changed();
}

void VoiceSettings::setRatePosition(int position)
{
    ratePosition_ = position;
    speech_.SetRate(rateForPosition(position));
    emit changed();
}

void VoiceSettings::setVolumePosition(int position)
{
    volumePosition_ = position;
    speech_.SetVolume(volumeForPosition(position));
    emit changed();
}

void VoiceSettings::setPronounceColumnText(const QString& text)
{
    pronounceColumn_ = ::pronounceColumn(text);
    emit changed();
}

void VoiceSettings::start()
{
    if (!ready())
        return;
    if (voiceIndex_ >= 0)
        speech_.SelectVoice(voices_[voiceIndex_]);
    speech_.SetRate(rateForPosition(ratePosition_));
    speech_.SetVolume(volumeForPosition(volumePosition_));
    speakingOn_ = true;
    stopAvailable_ = true;
    speech_.ResumeSpeaking();
    emit changed();
}

void VoiceSettings::stop()
{
    speech_.StopSpeaking();
    speakingOn_ = false;
    emit changed();
}

void VoiceSettings::setOnlyCurrent(bool on)
{
    if (onlyCurrent_ == on)
        return;
    onlyCurrent_ = on;
    emit changed();
}

void VoiceSettings::setOutputAvailable(bool available)
{
    if (outputAvailable_ == available)
        return;
    outputAvailable_ = available;
    emit outputAvailableChanged(available);
}
