// The camera controls of the main window, driven by unit names.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturesession.h"
#include "capturetesthelp.h"
#include "mainwindow.h"
#include "programpaths.h"
#include "testdialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace capture;

namespace {

template <typename T = QWidget> T* unit(MainWindow& w, const char* name)
{
    T* u = w.findChild<T*>(QString::fromUtf8(name));
    if (!u)
        qFatal("no unit %s", name);
    return u;
}

// A camera as the system would list one: not the built-in source.
CaptureSource namedCamera(const QString& name)
{
    CaptureSource s;
    s.description = name;
    s.inputFormat = QStringLiteral("lavfi");
    s.url = testCameraGraph({QSize(320, 240), QStringLiteral("bgr0"), 25});
    return s;
}

const CaptureState& state(MainWindow& w)
{
    return w.camera->state();
}

// Waits for a detection (one driver per event-loop turn) to finish.
bool detect(MainWindow& w)
{
    QSignalSpy done(w.camera, &CameraController::listingFinished);
    unit<QPushButton>(w, "按钮检测设备")->click();
    return done.wait(10000);
}

void click(MainWindow& w, const char* name)
{
    unit<QPushButton>(w, name)->click();
}

bool isTableColour(const QColor& c)
{
    for (unsigned bgr : CameraController::frameColours)
        if (CameraController::colourOf(bgr) == c)
            return true;
    return false;
}

}  // namespace

