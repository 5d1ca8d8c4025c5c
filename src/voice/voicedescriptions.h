#pragma once
#include <QString>
#include <QStringList>

// What the engine tells about one installed voice.
struct VoiceInfo {
    QString name;  // the engine's own (English) name, "Chinese (Mandarin, latin as Pinyin)"
    QString identifier;  // the voice file, "sit/cmn-Latn-pinyin"
    QString language;  // its first language code, "cmn-latn-pinyin"
};

// The readable description the settings window lists: the language in Chinese
// and the voice's short identifier, "中文 普通话 (拼音) cmn-latn-pinyin".
// Only the Mandarin voice that reads names as pinyin carries "中文", so the
// default-voice rule below lands on it and not on the voice that reads some
// syllables with English sounds.
QString voiceDescription(const VoiceInfo& voice);

// The default voice: the first description that, lower-cased, contains
// "chinese" or "中文"; -1 when none does.
int defaultVoiceIndex(const QStringList& descriptions);
