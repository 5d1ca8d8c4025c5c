#include "etexttospeech.h"
#include "recordingoutput.h"
#include "voicedescriptions.h"

#include <QtTest>

#include <cstdlib>
#include <mutex>

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
        ETextToSpeech never(output);
        QVERIFY(!never.SpeakAsync("张三") && !never.ReleaseVoice());
        QVERIFY(speech->ReleaseVoice());
        QVERIFY(!speech->hasEngine());
        QVERIFY(!speech->SpeakAsync("张三") && !speech->StopSpeaking() && !speech->ResumeSpeaking());
        QVERIFY(!speech->SetVolume(50) && !speech->SetRate(0) && !speech->ReleaseVoice());
        QVERIFY(speech->ListVoices().isEmpty());
        QVERIFY(!speech->SelectVoice(QStringLiteral("中文 普通话 (拼音) cmn-latn-pinyin")));
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
        QCOMPARE(voices.first(), chinese.first());  // detection selects the first entry
        // otherwise the engine's order: Mandarin voices come before Cantonese ones
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

    void argumentRangesAreKept()
    {
        struct Case {
            bool volume;
            int value;
            bool accepted;
        };
        for (const Case c : {Case{true, -1, false},
                             {true, 0, true},
                             {true, 100, true},
                             {true, 101, false},
                             {false, -11, false},
                             {false, -10, true},
                             {false, 10, true},
                             {false, 11, false}}) {
            QVERIFY(speech->SetVolume(40) && speech->SetRate(3));
            QCOMPARE(c.volume ? speech->SetVolume(c.value) : speech->SetRate(c.value), c.accepted);
            QCOMPARE(speech->Volume(), c.volume && c.accepted ? c.value : 40);
            QCOMPARE(speech->Rate(), !c.volume && c.accepted ? c.value : 3);
        }
    }

    void rateMapsOntoWordsPerMinute()
    {
        QCOMPARE(ETextToSpeech::wordsPerMinute(0), 175);
        QCOMPARE(ETextToSpeech::wordsPerMinute(-10), 80);
        QCOMPARE(ETextToSpeech::wordsPerMinute(10), 450);
        for (int r = -9; r <= 10; ++r)
            QVERIFY(ETextToSpeech::wordsPerMinute(r) >= ETextToSpeech::wordsPerMinute(r - 1));
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

    void stopDiscardsCurrentAndQueued()
    {
        output->setHold(true);
        for (const char* n : {"张三", "李四", "王五", "赵六", "孙七"})
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

    void outputThatFailsIsReportedAndComesBack()
    {
        std::mutex m;
        QList<bool> reports;
        speech->setOutputListener([&](bool available) {
            std::lock_guard<std::mutex> lock(m);
            reports << available;
        });
        output->setFailing(true);
        speech->SpeakAsync("张三");
        speech->SpeakAsync("李四");
        speech->WaitUntilIdle();
        QCOMPARE(output->failures(), 2);  // each announcement tries the output again
        output->setFailing(false);
        speech->SpeakAsync("王五");
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), QStringList{"王五"});
        speech->setOutputListener(nullptr);
        std::lock_guard<std::mutex> lock(m);
        QCOMPARE(reports, (QList<bool>{false, true}));  // once each way
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

    void descriptionsAreReadable()
    {
        QCOMPARE(voiceDescription({"English (Great Britain)", "gmw/en", "en-gb"}),
                 QStringLiteral("英语 (Great Britain) en"));
        // a Chinese voice the engine may add later must not take the default
        QCOMPARE(voiceDescription({"Wu Chinese", "sit/wuu", "wuu"}), QStringLiteral("Wu 汉语 wuu"));
    }

private:
    std::shared_ptr<RecordingOutput> output;
    std::unique_ptr<ETextToSpeech> speech;
};

QTEST_GUILESS_MAIN(SpeechTest)
#include "tst_speech.moc"