class TestCameraController : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    void init()
    {
        setSourceProvider([] {
            return QList<CaptureSource>{namedCamera(QStringLiteral("相机甲")), namedCamera(QStringLiteral("相机乙")),
                                        testCamera()};
        });
    }
    void cleanup()
    {
        setSourceProvider({});
        setDialogRunner({});
    }

    void withoutCamerasTheTestSourceIsShownSelected()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        MainWindow w;
        auto* box = unit<QComboBox>(w, "组合框");
        QCOMPARE(box->itemText(0), CameraController::addressEntryText());
        QCOMPARE(box->currentText(), testCameraDescription());
        QCOMPARE(unit<capControl>(w, "视频设备")->driverDescription(), testCameraDescription());
    }

    void listingConnectsTheDriverShownAsSelected()
    {
        MainWindow w;
        auto* box = unit<QComboBox>(w, "组合框");
        auto* dev = unit<capControl>(w, "视频设备");
        // The cameras, the address and folder entries, the test source last.
        const QStringList texts = {QStringLiteral("相机甲"), QStringLiteral("相机乙"),
                                   CameraController::addressEntryText(), CameraController::folderEntryText(),
                                   testCameraDescription()};
        const QList<int> drivers = {1, 2, capControl::kAddressSource, CameraController::kFolderEntry, 3};
        auto expectItems = [&] {
            QCOMPARE(box->count(), texts.size());
            for (int k = 0; k < texts.size(); ++k) {
                QCOMPARE(box->itemText(k), texts[k]);
                QCOMPARE(box->itemData(k).toInt(), drivers[k]);
            }
        };
        expectItems();
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(dev->driverIndex(), 1);
        QCOMPARE(dev->driverDescription(), box->currentText());
        QVERIFY(state(w).devicesListed());
        QCOMPARE(state(w).knownDriverCount(), 3);

        box->setCurrentIndex(1);
        QCOMPARE(dev->driverDescription(), QStringLiteral("相机乙"));
        box->setCurrentIndex(4);
        QCOMPARE(dev->driverDescription(), testCameraDescription());
        box->setCurrentIndex(0);
        QCOMPARE(dev->driverIndex(), 1);

        // Detecting again while previewing keeps the preview and shows the first.
        click(w, "预览按钮");
        QVERIFY(state(w).previewOn());
        box->setCurrentIndex(1);
        QVERIFY(detect(w));
        expectItems();
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(dev->driverIndex(), 1);
        QVERIFY(state(w).previewOn());
        QVERIFY(dev->isPreviewing());

        // A second detection while one runs starts it over, once.
        QSignalSpy done(w.camera, &CameraController::listingFinished);
        click(w, "按钮检测设备");
        QVERIFY(w.camera->isListing());
        click(w, "按钮检测设备");
        QVERIFY(done.wait(10000));
        QVERIFY(!w.camera->isListing());
        QCOMPARE(done.count(), 1);
        expectItems();
    }

    void previewSwitchSetsEveryControl()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        click(w, "预览按钮");
        QVERIFY(state(w).previewOn());
        QVERIFY(dev->isPreviewing());
        QCOMPARE(w.status(), QStringLiteral("当前状态:  照相设备已打开!"));
        QCOMPARE(unit<QLabel>(w, "标签3")->text(), QStringLiteral("开启状态"));
        QCOMPARE(unit<QPushButton>(w, "预览按钮")->text(), QStringLiteral("关闭预览"));
        QVERIFY(unit(w, "按钮照相")->isEnabled());
        for (const char* box : {"编辑框3", "编辑框4", "编辑框5"})
            QVERIFY(unit(w, box)->isEnabled());
        QVERIFY(unit(w, "外形框1")->isVisibleTo(&w));
        for (const char* hidden : {"透明标签16", "图片框111", "图片框1111", "图片框2"})
            QVERIFY2(!unit(w, hidden)->isVisibleTo(&w), hidden);
        QVERIFY(isTableColour(w.camera->frameColour()));

        click(w, "预览按钮");
        QVERIFY(!state(w).previewOn());
        QVERIFY(!dev->isPreviewing());
        QCOMPARE(w.status(), QStringLiteral("当前状态: 照相设备已关闭!"));
        QCOMPARE(unit<QLabel>(w, "标签3")->text(), QStringLiteral("关闭状态"));
        QCOMPARE(unit<QPushButton>(w, "预览按钮")->text(), QStringLiteral("开启预览"));
        QVERIFY(!unit(w, "按钮照相")->isEnabled());
        for (const char* box : {"编辑框3", "编辑框4", "编辑框5"})
            QVERIFY(!unit(w, box)->isEnabled());
        QVERIFY(!unit(w, "外形框1")->isVisibleTo(&w));
        QVERIFY(unit(w, "透明标签16")->isVisibleTo(&w));
        QVERIFY(unit(w, "图片框2")->isVisibleTo(&w));
        QVERIFY(unit(w, "图片框1111")->isVisibleTo(&w));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void withoutSourceOnlyTheFrameColourChanges()
    {
        setSourceProvider([] { return QList<CaptureSource>{}; });
        TestDialogs dialogs;
        MainWindow w;
        // Only the address and folder entries: a network camera or a hot folder may still be used.
        QCOMPARE(unit<QComboBox>(w, "组合框")->count(), 2);
        const QString status = w.status();
        QSet<QRgb> colours;
        for (int i = 0; i < 40; ++i) {
            click(w, "预览按钮");
            QVERIFY(isTableColour(w.camera->frameColour()));
            colours.insert(w.camera->frameColour().rgb());
        }
        QVERIFY(colours.size() > 1);  // drawn anew on every press
        QCOMPARE(dialogs.messages.size(), 40);
        QCOMPARE(dialogs.messages.first().text, QStringLiteral("未发现可用视频来源！"));
        QCOMPARE(dialogs.messages.first().title, QStringLiteral("温馨提示"));
        QCOMPARE(dialogs.messages.first().icon, Dialogs::Icon::Question);
        QVERIFY(!state(w).previewOn());
        QCOMPARE(w.status(), status);
        QCOMPARE(unit<QLabel>(w, "标签3")->text(), QStringLiteral("关闭状态"));

        click(w, "录制按钮");
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("没有来源,捕获必须知道来源或正在捕获中！"));
        QCOMPARE(dialogs.messages.last().title, QStringLiteral("信息："));
        QVERIFY(dialogs.saveRequests.isEmpty());
    }

    void settingsButtons()
    {
        TestDialogs dialogs;
        MainWindow w;
        int shown = 0;
        setDialogRunner([&](QDialog&) {
            ++shown;
            return int(QDialog::Rejected);
        });
        unit<QComboBox>(w, "组合框")->setCurrentIndex(4);
        click(w, "视频输出按钮");  // the test camera has no picture controls
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("硬件不支持此功能或未初始化！")});
        QCOMPARE(dialogs.messages.first().icon, Dialogs::Icon::Information);
        click(w, "压缩格式按钮");
        click(w, "按钮2");
        QCOMPARE(shown, 2);
        QCOMPARE(dialogs.messages.size(), 1);

        unit<capControl>(w, "视频设备")->tearDownBackend();
        click(w, "压缩格式按钮");
        QCOMPARE(dialogs.messages.size(), 2);
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("硬件不支持此功能或未初始化！"));
    }

    void recordingFromIdle()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");

        // Cancelled: the preview came on by itself, nothing else.
        click(w, "录制按钮");
        QCOMPARE(dialogs.saveRequests.size(), 1);
        const Dialogs::SaveFileRequest& r = dialogs.saveRequests.first();
        QCOMPARE(r.title, QStringLiteral("选择你存放的位置（放弃回是默认值）"));
        QCOMPARE(r.filter, QStringLiteral("AVI文件|*.avi"));
        QCOMPARE(r.defaultSuffix, QStringLiteral("avi"));
        QCOMPARE(r.directory, paths::programDirectory());
        QVERIFY(state(w).previewOn());
        QVERIFY(dev->isPreviewing());
        QVERIFY(!state(w).recording());
        QVERIFY(!dev->isCapturing());
        QVERIFY(!unit(w, "外形框1")->isVisibleTo(&w));
        QVERIFY(!unit(w, "按钮照相")->isEnabled());
        QVERIFY(!unit(w, "透明标签16")->isVisibleTo(&w));

        const QString path = dir_.filePath(QStringLiteral("课堂.avi"));
        dialogs.saveAnswers.enqueue(path);
        click(w, "录制按钮");
        QVERIFY(state(w).recording());
        QVERIFY(dev->isCapturing());
        QCOMPARE(w.status(), QStringLiteral("视频正在录制中……"));
        QVERIFY(!unit(w, "录制按钮")->isEnabled());
        QVERIFY(unit(w, "结束录制按钮")->isEnabled());
        w.camera->StartRecording();  // a second start is refused
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("没有来源,捕获必须知道来源或正在捕获中！"));

        QTRY_VERIFY_WITH_TIMEOUT(dev->framesRecorded() >= 10, 10000);
        click(w, "结束录制按钮");
        QVERIFY(!state(w).recording());
        QVERIFY(!dev->isCapturing());
        QVERIFY(!state(w).previewOn());
        // The end names the file and its length.
        QVERIFY2(w.status().startsWith(QStringLiteral("录制视频结束……已保存到 ")) && w.status().contains(".avi（") &&
                     w.status().endsWith(QStringLiteral(" 秒）")),
                 qPrintable(w.status()));
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(!unit(w, "结束录制按钮")->isEnabled());
        QVERIFY(unit(w, "透明标签16")->isVisibleTo(&w));
        QVERIFY(unit(w, "图片框2")->isVisibleTo(&w));
        QCOMPARE(unit<QPushButton>(w, "预览按钮")->text(), QStringLiteral("开启预览"));
        // The recording switched the camera on, so its end lets the device go.
        QVERIFY(!dev->isPreviewing());
        QVERIFY(!dev->session()->isOpen());
        QVERIFY(!unit(w, "按钮照相")->isEnabled());
        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.packets > 0);
        QCOMPARE(info.decoded, info.packets);

        // The next press of the preview button switches the preview on.
        click(w, "预览按钮");
        QVERIFY(state(w).previewOn());
        QCOMPARE(w.status(), QStringLiteral("当前状态:  照相设备已打开!"));
    }

    void recordingKeepsAPreviewThatWasOn()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        click(w, "预览按钮");
        dialogs.saveAnswers.enqueue(dir_.filePath(QStringLiteral("preview-on.avi")));
        click(w, "录制按钮");
        QVERIFY(state(w).recording());
        QTRY_VERIFY_WITH_TIMEOUT(dev->framesRecorded() >= 3, 10000);
        click(w, "结束录制按钮");
        QVERIFY(!state(w).recording());
        QVERIFY(state(w).previewOn());
        QVERIFY(dev->isPreviewing());
        QVERIFY(unit(w, "按钮照相")->isEnabled());
        QVERIFY(!unit(w, "透明标签16")->isVisibleTo(&w));
        QVERIFY(w.status().startsWith(QStringLiteral("录制视频结束……")));
    }

    // Whatever would reconnect the source is refused while recording.
    // The address dialog offers what was connected before and browses for
    // a file or a hot folder; a folder is shown under its own entry.
    void theAddressDialogRemembersAndBrowses()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* box = unit<QComboBox>(w, "组合框");
        const QString picture = dir_.filePath(QStringLiteral("一张.png"));
        QImage(32, 24, QImage::Format_RGB32).save(picture);
        QStringList offered;
        setDialogRunner([&](QDialog& d) {
            auto* address = d.findChild<QComboBox*>(QStringLiteral("address"));
            offered.clear();
            for (int i = 0; i < address->count(); ++i)
                offered << address->itemText(i);
            d.findChild<QPushButton*>(offered.isEmpty() || offered.first() != picture ? QStringLiteral("文件…")
                                                                                      : QStringLiteral("文件夹…"))
                ->click();
            return int(QDialog::Accepted);
        });
        QSignalSpy finished(w.camera, &CameraController::addressFinished);
        dialogs.openAnswers.enqueue(picture);
        box->setCurrentIndex(box->findData(capControl::kAddressSource));
        QVERIFY(finished.wait(10000));
        QVERIFY2(finished.last().first().toBool(), qPrintable(dialogs.texts().join('\n')));
        QCOMPARE(unit<capControl>(w, "视频设备")->driverDescription(), QStringLiteral("一张.png"));

        dialogs.folderAnswers.enqueue(dir_.path());
        box->setCurrentIndex(0);  // the entry is chosen anew
        box->setCurrentIndex(box->findData(capControl::kAddressSource));
        QVERIFY(finished.wait(10000));
        QCOMPARE(offered.value(0), picture);
        QVERIFY2(finished.last().first().toBool(), qPrintable(dialogs.texts().join('\n')));
        QCOMPARE(box->currentIndex(), box->findData(CameraController::kFolderEntry));
        QCOMPARE(unit<capControl>(w, "视频设备")->session()->source().kindId(), QStringLiteral("folder"));
    }

    void reconnectingIsRefusedWhileRecording_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("检测设备") << 0;
        QTest::newRow("设置视频") << 1;
        QTest::newRow("another driver") << 2;
    }
    void reconnectingIsRefusedWhileRecording()
    {
        QFETCH(int, action);
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        auto* box = unit<QComboBox>(w, "组合框");
        int shown = 0;
        setDialogRunner([&](QDialog&) {
            ++shown;
            return int(QDialog::Rejected);
        });
        dialogs.saveAnswers.enqueue(dir_.filePath(QStringLiteral("refused%1.avi").arg(action)));
        click(w, "录制按钮");
        QVERIFY(dev->isCapturing());
        const quint64 generation = dev->session()->generation();
        if (action == 0)
            click(w, "按钮检测设备");
        else if (action == 1)
            click(w, "按钮2");
        else
            box->setCurrentIndex(1);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("视频正在录制中，请先结束录制。")});
        QCOMPARE(shown, 0);
        QVERIFY(!w.camera->isListing());
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(dev->driverIndex(), 1);
        QCOMPARE(dev->session()->generation(), generation);
        QVERIFY(dev->isCapturing());
        QVERIFY(state(w).recording());
        QCOMPARE(w.status(), QStringLiteral("视频正在录制中……"));
        click(w, "结束录制按钮");
    }

    void rightClickEndsTheRecordingAndTheControlsSaySo()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        const QString path = dir_.filePath(QStringLiteral("right-click.avi"));
        dialogs.saveAnswers.enqueue(path);
        click(w, "录制按钮");
        QTRY_VERIFY_WITH_TIMEOUT(dev->framesRecorded() >= 3, 10000);
        QTest::mouseClick(dev, Qt::RightButton);
        QVERIFY(!dev->isCapturing());
        QVERIFY(!state(w).recording());
        QVERIFY(w.status().startsWith(QStringLiteral("录制视频结束……")));
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(!unit(w, "结束录制按钮")->isEnabled());
        QVERIFY(!state(w).previewOn());
        QVERIFY(testhelp::readAvi(path).packets > 0);
    }

    void detectionKeepsTheChosenFormat()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        const CaptureFormat wide{QSize(1280, 720), QStringLiteral("bgr0"), 30};
        QVERIFY(dev->setCaptureFormat(wide));
        QVERIFY(detect(w));
        QCOMPARE(dev->captureFormat(), wide);
        click(w, "预览按钮");
        QTRY_COMPARE_WITH_TIMEOUT(dev->latestFrame().size(), QSize(1280, 720), 10000);
    }

    void recordingThatCannotStartGoesBackToIdle()
    {
        TestDialogs dialogs;
        MainWindow w;
        dialogs.saveAnswers.enqueue(QStringLiteral("/nonexistent-folder/录像.avi"));
        click(w, "录制按钮");
        QVERIFY(!state(w).recording());
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(!unit(w, "结束录制按钮")->isEnabled());
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.first().text.contains(QStringLiteral("设置文件名出错。")));
        QVERIFY(w.status() != QStringLiteral("视频正在录制中……"));
    }

    void lostSourceWhileRecordingIsReported()
    {
        setSourceProvider([] { return QList<CaptureSource>{testhelp::endingSource(1.0)}; });
        TestDialogs dialogs;
        MainWindow w;
        const QString path = dir_.filePath(QStringLiteral("lost.avi"));
        dialogs.saveAnswers.enqueue(path);
        click(w, "录制按钮");
        QVERIFY(state(w).recording());
        QTRY_VERIFY_WITH_TIMEOUT(!state(w).recording(), 8000);
        QVERIFY(!dialogs.messages.isEmpty());
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(testhelp::readAvi(path).packets > 0);
    }
};

QTEST_MAIN(TestCameraController)
#include "tst_cameracontroller.moc"
