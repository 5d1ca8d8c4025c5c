#include "announce.h"
#include "common/testdialogs.h"
#include "etexttospeech.h"
#include "recordingoutput.h"
#include "rostermodel.h"
#include "voicesettings.h"
#include "voicesettingswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

class VoiceSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        output = std::make_shared<RecordingOutput>();
        speech = std::make_unique<ETextToSpeech>(output);
        QVERIFY(speech->CreateVoice());
        settings = std::make_unique<VoiceSettings>(*speech);
        window = std::make_unique<VoiceSettingsWindow>(*settings);
        roster = std::make_unique<RosterModel>();
        Roster rows;
        rows.push_back({{"张三", "2023001", "一班", ""}});
        rows.push_back({{"李四", "2023002", "二班", ""}});
        rows.push_back({{"王五", "2023003", "三班", ""}});
        rows.push_back({{"赵六", "2023004", "四班", ""}});
        rows.push_back({{"孙七", "2023005", "五班", ""}});
        roster->setRoster(rows);
    }
    void cleanup()
    {
        window.reset();
        settings.reset();
        speech.reset();
    }

    void formUnits()
    {
        struct Unit {
            const char* name;
            QRect place;
            const char* text;
        };
        const Unit units[] = {
            {"组合框1", {8, 16, 327, 22}, ""},           {"透明标签2", {8, 46, 25, 24}, "语速"},
            {"滑块条1", {40, 48, 120, 20}, ""},          {"透明标签3", {187, 46, 25, 24}, "音量"},
            {"滑块条2", {215, 48, 120, 20}, ""},         {"按钮检测", {9, 76, 56, 24}, "检测引擎"},
            {"透明标签1", {72, 76, 48, 24}, "发音 列"},  {"编辑框1", {120, 76, 31, 24}, "1"},
            {"按钮启动", {179, 76, 40, 24}, "启动"},     {"按钮停止", {228, 76, 40, 24}, "停止"},
            {"按钮完成", {278, 76, 56, 24}, "设置完成"}, {"选择框1", {9, 106, 120, 22}, "只读当前"},
        };
        for (const Unit& u : units) {
            QWidget* w = unit<QWidget>(u.name);
            QCOMPARE(w->geometry(), u.place);
            QString text;
            if (auto* b = qobject_cast<QPushButton*>(w))
                text = b->text();
            else if (auto* l = qobject_cast<QLabel*>(w))
                text = l->text();
            else if (auto* s = qobject_cast<QSpinBox*>(w))
                text = s->text();
            else if (auto* c = qobject_cast<QCheckBox*>(w))
                text = c->text();
            QCOMPARE(text, QString::fromUtf8(u.text));
        }
    }

    void startsIdle()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("语音设置"));
        QCOMPARE(window->size(), QSize(349, 135));
        QCOMPARE(unit<QComboBox>("组合框1")->count(), 0);
        QVERIFY(!unit<QSpinBox>("编辑框1")->isEnabled());  // no voice listed yet
        QCOMPARE(unit<QSpinBox>("编辑框1")->minimum(), 1);
        QCOMPARE(unit<QSpinBox>("编辑框1")->maximum(), 3);
        QVERIFY(!unit<QPushButton>("按钮启动")->isEnabled());
        QVERIFY(!unit<QPushButton>("按钮停止")->isEnabled());
        for (const char* name : {"滑块条1", "滑块条2"}) {
            QSlider* s = unit<QSlider>(name);
            QCOMPARE(QList<int>({s->minimum(), s->maximum(), s->pageStep(), s->singleStep()}),
                     QList<int>({1, 10, 5, 1}));
        }
        QCOMPARE(unit<QSlider>("滑块条1")->value(), 4);
        QCOMPARE(unit<QSlider>("滑块条2")->value(), 10);
        QVERIFY(!settings->speakingOn());
        QVERIFY(!unit<QCheckBox>("选择框1")->isChecked());
        QVERIFY(!settings->onlyCurrent());
    }

    void detectingTwiceListsEveryVoiceTwice()
    {
        const QStringList voices = speech->ListVoices();
        click("按钮检测");
        unit<QComboBox>("组合框1")->setCurrentIndex(3);
        click("按钮检测");
        QComboBox* combo = unit<QComboBox>("组合框1");
        QCOMPARE(combo->count(), 2 * voices.size());
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->itemText(voices.size()), voices.first());
        QCOMPARE(combo->itemText(2 * voices.size() - 1), voices.last());
        QCOMPARE(speech->CurrentVoice(), voices.first());
        QVERIFY(voices.first().contains("cmn-latn-pinyin"));
        QVERIFY(unit<QSpinBox>("编辑框1")->isEnabled());
        QVERIFY(unit<QPushButton>("按钮启动")->isEnabled());
        QVERIFY(!settings->speakingOn());
    }

    void detectionWithoutEngineSaysSo()
    {
        TestDialogs dialogs;
        ETextToSpeech none(output);  // never created: no engine
        VoiceSettings noneSettings(none);
        VoiceSettingsWindow w(noneSettings);
        w.findChild<QPushButton*>("按钮检测")->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("你的系统尚未安装语音引擎，请下载安装后再设置！"));
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("温馨提示"));
        QCOMPARE(dialogs.messages[0].icon, Dialogs::Icon::Information);
        QCOMPARE(w.findChild<QComboBox*>("组合框1")->count(), 0);
        QVERIFY(!w.findChild<QSpinBox*>("编辑框1")->isEnabled());
        QVERIFY(!w.findChild<QPushButton*>("按钮启动")->isEnabled());
    }

    void slidersSetRateAndVolumeAtOnce()
    {
        unit<QSlider>("滑块条1")->setValue(7);
        QCOMPARE(speech->Rate(), 4);
        unit<QSlider>("滑块条1")->setValue(1);
        QCOMPARE(speech->Rate(), -8);
        unit<QSlider>("滑块条2")->setValue(3);
        QCOMPARE(speech->Volume(), 30);
        QVERIFY(!settings->speakingOn());
    }

    void startWithoutDetectionDoesNothing()
    {
        // even when the start button is reachable, the unlisted voice box keeps it off
        unit<QPushButton>("按钮启动")->setEnabled(true);
        click("按钮启动");
        QVERIFY(unit<QPushButton>("按钮启动")->isEnabled());
        QVERIFY(!unit<QPushButton>("按钮停止")->isEnabled());
        QVERIFY(unit<QComboBox>("组合框1")->isEnabled());
        QVERIFY(!settings->speakingOn());
        QCOMPARE(speech->Rate(), 0);  // the engine's own default: untouched
    }

    void startStopAndDetectAgain()
    {
        click("按钮检测");
        const QString chosen = unit<QComboBox>("组合框1")->itemText(5);
        unit<QComboBox>("组合框1")->setCurrentIndex(5);
        speech->SelectVoice(unit<QComboBox>("组合框1")->itemText(0));  // engine moved elsewhere
        click("按钮启动");
        QVERIFY(settings->speakingOn());
        QCOMPARE(speech->CurrentVoice(), chosen);
        QCOMPARE(speech->Rate(), -2);
        QCOMPARE(speech->Volume(), 100);
        QVERIFY(!unit<QComboBox>("组合框1")->isEnabled());
        QVERIFY(unit<QPushButton>("按钮停止")->isEnabled());

        click("按钮停止");
        QVERIFY(!settings->speakingOn());
        QVERIFY(unit<QComboBox>("组合框1")->isEnabled());
        QVERIFY(unit<QPushButton>("按钮启动")->isEnabled());
        QVERIFY(unit<QPushButton>("按钮停止")->isEnabled());

        click("按钮启动");
        QVERIFY(settings->speakingOn());
        click("按钮检测");
        QVERIFY(!settings->speakingOn());
    }

    void closingOnlyHides()
    {
        click("按钮检测");
        click("按钮启动");
        window->show();
        QVERIFY(!window->close());
        QVERIFY(!window->isVisible() && settings->speakingOn());
        window->show();
        click("按钮完成");
        QVERIFY(!window->isVisible() && settings->speakingOn());
    }

    void announceRow_data()
    {
        QTest::addColumn<bool>("soundOn");
        QTest::addColumn<bool>("started");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("both on") << true << true << 1 << 1 << QStringList{"李四"};
        QTest::newRow("second column") << true << true << 2 << 0 << QStringList{"2023001"};
        QTest::newRow("third column") << true << true << 3 << 4 << QStringList{"五班"};
        QTest::newRow("sound off") << false << true << 1 << 1 << QStringList{};
        QTest::newRow("announcing off") << true << false << 1 << 1 << QStringList{};
        QTest::newRow("both off") << false << false << 1 << 1 << QStringList{};
    }
    void announceRow()
    {
        QFETCH(bool, soundOn);
        QFETCH(bool, started);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(QStringList, spoken);
        click("按钮检测");
        if (started)
            click("按钮启动");
        unit<QSpinBox>("编辑框1")->setValue(column);
        QCOMPARE(announce(soundOn, row), !spoken.isEmpty());
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), spoken);
    }

    void fiveRowsAreSpokenInOrder()
    {
        click("按钮检测");
        click("按钮启动");
        for (int r = 0; r < 5; ++r)
            QVERIFY(announce(true, r));
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), (QStringList{"张三", "李四", "王五", "赵六", "孙七"}));
    }

    void stopSilencesTheRest()
    {
        click("按钮检测");
        click("按钮启动");
        output->setHold(true);  // the first name is still being spoken
        for (int r = 0; r < 5; ++r)
            announce(true, r);
        QVERIFY(output->waitForCount(1));
        click("按钮停止");
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), QStringList{"张三"});
        QVERIFY(output->halts() >= 1);
        QVERIFY(!settings->speakingOn());
        QVERIFY(!announce(true, 1));
        QVERIFY(::pronounceColumn(QStringLiteral("１")) < 0 && ::pronounceColumn(" 1") < 0);
    }

    void onlyCurrentPurgesTheQueue_data()
    {
        QTest::addColumn<bool>("onlyCurrent");
        QTest::newRow("queue kept") << false;
        QTest::newRow("only the current") << true;
    }
    void onlyCurrentPurgesTheQueue()
    {
        QFETCH(bool, onlyCurrent);
        click("按钮检测");
        click("按钮启动");
        if (onlyCurrent)
            unit<QCheckBox>("选择框1")->click();
        QCOMPARE(settings->onlyCurrent(), onlyCurrent);
        output->setHold(true);  // the first name is still being spoken
        QVERIFY(announce(true, 0));
        QVERIFY(output->waitForCount(1));
        for (int r = 1; r < 5; ++r)
            QVERIFY(announce(true, r));  // five quick advances
        output->setHold(false);
        speech->WaitUntilIdle();
        const QStringList spoken = output->texts();
        if (!onlyCurrent) {
            QCOMPARE(spoken, (QStringList{"张三", "李四", "王五", "赵六", "孙七"}));
        } else {
            // The name being spoken is cut; the ones passed in between are
            // dropped (unless one was already sounding), the last is heard.
            QVERIFY2(spoken.size() < 5 && spoken.first() == "张三" && spoken.last() == "孙七",
                     qPrintable(spoken.join(',')));
        }
        QVERIFY(settings->speakingOn());  // purging is not stopping
    }

private:
    bool announce(bool soundOn, int row)
    {
        return AnnounceRow(soundOn, *settings, [this, row](int column) { return roster->cell(row, column); });
    }
    template <class T> T* unit(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromUtf8(name));
        if (!w)
            qFatal("unit %s missing", name);
        return w;
    }
    void click(const char* name) { QTest::mouseClick(unit<QPushButton>(name), Qt::LeftButton); }

    std::shared_ptr<RecordingOutput> output;
    std::unique_ptr<ETextToSpeech> speech;
    std::unique_ptr<VoiceSettings> settings;
    std::unique_ptr<VoiceSettingsWindow> window;
    std::unique_ptr<RosterModel> roster;
};

QTEST_MAIN(VoiceSettingsTest)
#include "tst_voicesettings.moc"
