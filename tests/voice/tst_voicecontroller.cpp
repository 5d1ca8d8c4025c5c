// The speaker picture opens the voice settings; rows shown or saved are announced.
#include "etexttospeech.h"
#include "mainwindow.h"
#include "recordingoutput.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "speechvoice.h"
#include "translabel.h"
#include "voicecontroller.h"
#include "voicesettings.h"
#include "voicesettingswindow.h"

#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class VoiceControllerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!speechVoice().hasEngine());  // the stand-in before start-up
        {
            SpeechVoiceScope startUp;
            QVERIFY(speechVoice().hasEngine());
        }
        QVERIFY(!speechVoice().hasEngine());  // released: the engine is free again
        {
            // The window's start: installed at once, the engine after the first paint.
            const ETextToSpeech* standIn = &speechVoice();
            SpeechVoiceScope startUp(SpeechVoiceScope::Start::Later);
            QVERIFY(&speechVoice() != standIn);
            QVERIFY(!speechVoice().hasEngine());
            startUp.start();
            QVERIFY(speechVoice().hasEngine());
        }
        QVERIFY(!speechVoice().hasEngine());
    }
    void init()
    {
        output = std::make_shared<RecordingOutput>();
        speech = std::make_unique<ETextToSpeech>(output);
        QVERIFY(speech->CreateVoice());
        installSpeechVoice(speech.get());
        window = std::make_unique<MainWindow>();
    }
    void cleanup()
    {
        window.reset();
        installSpeechVoice(nullptr);
        speech.reset();
    }

    void rightReleaseOnSpeakerLoadsThenToggles()
    {
        QVERIFY(!window->voice->settingsWindow());
        QWidget* speaker = window->findChild<QWidget*>("图片框1");
        QTest::mouseClick(speaker, Qt::LeftButton);
        QVERIFY(!window->voice->settingsWindow());
        QTest::mouseClick(speaker, Qt::RightButton);
        VoiceSettingsWindow* settings = window->voice->settingsWindow();
        QVERIFY(settings);
        QCOMPARE(settings->parentWidget(), window.get());
        QVERIFY(settings->isWindow());
        QVERIFY(settings->isVisible());
        QCOMPARE(settings->windowModality(), Qt::NonModal);
        QCOMPARE(&settings->settings(), &window->voice->settings());
        QCOMPARE(&window->voice->settings().speech(), speech.get());
        QTest::mouseClick(speaker, Qt::RightButton);
        QVERIFY(!settings->isVisible());
        QTest::mouseClick(speaker, Qt::RightButton);
        QCOMPARE(window->voice->settingsWindow(), settings);  // loaded once
        QVERIFY(settings->isVisible());
    }

    void announcesWhenSoundAndAnnouncingAreOn()
    {
        auto* list = window->findChild<RosterListView*>("超级列表框1");
        QVERIFY(!window->voice->announceCurrentRow());  // empty roster, no window yet

        Roster rows;
        rows.push_back({{"2023001", "张三", "一班", ""}});
        rows.push_back({{"2023002", "李四", "二班", ""}});
        list->roster()->setRoster(rows);
        list->setCurrentRow(1);
        QVERIFY(!window->voice->announceCurrentRow());  // settings never opened

        window->voice->toggleSettingsWindow();
        VoiceSettingsWindow* settings = window->voice->settingsWindow();
        settings->findChild<QPushButton*>("按钮检测")->click();
        settings->findChild<QPushButton*>("按钮启动")->click();
        QVERIFY(!window->voice->announceCurrentRow());  // sound switch still off

        QTest::mouseDClick(window->findChild<QWidget*>("图片框1"), Qt::LeftButton);  // sound on
        QVERIFY(window->appState().soundOn());
        QVERIFY(window->voice->announceCurrentRow());
        settings->findChild<QSpinBox*>("编辑框1")->setValue(3);
        QVERIFY(window->voice->announceRow(0));
        window->roster()->ShowCurrentPhoto();  // the roster's own display path
        speech->WaitUntilIdle();
        // The name shown beside the photo name first, then the column picked.
        QCOMPARE(output->texts(), (QStringList{"李四", "一班", "二班"}));
    }

    void lostOutputIsSaidOnceAndSpeechComesBack()
    {
        auto* list = window->findChild<RosterListView*>("超级列表框1");
        Roster rows;
        rows.push_back({{"2023001", "张三", "一班", ""}});
        rows.push_back({{"2023002", "李四", "二班", ""}});
        list->roster()->setRoster(rows);
        VoiceSettings& settings = window->voice->settings();
        QVERIFY(settings.detectVoices());
        settings.start();
        QTest::mouseDClick(window->findChild<QWidget*>("图片框1"), Qt::LeftButton);  // sound on

        output->setFailing(true);  // no sound server
        QVERIFY(window->voice->announceRow(0));
        QTRY_COMPARE(window->status(), VoiceController::noOutputStatus);
        QVERIFY(!window->appState().soundOutputAvailable());  // the speaker shown off
        window->setStatus("当前状态: 保存照片完成!");
        QVERIFY(window->voice->announceRow(1));  // tried again, still nothing
        QTRY_COMPARE(output->failures(), 2);
        speech->WaitUntilIdle();
        QCoreApplication::processEvents();
        QCOMPARE(window->status(), QStringLiteral("当前状态: 保存照片完成!"));  // said once
        QVERIFY(!settings.outputAvailable());

        output->setFailing(false);  // the server is back
        QVERIFY(window->voice->announceRow(1));
        speech->WaitUntilIdle();
        QCOMPARE(output->texts(), QStringList{"李四"});
        QTRY_VERIFY(settings.outputAvailable());
        QVERIFY(settings.speakingOn());
    }

    void destroyedWhileTheOutputReports()
    {
        // The report crosses to the GUI thread after the window (and the
        // settings that listen) may be gone.
        VoiceSettings& settings = window->voice->settings();
        QVERIFY(settings.detectVoices());
        settings.start();
        window->appState().setSoundOn(true);
        Roster rows;
        rows.push_back({{"张三", "2023001", "一班", ""}});
        window->findChild<RosterListView*>("超级列表框1")->roster()->setRoster(rows);
        output->setFailing(true);
        QVERIFY(window->voice->announceRow(0));
        window.reset();
        speech->WaitUntilIdle();
        QCoreApplication::processEvents();
        QCOMPARE(output->failures(), 1);
    }

private:
    std::shared_ptr<RecordingOutput> output;
    std::unique_ptr<ETextToSpeech> speech;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(VoiceControllerTest)
#include "tst_voicecontroller.moc"
