// The main window with emulated UVC webcams: listing, preview and photo in
// YUYV and MJPEG, the format and controls dialogs, unplugging or freezing
// during the preview and during a recording, a busy camera and switching cameras.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturesource.h"
#include "capturetesthelp.h"
#include "emulatedcamera.h"
#include "jpegcodec.h"
#include "rostercontroller.h"
#include "shell/stationfixture.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <chrono>

using namespace capture;

namespace {

const QString kCard = QStringLiteral("教室摄像头 HD");
const QString kOtherCard = QStringLiteral("讲台摄像头");

// Two ways a camera goes away: unplugged, or still there but sending nothing.
enum class Fault { Unplugged, Frozen };

void addFaultRows()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("unplugged") << int(Fault::Unplugged) << "摄像头已断开：" + kCard + "（No such device）";
    QTest::newRow("frozen") << int(Fault::Frozen) << "视频来源 " + kCard + " 已停止发送图像（2 秒没有新画面）";
}

void breakCamera(EmulatedCamera& cam, int fault)
{
    if (Fault(fault) == Fault::Unplugged)
        cam.unplug();
    else
        cam.set("frozen", 1);
}

void mendCamera(EmulatedCamera& cam, int fault)
{
    if (Fault(fault) == Fault::Unplugged)
        cam.plugIn();
    else
        cam.set("frozen", 0);
}

}  // namespace

class WebcamStationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dev_;
    std::unique_ptr<StationFixture> f;

    QString node(int n) const { return dev_->filePath(QStringLiteral("video%1").arg(n)); }
    MainWindow& w() { return *f->window; }
    template <typename T = QWidget> T* unit(const char* name) { return f->unit<T>(name); }
    void click(const char* name) { unit<QPushButton>(name)->click(); }
    capControl* device() { return unit<capControl>("视频设备"); }
    QComboBox* box() { return unit<QComboBox>("组合框"); }
    // The window opens after the cameras are plugged in: it lists them at start.
    void openWindow() { f = std::make_unique<StationFixture>(); }

    void previewOn() { f->previewOn(); }

    // The saved photo shows the camera picture under the frame's interior.
    void checkPhotoIsTheRegionUnderTheFrame()
    {
        f->takeFirstUncaptioned();
        const Result<QImage> saved = loadJpeg(f->firstPhoto());
        QVERIFY2(saved.ok(), qPrintable(f->dialogs.texts().join('\n')));
        const QSize size = saved.value().size();
        const QString mismatch =
            f->testCameraMismatch(saved.value(),
                                  {QPoint(3, 3), QPoint(size.width() - 4, 3), QPoint(75, 100),
                                   QPoint(3, size.height() - 4), QPoint(size.width() - 4, size.height() - 4)},
                                  14);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

private slots:
    void initTestCase()
    {
        if (!EmulatedCamera::available())
            QSKIP(qPrintable(EmulatedCamera::unavailableReason()));
    }
    void init()
    {
        dev_ = std::make_unique<QTemporaryDir>();
        const QString d = dev_->path();
        setSourceProvider([d] { return defaultSources(d); });
    }
    void cleanup()
    {
        f.reset();
        setDialogRunner({});
        setSourceProvider({});
        dev_.reset();
    }

    void cameraIsListedFirstWithItsName()
    {
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        QCOMPARE(box()->count(), 4);  // the camera, the address and folder entries, the test camera
        QCOMPARE(box()->itemText(0), kCard);
        QCOMPARE(box()->itemText(3), testCameraDescription());
        QCOMPARE(box()->currentIndex(), 0);
        QCOMPARE(device()->driverIndex(), 1);
        QCOMPARE(device()->driverDescription(), kCard);
    }

    void photoIsTheRegionUnderTheFrame_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("pixelFormat");
        QTest::newRow("YUYV 640x480") << QSize(640, 480) << "yuyv422";
        QTest::newRow("MJPEG 1280x720") << QSize(1280, 720) << "mjpeg";
    }
    void photoIsTheRegionUnderTheFrame()
    {
        QFETCH(QSize, size);
        QFETCH(QString, pixelFormat);
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        QVERIFY(device()->setCaptureFormat({size, pixelFormat, 0}));
        previewOn();
        QCOMPARE(device()->latestFrame().size(), size);
        checkPhotoIsTheRegionUnderTheFrame();
    }

    void formatDialogListsTheCameraFormatsAndReconnects()
    {
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        previewOn();
        QStringList shown;
        setDialogRunner([&](QDialog& d) {
            auto* list = d.findChild<QListWidget*>(QStringLiteral("formats"));
            for (int i = 0; list && i < list->count(); ++i)
                shown << list->item(i)->text();
            if (list)
                list->setCurrentRow(2);
            return int(QDialog::Accepted);
        });
        click("按钮2");
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("640 x 480  yuyv422  30 fps"), QStringLiteral("1280 x 720  mjpeg  30 fps"),
                              QStringLiteral("1920 x 1080  mjpeg  15 fps")}));
        QCOMPARE(cam.get("width"), 1920LL);
        QCOMPARE(cam.get("fourcc"), (long long)V4L2_PIX_FMT_MJPEG);
        QCOMPARE(cam.get("fps"), 15LL);
        QVERIFY(w().camera->state().previewOn());
        QTRY_COMPARE_WITH_TIMEOUT(device()->latestFrame().size(), QSize(1920, 1080), 10000);
        QVERIFY(f->dialogs.messages.isEmpty());

        // The next start connects the camera at the chosen format, not by rule.
        f->window.reset();
        QCOMPARE(cam.get("open_handles"), 0LL);
        f->window = std::make_unique<MainWindow>();
        QCOMPARE(device()->captureFormat().size, QSize(1920, 1080));
        QCOMPARE(cam.get("width"), 1920LL);
        QCOMPARE(cam.get("fps"), 15LL);
    }

    // Another program streams from the camera: it stays listed, and the
    // preview says so and stays off; once free, the preview works.
    void busyCameraLeavesThePreviewOff()
    {
        EmulatedCamera cam(node(0), kCard);
        cam.set("busy_stream", 1);
        openWindow();
        QCOMPARE(box()->itemText(0), kCard);
        QCOMPARE(box()->currentIndex(), 0);
        const QString statusBefore = w().status();
        click("预览按钮");
        QCOMPARE(f->dialogs.texts(), QStringList{QStringLiteral("摄像头正被其他程序使用：") + kCard});
        QVERIFY(!w().camera->state().previewOn());
        QVERIFY(!device()->isPreviewing());
        QVERIFY(!w().status().contains(QStringLiteral("已打开")));
        QCOMPARE(unit<QPushButton>("预览按钮")->text(), QStringLiteral("开启预览"));
        QCOMPARE(unit<QLabel>("标签3")->text(), QStringLiteral("关闭状态"));
        QVERIFY(!unit("按钮照相")->isEnabled());
        QCOMPARE(box()->itemText(0), kCard);

        cam.set("busy_stream", 0);
        previewOn();
        QCOMPARE(device()->driverDescription(), kCard);
        QCOMPARE(f->dialogs.messages.size(), 1);
    }

    void controlsDialogChangesReachTheCamera()
    {
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        QStringList names;
        setDialogRunner([&](QDialog& d) {
            for (QWidget* c : d.findChildren<QWidget*>())
                if (qobject_cast<QSlider*>(c) || qobject_cast<QCheckBox*>(c) || qobject_cast<QComboBox*>(c))
                    names << c->objectName();
            if (auto* brightness = d.findChild<QSlider*>(QStringLiteral("Brightness")))
                brightness->setValue(20);
            return int(QDialog::Accepted);
        });
        click("视频输出按钮");
        QVERIFY(f->dialogs.messages.isEmpty());
        for (const char* n : {"Brightness", "Contrast", "Saturation", "White Balance, Automatic",
                              "White Balance Temperature", "Auto Exposure", "Exposure Time, Absolute"})
            QVERIFY2(names.contains(QLatin1String(n)), n);
        QCOMPARE(cam.control(V4L2_CID_BRIGHTNESS), 20LL);
        QVERIFY(cam.controlLog().contains({V4L2_CID_BRIGHTNESS, 20, 0}));
    }

    void aFrozenCamerasLastPictureIsNeverSaved()
    {
        // It stays connected and stops sending: its last picture is not the
        // next student, even before the stall is reported as a loss.
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        w().roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        QTRY_COMPARE(w().roster()->rowCount(), 5);
        auto* autoSave = unit<QCheckBox>("选择框1");
        if (!autoSave->isChecked())
            autoSave->click();
        previewOn();
        cam.set("frozen", 1);
        auto ageMs = [this] {
            capture::FrameStamp stamp;
            device()->latestFrame(&stamp);
            const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
            return now - stamp.arrivalMs;
        };
        QTRY_VERIFY_WITH_TIMEOUT(ageMs() > 600, 5000);
        click("按钮照相");
        QVERIFY2(f->dialogs.texts().join('\n').contains(QStringLiteral("画面已停止更新")),
                 qPrintable(f->dialogs.texts().join('\n')));
        f->waitForSave();
        QVERIFY(!QFile::exists(f->photoFolder() + QStringLiteral("/姓名.jpg")));
        QCOMPARE(w().roster()->currentRow(), 0);
    }

    // One message, then the camera is looked for; once it is back the
    // preview comes back on its own, with the picture controls set for it.
    void lostCameraIsToldOnceAndComesBackByItself_data() { addFaultRows(); }
    void lostCameraIsToldOnceAndComesBackByItself()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        setDialogRunner([](QDialog& d) {
            d.findChild<QSlider*>(QStringLiteral("Brightness"))->setValue(20);
            return int(QDialog::Accepted);
        });
        click("视频输出按钮");
        previewOn();
        breakCamera(cam, fault);
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().previewOn(), 10000);
        QCOMPARE(f->dialogs.texts(), QStringList{message});
        QCOMPARE(w().status(), QStringLiteral("当前状态: 照相设备已断开，正在等待它重新连接……"));
        QCOMPARE(unit<QPushButton>("预览按钮")->text(), QStringLiteral("开启预览"));
        QVERIFY(!unit("按钮照相")->isEnabled());

        cam.setControl(V4L2_CID_BRIGHTNESS, -30);  // back with another value
        mendCamera(cam, fault);
        QTRY_VERIFY_WITH_TIMEOUT(w().camera->state().previewOn(), 20000);
        QCOMPARE(w().status(), QStringLiteral("当前状态:  照相设备已重新连接：") + kCard);
        QVERIFY(unit("按钮照相")->isEnabled());
        const long long before = cam.get("frames");
        QTRY_VERIFY_WITH_TIMEOUT(cam.get("frames") > before + 3, 10000);
        QVERIFY(device()->isPreviewing());
        QCOMPARE(cam.control(V4L2_CID_BRIGHTNESS), 20LL);
        QCOMPARE(f->dialogs.texts(), QStringList{message});
    }

    // A recording the preview was already on for: its end stays in the
    // status line and the loss is told once.
    void lossDuringARecordingIsToldOnce()
    {
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        previewOn();
        f->dialogs.saveAnswers.enqueue(f->folder.filePath(QStringLiteral("课堂.avi")));
        click("录制按钮");
        QVERIFY(w().camera->state().recording());
        QTRY_VERIFY_WITH_TIMEOUT(device()->framesRecorded() > 3, 10000);
        cam.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().recording(), 10000);
        QTRY_VERIFY(!w().camera->state().previewOn());
        QCOMPARE(f->dialogs.texts(), QStringList{"摄像头已断开：" + kCard + "（No such device）"});
        QVERIFY(w().status().startsWith(QStringLiteral("录制视频结束……")));
        QVERIFY(QFile::exists(f->folder.filePath(QStringLiteral("课堂.avi"))));
        cam.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(w().camera->state().previewOn(), 20000);
    }

    // The live mode is shown with the camera's name; a camera that delivers
    // under 10 pictures a second is named in the status line with its rate.
    void aSlowCameraIsNamedWithItsRate()
    {
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        previewOn();
        QCOMPARE(device()->liveModeText(), QStringLiteral("1280×720 MJPEG 30 fps"));
        cam.set("fixed_fps", 5);
        QTRY_VERIFY_WITH_TIMEOUT(w().status().contains(QStringLiteral("每秒只有")), 15000);
        QVERIFY2(w().status().startsWith(QStringLiteral("当前状态: ") + kCard + QStringLiteral(" 每秒只有 ")),
                 qPrintable(w().status()));
        const double rate =
            w().status().section(QStringLiteral("每秒只有 "), 1).section(QLatin1Char(' '), 0, 0).toDouble();
        QVERIFY2(rate > 3.5 && rate < 6.5, qPrintable(w().status()));
        cam.set("fixed_fps", 0);
    }

    void lockHoldsExposureAndWhiteBalanceWhereTheyAre()
    {
        EmulatedCamera cam(node(0), kCard);
        cam.setControl(V4L2_CID_EXPOSURE_ABSOLUTE, 333);  // where the automatic exposure has gone
        openWindow();
        setDialogRunner([](QDialog& d) {
            d.findChild<QPushButton*>(QStringLiteral("锁定曝光/白平衡/对焦"))->click();
            return int(QDialog::Accepted);
        });
        click("视频输出按钮");
        QCOMPARE(cam.control(V4L2_CID_EXPOSURE_AUTO), qint64(V4L2_EXPOSURE_MANUAL));
        QCOMPARE(cam.control(V4L2_CID_AUTO_WHITE_BALANCE), 0LL);
        QCOMPARE(cam.control(V4L2_CID_EXPOSURE_ABSOLUTE), 333LL);
        QCOMPARE(cam.control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 4600LL);
        click("视频输出按钮");  // the second click lets them go
        QCOMPARE(cam.control(V4L2_CID_EXPOSURE_AUTO), qint64(V4L2_EXPOSURE_APERTURE_PRIORITY));
        QCOMPARE(cam.control(V4L2_CID_AUTO_WHITE_BALANCE), 1LL);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    // Held by another program at start: the dialogs still open, or say it is busy.
    void dialogsWorkWithACameraBusyAtStart()
    {
        EmulatedCamera cam(node(0), kCard);
        cam.set("busy_open", 1);
        openWindow();
        QCOMPARE(device()->driverIndex(), -1);
        int shown = 0;
        setDialogRunner([&](QDialog&) {
            ++shown;
            return int(QDialog::Rejected);
        });
        click("按钮2");
        click("视频输出按钮");
        QCOMPARE(shown, 0);
        QCOMPARE(f->dialogs.texts(), QStringList(2, "摄像头正被其他程序使用：" + box()->itemText(0)));
        cam.set("busy_open", 0);
        cam.set("busy_stream", 1);  // opened by others, streamed by another program
        openWindow();
        click("按钮2");
        click("视频输出按钮");
        QCOMPARE(shown, 2);
        cam.set("busy_stream", 0);
    }

    void lostCameraEndsTheRecordingWithAPlayableFile_data() { addFaultRows(); }
    void lostCameraEndsTheRecordingWithAPlayableFile()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        EmulatedCamera cam(node(0), kCard);
        openWindow();
        const QString path = f->folder.filePath(QStringLiteral("课堂.avi"));
        f->dialogs.saveAnswers.enqueue(path);
        click("录制按钮");
        QVERIFY(w().camera->state().recording());
        // Ten distinct pictures stored (repeated periods are stored once).
        QTRY_VERIFY_WITH_TIMEOUT(device()->framesRecorded() - device()->recordingStats().repeated > 10, 10000);
        breakCamera(cam, fault);
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().recording(), 10000);
        QVERIFY(!device()->isCapturing());
        QCOMPARE(f->dialogs.texts(), QStringList{message});
        QVERIFY(unit("录制按钮")->isEnabled());
        QVERIFY(!unit("结束录制按钮")->isEnabled());
        QVERIFY(!w().camera->state().previewOn());
        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.opened);
        QVERIFY(info.packets > 10);
        QCOMPARE(info.decoded, info.packets);
        QCOMPARE(info.decodeErrors, 0);
    }

    void busyCameraIsReportedAndThePreviousStays()
    {
        EmulatedCamera first(node(0), kCard);
        EmulatedCamera second(node(1), kOtherCard);
        openWindow();
        QCOMPARE(box()->itemText(1), kOtherCard);
        previewOn();
        second.set("busy_open", 1);
        box()->setCurrentIndex(1);
        QCOMPARE(f->dialogs.messages.size(), 1);
        QVERIFY2(f->dialogs.messages.first().text.contains(kOtherCard), qPrintable(f->dialogs.messages.first().text));
        QCOMPARE(device()->driverIndex(), 1);
        QCOMPARE(device()->driverDescription(), kCard);
        QCOMPARE(box()->currentIndex(), 0);
        QCOMPARE(box()->itemText(1), kOtherCard);
        // The first camera still delivers.
        QVERIFY(w().camera->state().previewOn());
        const long long before = first.get("frames");
        QTRY_VERIFY_WITH_TIMEOUT(first.get("frames") > before + 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(device()->isPreviewing() && !device()->latestFrame().isNull(), 10000);
    }

    // The window shows before any camera but the first is opened; 检测设备
    // still connects each in turn.
    void startStreamsOnlyTheFirstCamera()
    {
        EmulatedCamera first(node(0), kCard, QStringLiteral("YUYV 640x480@30"));
        EmulatedCamera second(node(1), kOtherCard, QStringLiteral("MJPG 1280x720@30"));
        openWindow();
        QCOMPARE(box()->itemText(1), kOtherCard);
        QCOMPARE(first.get("stream_starts"), 1LL);
        QCOMPARE(second.get("stream_starts"), 0LL);
        click("按钮检测设备");
        QTRY_VERIFY(!w().camera->isListing());
        QCOMPARE(second.get("stream_starts"), 1LL);
        QCOMPARE(device()->driverDescription(), kCard);
    }

    // The program's window opens its first camera once it is on screen; a
    // preview asked for before that opens it itself.
    void theFirstCameraCanWaitUntilTheWindowIsShown()
    {
        EmulatedCamera cam(node(0), kCard);
        f = std::make_unique<StationFixture>(MainWindow::CameraStart::AfterShowing);
        QCOMPARE(box()->itemText(0), kCard);
        QCOMPARE(cam.get("stream_starts"), 0LL);
        QCOMPARE(device()->driverIndex(), -1);
        w().camera->ConnectShownDriver();
        QCOMPARE(device()->driverIndex(), 1);
        QCOMPARE(cam.get("stream_starts"), 1LL);
        w().camera->ConnectShownDriver();  // connected already: nothing happens
        QCOMPARE(cam.get("stream_starts"), 1LL);

        f.reset();
        f = std::make_unique<StationFixture>(MainWindow::CameraStart::AfterShowing);
        previewOn();
        QCOMPARE(device()->driverDescription(), kCard);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void switchingBetweenTwoCameras()
    {
        EmulatedCamera first(node(0), kCard, QStringLiteral("YUYV 640x480@30"));
        EmulatedCamera second(node(1), kOtherCard, QStringLiteral("MJPG 1280x720@30"));
        openWindow();
        previewOn();
        QCOMPARE(device()->latestFrame().size(), QSize(640, 480));
        box()->setCurrentIndex(1);
        QCOMPARE(device()->driverDescription(), kOtherCard);
        QTRY_COMPARE_WITH_TIMEOUT(device()->latestFrame().size(), QSize(1280, 720), 10000);
        QCOMPARE(first.get("open_handles"), 0LL);
        QVERIFY(second.get("streaming") > 0);
        box()->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(device()->latestFrame().size(), QSize(640, 480), 10000);
        QCOMPARE(second.get("open_handles"), 0LL);
        QVERIFY(f->dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(WebcamStationTest)
#include "tst_webcamstation.moc"
