// The camera controls of the main window, driven by unit names.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturetesthelp.h"
#include "mainwindow.h"
#include "programpaths.h"
#include "testdialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace capture;

namespace {

CaptureSource namedTestCamera(const QString& name)
{
    CaptureSource s = testCamera();
    s.description = name;
    return s;
}

template <typename T = QWidget> T* unit(MainWindow& w, const char* name)
{
    T* u = w.findChild<T*>(QString::fromUtf8(name));
    if (!u)
        qFatal("no unit %s", name);
    return u;
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
            return QList<CaptureSource>{namedTestCamera(QStringLiteral("相机甲")),
                                        namedTestCamera(QStringLiteral("相机乙"))};
        });
    }
    void cleanup()
    {
        setSourceProvider({});
        setDialogRunner({});
    }

    void listingConnectsTheDriverShownAsSelected()
    {
        MainWindow w;
        auto* box = unit<QComboBox>(w, "组合框");
        auto* dev = unit<capControl>(w, "视频设备");
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("相机甲"));
        QCOMPARE(box->itemText(1), QStringLiteral("相机乙"));
        QCOMPARE(box->itemData(1).toInt(), 2);
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(dev->driverIndex(), 1);
        QCOMPARE(dev->driverDescription(), box->currentText());
        QVERIFY(w.state.devicesListed);
        QCOMPARE(w.state.knownDriverCount, 2);

        box->setCurrentIndex(1);
        QCOMPARE(dev->driverDescription(), QStringLiteral("相机乙"));
        box->setCurrentIndex(0);
        QCOMPARE(dev->driverIndex(), 1);

        // Detecting again while previewing keeps the preview and shows the first.
        click(w, "预览按钮");
        QVERIFY(w.state.previewOn);
        box->setCurrentIndex(1);
        click(w, "按钮检测设备");
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(dev->driverIndex(), 1);
        QVERIFY(w.state.previewOn);
        QVERIFY(dev->isPreviewing());
    }

    void previewSwitchSetsEveryControl()
    {
        TestDialogs dialogs;
        MainWindow w;
        auto* dev = unit<capControl>(w, "视频设备");
        click(w, "预览按钮");
        QVERIFY(w.state.previewOn);
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
        QVERIFY(!w.state.previewOn);
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
        QCOMPARE(unit<QComboBox>(w, "组合框")->count(), 0);
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
        QVERIFY(!w.state.previewOn);
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
        QVERIFY(w.state.previewOn);
        QVERIFY(dev->isPreviewing());
        QVERIFY(!w.state.recording);
        QVERIFY(!dev->isCapturing());
        QVERIFY(!unit(w, "外形框1")->isVisibleTo(&w));
        QVERIFY(!unit(w, "按钮照相")->isEnabled());
        QVERIFY(!unit(w, "透明标签16")->isVisibleTo(&w));

        const QString path = dir_.filePath(QStringLiteral("课堂.avi"));
        dialogs.saveAnswers.enqueue(path);
        click(w, "录制按钮");
        QVERIFY(w.state.recording);
        QVERIFY(dev->isCapturing());
        QCOMPARE(w.status(), QStringLiteral("视频正在录制中……"));
        QVERIFY(!unit(w, "录制按钮")->isEnabled());
        QVERIFY(unit(w, "结束录制按钮")->isEnabled());
        w.camera->StartRecording();  // a second start is refused
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("没有来源,捕获必须知道来源或正在捕获中！"));

        QTest::qWait(500);
        click(w, "结束录制按钮");
        QVERIFY(!w.state.recording);
        QVERIFY(!dev->isCapturing());
        QVERIFY(!w.state.previewOn);
        QCOMPARE(w.status(), QStringLiteral("录制视频结束……"));
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(!unit(w, "结束录制按钮")->isEnabled());
        QVERIFY(unit(w, "透明标签16")->isVisibleTo(&w));
        QVERIFY(unit(w, "图片框2")->isVisibleTo(&w));
        QCOMPARE(unit<QPushButton>(w, "预览按钮")->text(), QStringLiteral("开启预览"));
        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.packets > 0);
        QCOMPARE(info.decoded, info.packets);

        // The next press of the preview button switches the preview on.
        click(w, "预览按钮");
        QVERIFY(w.state.previewOn);
        QCOMPARE(w.status(), QStringLiteral("当前状态:  照相设备已打开!"));
    }

    void recordingThatCannotStartGoesBackToIdle()
    {
        TestDialogs dialogs;
        MainWindow w;
        dialogs.saveAnswers.enqueue(QStringLiteral("/nonexistent-folder/录像.avi"));
        click(w, "录制按钮");
        QVERIFY(!w.state.recording);
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
        QVERIFY(w.state.recording);
        QVERIFY(QTest::qWaitFor([&] { return !w.state.recording; }, 8000));
        QVERIFY(!dialogs.messages.isEmpty());
        QVERIFY(unit(w, "录制按钮")->isEnabled());
        QVERIFY(testhelp::readAvi(path).packets > 0);
    }
};

QTEST_MAIN(TestCameraController)
#include "tst_cameracontroller.moc"
