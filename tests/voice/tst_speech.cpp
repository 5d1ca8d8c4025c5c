#include "etexttospeech.h"
#include "recordingoutput.h"
#include "voicedescriptions.h"

#include <QtTest>

#include <cstdlib>

namespace {

int peak(const Utterance& u)
{
    int p = 0;
    for (int16_t s : u.samples)
        p = std::max(p, std::abs(int(s)));
    return p;
}

// The description of the voice whose short identifier is `id`.
QString voiceWithId(const QStringList& voices, const QString& id)
{
    for (const QString& v : voices)
        if (v.endsWith(' ' + id))
            return v;
    return {};
}

}  // namespace

class SpeechTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        output = std::make_shared<RecordingOutput>();
        speech = std::make_unique<ETextToSpeech>(output);
        QVERIFY(speech->CreateVoice());
    }
    void cleanup() { speech.reset(); }

    void withoutEngineEveryOperationReportsFalse()
    {
        speech->ReleaseVoice();
        for (int round = 0; round < 2; ++round) {
            QVERIFY(!speech->hasEngine());
            QVERIFY(!speech->SpeakAsync("张三"));
            QVERIFY(!speech->StopSpeaking());
            QVERIFY(!speech->ResumeSpeaking());
            QVERIFY(!speech->SetVolume(50));
            QVERIFY(!speech->SetRate(0));
            QVERIFY(speech->ListVoices().isEmpty());
            QVERIFY(!speech->SelectVoice(voiceDescription({"", "sit/cmn-Latn-pinyin", "cmn-latn-pinyin"})));
            QVERIFY(!speech->ReleaseVoice());
            // never created at all
            speech = std::make_unique<ETextToSpeech>(output);
        }
        QVERIFY(output->given().empty());
    }

    void oneEngineAtATime()
    {
        ETextToSpeech second(std::make_shared<RecordingOutput>());
        QVERIFY(!second.CreateVoice());
        QVERIFY(!second.SpeakAsync("张三"));
        speech->ReleaseVoice();
        QVERIFY(second.CreateVoice());
        QVERIFY(!second.ListVoices().isEmpty());
    }

    void defaultVoiceIsTheOnlyChineseDescription()
    {
        const QStringList voices = speech->ListVoices();
        QVERIFY(voices.size() > 10);
        QCOMPARE(QSet<QString>(voices.begin(), voices.end()).size(), voices.size());
        QStringList chinese;
        for (const QString& v : voices)
            if (v.toLower().contains("chinese") || v.contains("中文"))
                chinese << v;
        QCOMPARE(chinese, QStringList{QStringLiteral("中文 普通话 (拼音) cmn-latn-pinyin")});
        QCOMPARE(speech->CurrentVoice(), chinese.first());
        // the engine's order: Mandarin voices come before Cantonese ones
        QVERIFY(voices.indexOf(voiceWithId(voices, "cmn")) < voices.indexOf(voiceWithId(voices, "yue")));
    }

    void defaultVoiceReadsChineseNames()
    {
        const QString pinyin = speech->Phonemes("张三");
        QVERIFY2(!pinyin.isEmpty() && !pinyin.contains("(en)"), qPrintable(pinyin));
        // the other Mandarin voice reads 三 with English sounds: the check above would catch it
        QVERIFY(speech->SelectVoice(voiceWithId(speech->ListVoices(), "cmn")));
        QVERIFY2(speech->Phonemes("张三").contains("(en)"), qPrintable(speech->Phonemes("张三")));
    }

    void selectVoiceNeedsExactDescription()
    {
        const QString before = speech->CurrentVoice();
        const QString english = voiceWithId(speech->ListVoices(), "en-us");
        QVERIFY(!english.isEmpty());
        QVERIFY(!speech->SelectVoice(english.left(english.size() - 1)));
        QVERIFY(!speech->SelectVoice(english + ' '));
        QVERIFY(!speech->SelectVoice(""));
        QCOMPARE(speech->CurrentVoice(), before);
        QVERIFY(speech->SelectVoice(english));
        QCOMPARE(speech->CurrentVoice(), english);
    }

    void argumentRanges_data()
    {
        QTest::addColumn<bool>("volume");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("volume -1") << true << -1 << false;
        QTest::newRow("volume 0") << true << 0 << true;
        QTest::newRow("volume 100") << true << 100 << true;
        QTest::newRow("volume 101") << true << 101 << false;
        QTest::newRow("rate -11") << false << -11 << false;
        QTest::newRow("rate -10") << false << -10 << true;
        QTest::newRow("rate 10") << false << 10 << true;
        QTest::newRow("rate 11") << false << 11 << false;
    }
    void argumentRanges()
    {
        QFETCH(bool, volume);
        QFETCH(int, value);
        QFETCH(bool, accepted);
        QVERIFY(speech->SetVolume(40));
        QVERIFY(speech->SetRate(3));
        QCOMPARE(volume ? speech->SetVolume(value) : speech->SetRate(value), accepted);
        QCOMPARE(speech->Volume(), volume && accepted ? value : 40);
        QCOMPARE(speech->Rate(), !volume && accepted ? value : 3);
    }

    void rateMapsOntoWordsPerMinute()
    {
        QCOMPARE(ETextToSpeech::wordsPerMinute(0), 175);
        QCOMPARE(ETextToSpeech::wordsPerMinute(-10), 80);
        QCOMPARE(ETextToSpeech::wordsPerMinute(10), 450);
        for (int r = -9; r <= 10; ++r)
            QVERIFY(ETextToSpeech::wordsPerMinute(r) >= ETextToSpeech::wordsPerMinute(r - 1));
        QVERIFY(ETextToSpeech::wordsPerMinute(5) > 175 && ETextToSpeech::wordsPerMinute(-5) < 175);
    }

    void nameIsAudible()
    {
        QVERIFY(speech->SpeakAsync("张三"));
        speech->WaitUntilIdle();
        const auto given = output->given();
        QCOMPARE(int(given.size()), 1);
        QCOMPARE(given[0].sampleRate, 22050);
        QVERIFY(given[0].samples.size() > size_t(0.2 * given[0].sampleRate));
        QVERIFY(peak(given[0]) > 1000);
    }

    void rateAndVolumeReachTheEngine()
    {
        const QString text = QStringLiteral("张三李四王五");
        speech->SetRate(-10);
        speech->SpeakAsync(text);
        speech->SetRate(10);
        speech->SpeakAsync(text);
        speech->SetRate(0);
        speech->SetVolume(10);
        speech->SpeakAsync(text);
        speech->SetVolume(100);
        speech->SpeakAsync(text);
        speech->WaitUntilIdle();
        const auto given = output->given();
        QCOMPARE(int(given.size()), 4);
        QVERIFY(given[0].samples.size() > 2 * given[1].samples.size());
        QVERIFY(peak(given[3]) > 4 * peak(given[2]));
    }

    void queuedSpeechKeepsItsOrder()
    {
        const QStringList names{"张三", "李四", "王五", "赵六", "孙七"};
        for (const QString& n : names)
            QVERIFY(speech->SpeakAsync(n));
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), names);
    }

    void stopDiscardsCurrentAndQueued()
    {
        output->setHold(true);
        for (const QString& n : {"张三", "李四", "王五", "赵六", "孙七"})
            speech->SpeakAsync(n);
        QVERIFY(output->waitForCount(1));
        QVERIFY(speech->StopSpeaking());
        speech->WaitUntilIdle();  // returns only because the held play was cut
        QCOMPARE(output->texts(), QStringList{"张三"});
        QVERIFY(output->halts() >= 1);

        // speech goes on after a stop
        output->setHold(false);
        speech->SpeakAsync("周八");
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), (QStringList{"张三", "周八"}));
    }

    void deviceOutputWithoutSoundServerDoesNotBlock()
    {
        speech.reset();
        ETextToSpeech device;
        QVERIFY(device.CreateVoice());
        for (int i = 0; i < 3; ++i)
            device.SpeakAsync("张三");
        device.WaitUntilIdle();
        QVERIFY(!device.Phonemes("李四").isEmpty());
        QVERIFY(device.ReleaseVoice());
    }

    void descriptionsAreReadable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("description");
        QTest::newRow("pinyin") << "Chinese (Mandarin, latin as Pinyin)" << "sit/cmn-Latn-pinyin"
                                << "cmn-latn-pinyin" << "中文 普通话 (拼音) cmn-latn-pinyin";
        QTest::newRow("jyutping") << "Chinese (Cantonese, latin as Jyutping)" << "sit/yue-Latn-jyutping"
                                  << "yue" << "粤语 (粤拼) yue-latn-jyutping";
        QTest::newRow("variant") << "English (Great Britain)" << "gmw/en" << "en-gb"
                                 << "英语 (Great Britain) en";
        QTest::newRow("unknown Chinese") << "Wu Chinese" << "sit/wuu" << "wuu" << "Wu 汉语 wuu";
        QTest::newRow("no names") << "" << "xx" << "" << "xx";
    }
    void descriptionsAreReadable()
    {
        QFETCH(QString, name);
        QFETCH(QString, identifier);
        QFETCH(QString, language);
        QFETCH(QString, description);
        QCOMPARE(voiceDescription({name, identifier, language}), description);
    }

private:
    std::shared_ptr<RecordingOutput> output;
    std::unique_ptr<ETextToSpeech> speech;
};

QTEST_GUILESS_MAIN(SpeechTest)
#include "tst_speech.moc"
