// The camera path against an emulated UVC webcam: our V4L2 listing and
// controls, FFmpeg's v4l2 input, YUYV and MJPEG decoding, damaged frames,
// unplugging and a camera that stops sending.
#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturesession.h"
#include "capturesource.h"
#include "emulatedcamera.h"
#include "v4l2device.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace capture;

namespace {

const QString kCard = QStringLiteral("教室摄像头 HD");

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Where the picture differs from the test camera's gradient by more than
// the tolerance at a grid of points below the mark band; empty when it matches.
QString gradientMismatch(const QImage& frame, int tolerance)
{
    for (int gy = 1; gy < 8; ++gy)
        for (int gx = 1; gx < 8; ++gx) {
            const int x = gx * (frame.width() - 1) / 8;
            const int y = kTestMarkBandHeight + gy * (frame.height() - 1 - kTestMarkBandHeight) / 8;
            int r, g, b;
            testCameraColour(x, y, frame.size(), &r, &g, &b);
            const QColor got = frame.pixelColor(x, y);
            if (qAbs(got.red() - r) > tolerance || qAbs(got.green() - g) > tolerance ||
                qAbs(got.blue() - b) > tolerance)
                return QStringLiteral("at %1,%2 got %3 want %4,%5,%6")
                    .arg(x)
                    .arg(y)
                    .arg(got.name())
                    .arg(r)
                    .arg(g)
                    .arg(b);
        }
    return {};
}

}  // namespace

class WebcamTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString node(int n) const { return dir_->filePath(QStringLiteral("video%1").arg(n)); }

    // A unit connected to the first camera of the folder.
    void connectFirst(capControl& c)
    {
        c.resize(480, 360);
        QVERIFY(c.driverCount() >= 2);
        c.setDriverIndex(1);
        QCOMPARE(c.driverIndex(), 1);
    }

private slots:
    void initTestCase()
    {
        if (!EmulatedCamera::available())
            QSKIP(qPrintable(EmulatedCamera::unavailableReason()));
    }
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        const QString d = dir_->path();
        setSourceProvider([d] { return defaultSources(d); });
    }
    void cleanup()
    {
        setSourceProvider({});
        dir_.reset();
    }

    void camerasAreListedBeforeTheTestCameraWithTheirFormats()
    {
        EmulatedCamera second(node(2), QStringLiteral("第二台"), QStringLiteral("MJPG 800x600@30"));
        EmulatedCamera first(node(0), kCard);
        QFile plain(node(1));  // a node that is no camera is left out
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        const QList<CaptureSource> all = currentSources();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].description, kCard);
        QCOMPARE(all[0].inputFormat, QStringLiteral("v4l2"));
        QCOMPARE(all[0].url, node(0));
        QCOMPARE(all[1].description, QStringLiteral("第二台"));
        QVERIFY(all[2].builtIn);

        const QList<CaptureFormat> formats = sourceFormats(all[0]);
        QCOMPARE(formats.size(), 3);
        QCOMPARE(formats[0].size, QSize(640, 480));
        QCOMPARE(formats[0].pixelFormat, QStringLiteral("yuyv422"));
        QCOMPARE(formats[1].size, QSize(1280, 720));
        QCOMPARE(formats[1].pixelFormat, QStringLiteral("mjpeg"));
        QCOMPARE(formats[2].size, QSize(1920, 1080));
        QCOMPARE(formats[2].pixelFormat, QStringLiteral("mjpeg"));
    }

    void previewShowsTheCameraPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("pixelFormat");
        QTest::addColumn<quint32>("fourcc");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("YUYV 640x480") << QSize(640, 480) << "yuyv422" << quint32(V4L2_PIX_FMT_YUYV) << 6;
        QTest::newRow("MJPEG 1280x720") << QSize(1280, 720) << "mjpeg" << quint32(V4L2_PIX_FMT_MJPEG) << 8;
        QTest::newRow("MJPEG 1920x1080") << QSize(1920, 1080) << "mjpeg" << quint32(V4L2_PIX_FMT_MJPEG) << 8;
    }
    void previewShowsTheCameraPicture()
    {
        QFETCH(QSize, size);
        QFETCH(QString, pixelFormat);
        QFETCH(quint32, fourcc);
        QFETCH(int, tolerance);
        EmulatedCamera cam(node(0), kCard);
        capControl c;
        connectFirst(c);
        QVERIFY2(c.setCaptureFormat({size, pixelFormat, 0}), qPrintable(c.lastError()));
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_COMPARE_WITH_TIMEOUT(c.latestFrame().size(), size, 10000);
        QCOMPARE(cam.get("width"), size.width());
        QCOMPARE(cam.get("fourcc"), fourcc);
        const QImage frame = c.latestFrame();
        const QString mismatch = gradientMismatch(frame, tolerance);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The picture is live: the mark moves.
        QTRY_VERIFY_WITH_TIMEOUT(c.latestFrame().copy(0, 0, size.width(), kTestMarkBandHeight) !=
                                     frame.copy(0, 0, size.width(), kTestMarkBandHeight),
                                 10000);
    }

    // Connecting picks the format by rule; the camera's first mode is its current one.
    void connectingChoosesTheSharpestSmoothFormat_data()
    {
        QTest::addColumn<QString>("modes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint32>("fourcc");
        QTest::addColumn<int>("fps");
        QTest::newRow("MJPEG HD at 30 fps")
            << "YUYV 640x480@30,YUYV 320x240@30,MJPG 640x480@30,MJPG 1280x720@30,MJPG 1920x1080@15" << QSize(1280, 720)
            << quint32(V4L2_PIX_FMT_MJPEG) << 30;
        QTest::newRow("only YUYV") << "YUYV 320x240@30,YUYV 640x480@30/15,YUYV 1280x720@10" << QSize(640, 480)
                                   << quint32(V4L2_PIX_FMT_YUYV) << 30;
        QTest::newRow("HD only at 15 fps") << "YUYV 640x480@30,MJPG 1920x1080@15,MJPG 1280x720@15,MJPG 800x600@30"
                                           << QSize(800, 600) << quint32(V4L2_PIX_FMT_MJPEG) << 30;
        QTest::newRow("nothing smooth") << "YUYV 1280x720@10/5,MJPG 1920x1080@15" << QSize(1280, 720)
                                        << quint32(V4L2_PIX_FMT_YUYV) << 10;
    }
    void connectingChoosesTheSharpestSmoothFormat()
    {
        QFETCH(QString, modes);
        QFETCH(QSize, size);
        QFETCH(quint32, fourcc);
        QFETCH(int, fps);
        EmulatedCamera cam(node(0), kCard, modes);
        capControl c;
        connectFirst(c);
        QCOMPARE(cam.get("width"), size.width());
        QCOMPARE(cam.get("height"), size.height());
        QCOMPARE(cam.get("fourcc"), fourcc);
        QCOMPARE(cam.get("fps"), fps);
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_COMPARE_WITH_TIMEOUT(c.latestFrame().size(), size, 10000);
    }

    // Each failure says what happened in Chinese first, the system's words after.
    void cameraFailuresAreExplained_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("expected");
        const QString card = kCard;
        // A node that cannot be opened is listed by its file name.
        QTest::newRow("no permission") << QByteArray("eacces")
                                       << "没有权限打开摄像头 — 请把用户加入 video 组：video0（Permission denied）";
        QTest::newRow("busy at open") << QByteArray("busy_open") << "摄像头正被其他程序使用：video0";
        QTest::newRow("busy streaming") << QByteArray("busy_stream") << "摄像头正被其他程序使用：" + card;
        QTest::newRow("unplugged") << QByteArray("unplug_after") << "摄像头已断开：" + card + "（No such device）";
    }
    void cameraFailuresAreExplained()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, expected);
        EmulatedCamera cam(node(0), kCard);
        capControl c;
        QSignalSpy lost(&c, &capControl::previewLost);
        if (fault == "unplug_after") {
            connectFirst(c);
            QVERIFY(c.ShowPreview(true, 60));
            QVERIFY(cam.set(fault.constData(), 3));
            QVERIFY(lost.wait(10000));
            QCOMPARE(lost.first().first().toString(), expected);
            return;
        }
        QVERIFY(cam.set(fault.constData(), 1));
        QVERIFY(c.driverCount() >= 2);  // listed although it cannot be opened
        c.setDriverIndex(1);
        QCOMPARE(c.connectionError(), expected);
        QVERIFY(!c.ShowPreview(true, 60));
    }

    // The dialog reads the camera back after every change: what the camera
    // ignores now is greyed, what it refused goes back, defaults come back.
    void controlsDialogFollowsTheCamera()
    {
        EmulatedCamera cam(node(0), kCard);
        SourceControlsDialog d(node(0));
        QVERIFY(d.hasControls());
        QStringList captions;
        for (QLabel* l : d.findChildren<QLabel*>())
            captions << l->text();
        for (const char* n :
             {"亮度", "对比度", "饱和度", "自动白平衡", "白平衡色温", "自动曝光", "曝光时间", "电源频率"})
            QVERIFY2(captions.contains(QString::fromUtf8(n)), n);
        auto* brightness = d.findChild<QSlider*>(QStringLiteral("Brightness"));
        auto* autoWhite = d.findChild<QCheckBox*>(QStringLiteral("White Balance, Automatic"));
        auto* temperature = d.findChild<QSlider*>(QStringLiteral("White Balance Temperature"));
        auto* exposureMode = d.findChild<QComboBox*>(QStringLiteral("Auto Exposure"));
        auto* exposure = d.findChild<QSlider*>(QStringLiteral("Exposure Time, Absolute"));
        auto* status = d.findChild<QLabel*>(QStringLiteral("status"));
        QVERIFY(brightness && autoWhite && temperature && exposureMode && exposure && status);
        auto valueOf = [&](const char* name) {
            return d.findChild<QLabel*>(QString::fromUtf8(name) + QStringLiteral("/value"))->text();
        };

        brightness->setValue(20);
        QCOMPARE(valueOf("Brightness"), QStringLiteral("20"));
        QVERIFY(autoWhite->isChecked());
        QVERIFY(!temperature->isEnabled());
        QVERIFY(!exposure->isEnabled());

        // A refused value goes back, with the reason.
        temperature->setValue(3000);
        QCOMPARE(temperature->value(), 4600);
        QCOMPARE(valueOf("White Balance Temperature"), QStringLiteral("4600"));
        QVERIFY2(status->text().startsWith(QStringLiteral("“白平衡色温”没有改变：摄像头在当前模式下不接受这个值")),
                 qPrintable(status->text()));

        // Switching an automatic mode off un-greys what it governs.
        autoWhite->setChecked(false);
        QVERIFY(temperature->isEnabled());
        temperature->setValue(3000);
        QCOMPARE(cam.control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 3000);
        QVERIFY(status->text().isEmpty());
        exposureMode->setCurrentIndex(exposureMode->findText(QStringLiteral("手动")));
        QVERIFY(exposure->isEnabled());
        exposure->setValue(500);
        QCOMPARE(cam.control(V4L2_CID_EXPOSURE_ABSOLUTE), 500);
        autoWhite->setChecked(true);
        QVERIFY(!temperature->isEnabled());

        QVERIFY(cam.set("clear_log", 1));
        d.findChild<QPushButton*>(QStringLiteral("恢复默认"))->click();
        for (const v4l2::Control& k : v4l2::ControlSet(node(0)).controls())
            QVERIFY2(cam.control(k.id) == k.defaultValue, qPrintable(k.name));
        for (const EmulatedCamera::ControlWrite& w : cam.controlLog())
            QCOMPARE(w.error, 0);
        QCOMPARE(brightness->value(), 0);
        QVERIFY(!temperature->isEnabled() && !exposure->isEnabled());
        QVERIFY(status->text().isEmpty());
    }

    // Nor printed: the decoder's complaints are counted, stderr stays quiet.
    void damagedFramesAreNeverShown()
    {
        EmulatedCamera cam(node(0), kCard);
        cam.set("corrupt_every", 2);
        QTemporaryFile errors;
        QVERIFY(errors.open());
        std::fflush(stderr);
        const int savedStderr = ::dup(2);
        QVERIFY(::dup2(errors.handle(), 2) >= 0);
        auto restore = qScopeGuard([&] {
            std::fflush(stderr);
            ::dup2(savedStderr, 2);
            ::close(savedStderr);
        });
        capControl c;
        connectFirst(c);
        QVERIFY(c.setCaptureFormat({QSize(1280, 720), QStringLiteral("mjpeg"), 0}));
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 10000);
        const long long until = cam.get("frames") + 24;
        qint64 lastKey = 0;
        int checked = 0;
        while (cam.get("frames") < until && c.isPreviewing()) {
            const QImage f = c.latestFrame();
            if (!f.isNull() && f.cacheKey() != lastKey) {
                lastKey = f.cacheKey();
                ++checked;
                const QString mismatch = gradientMismatch(f, 8);
                QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
            }
            QTest::qWait(5);
        }
        QVERIFY(c.isPreviewing());
        QVERIFY(checked > 3);
        QVERIFY(c.damagedFrames() > 0);
        restore.dismiss();
        std::fflush(stderr);
        ::dup2(savedStderr, 2);
        ::close(savedStderr);
        errors.seek(0);
        const QByteArray printed = errors.readAll();
        QVERIFY2(!printed.contains("mjpeg"), printed.left(400).constData());
    }

    // 拍照使用最高分辨率: the still comes from the largest mode, and the
    // preview goes on in its own (bench_capture_modeswitch times the switch).
    void stillFromTheLargestModeAndBack()
    {
        EmulatedCamera cam(node(0), kCard);
        capControl c;
        connectFirst(c);
        QVERIFY(c.setCaptureFormat({QSize(1280, 720), QStringLiteral("mjpeg"), 30}));
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 10000);
        QVERIFY(!c.firesShutter());
        c.setStillFromBestMode(true);
        QVERIFY(c.firesShutter());
        std::optional<Result<QImage>> answer;
        FrameStamp stamp;
        c.captureStill([&](Result<QImage> still, FrameStamp s) {
            answer = std::move(still);
            stamp = s;
        });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
        QVERIFY2(answer->ok(), qPrintable(answer->error()));
        QCOMPARE(answer->value().size(), QSize(1920, 1080));
        QVERIFY(gradientMismatch(answer->value(), 8).isEmpty());
        QVERIFY(stamp.serial > 0);
        QCOMPARE(c.captureFormat().size, QSize(1280, 720));
        QTRY_COMPARE_WITH_TIMEOUT(c.latestFrame().size(), QSize(1280, 720), 10000);
        QVERIFY(c.isPreviewing());
        c.setStillFromBestMode(false);
    }

    void unpluggedCameraEndsThePreviewAndComesBack()
    {
        EmulatedCamera cam(node(0), kCard);
        capControl c;
        connectFirst(c);
        QSignalSpy lost(&c, &capControl::previewLost);
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 10000);
        cam.set("unplug_after", 5);
        QVERIFY(lost.wait(10000));
        QVERIFY(!c.isPreviewing());
        QVERIFY(!lost.first().first().toString().isEmpty());
        QVERIFY(!c.ShowPreview(true, 60));  // still gone

        cam.plugIn();
        QVERIFY2(c.ShowPreview(true, 60), qPrintable(c.lastError()));
        const long long before = cam.get("frames");
        QTRY_VERIFY_WITH_TIMEOUT(cam.get("frames") > before + 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 10000);
    }

    // The camera stays open and streaming but sends nothing: lost like an
    // unplugged one once its stall time is over, never sooner; a first
    // picture gets longer. Thawed, the next preview opens it afresh.
    void frozenCameraIsLostAfterItsStallTime_data()
    {
        QTest::addColumn<bool>("fromTheStart");
        QTest::addColumn<qint64>("allowedMs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("while previewing")
            << false << qint64(kMinStallMs) << "视频来源 " + kCard + " 已停止发送图像（2 秒没有新画面）";
        QTest::newRow("before its first picture")
            << true << qint64(kNetworkTimeoutMs) << "视频来源 " + kCard + " 没有发送图像（5 秒没有画面）";
    }
    void frozenCameraIsLostAfterItsStallTime()
    {
        QFETCH(bool, fromTheStart);
        QFETCH(qint64, allowedMs);
        QFETCH(QString, expected);
        EmulatedCamera cam(node(0), kCard);
        capControl c;
        connectFirst(c);
        QSignalSpy lost(&c, &capControl::previewLost);
        // What the reader saw when it gave up, before the preview lets the camera go.
        qint64 lastArrivalNs = 0, lostAtMs = 0;
        connect(
            c.session(), &CaptureSession::lost, &c,
            [&] {
                lostAtMs = steadyMs();
                c.session()->latest(nullptr, &lastArrivalNs);
            },
            Qt::DirectConnection);
        qint64 sinceMs = steadyMs();
        if (fromTheStart)
            QVERIFY(cam.set("frozen", 1));
        QVERIFY(c.ShowPreview(true, 60));
        if (!fromTheStart) {
            FrameStamp stamp;
            QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame(&stamp).isNull(), 10000);
            QVERIFY(stamp.serial > 0);
            QCOMPARE(stamp.periodMs, 33);
            QVERIFY(cam.set("frozen", 1));
        }
        QVERIFY(lost.wait(allowedMs + 10000));
        QCOMPARE(lost.first().first().toString(), expected);
        QCOMPARE(c.lastError(), expected);
        QVERIFY(!c.isPreviewing());
        if (!fromTheStart)
            sinceMs = lastArrivalNs / 1000000;
        QVERIFY2(lostAtMs - sinceMs >= allowedMs, qPrintable(QString::number(lostAtMs - sinceMs)));
        QTRY_COMPARE_WITH_TIMEOUT(cam.get("streaming"), 0LL, 10000);

        QVERIFY(cam.set("frozen", 0));
        const long long starts = cam.get("stream_starts");
        QVERIFY2(c.ShowPreview(true, 60), qPrintable(c.lastError()));
        QCOMPARE(cam.get("stream_starts"), starts + 1);
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 10000);
        QVERIFY(c.isPreviewing());
    }

    // A slow camera's pause shorter than four of its frame periods is no stall.
    void slowCameraMayPauseLongerThanTwoSeconds()
    {
        EmulatedCamera cam(node(0), kCard, QStringLiteral("YUYV 320x240@1"));
        capControl c;
        connectFirst(c);
        QSignalSpy lost(&c, &capControl::previewLost);
        QVERIFY(c.ShowPreview(true, 60));
        FrameStamp stamp;
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame(&stamp).isNull(), 10000);
        QCOMPARE(stamp.periodMs, 1000);
        QVERIFY(cam.set("frozen", 1));
        QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty() || (c.latestFrame(&stamp), steadyMs() - stamp.arrivalMs >= 2500),
                                 10000);
        QVERIFY2(lost.isEmpty(), qPrintable(lost.isEmpty() ? QString() : lost.first().first().toString()));
        QVERIFY(cam.set("frozen", 0));
        const quint64 before = stamp.serial;
        QTRY_VERIFY_WITH_TIMEOUT((c.latestFrame(&stamp), stamp.serial > before), 10000);
        QVERIFY(lost.isEmpty());
        QVERIFY(c.isPreviewing());
    }

    void controlsReachTheCamera()
    {
        EmulatedCamera cam(node(0), kCard);
        v4l2::ControlSet set(node(0));
        QVERIFY(set.isOpen());
        QStringList names;
        for (const v4l2::Control& k : set.controls())
            names << k.name;
        for (const char* n : {"Brightness", "Contrast", "Saturation", "White Balance, Automatic",
                              "White Balance Temperature", "Auto Exposure", "Exposure Time, Absolute"})
            QVERIFY2(names.contains(QLatin1String(n)), n);
        QVERIFY(!names.contains(QStringLiteral("User Controls")));  // class headings are no controls
        QVERIFY(set.set(V4L2_CID_BRIGHTNESS, 12).ok());
        QCOMPARE(cam.control(V4L2_CID_BRIGHTNESS), 12);
        QVERIFY(!set.set(V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3000).ok());  // refused while automatic
        QCOMPARE(cam.controlLog(),
                 (QList<EmulatedCamera::ControlWrite>{{V4L2_CID_BRIGHTNESS, 12, 0},
                                                      {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3000, EILSEQ}}));
    }

    // What a program that polls sees: the node becomes readable when a frame is ready.
    void pollWaitsForAFrame()
    {
        EmulatedCamera cam(node(0), kCard, QStringLiteral("YUYV 320x240@30"));
        const int fd = ::open(QFile::encodeName(node(0)).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(fd >= 0);
        v4l2_requestbuffers rq{};
        rq.count = 4;
        rq.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        rq.memory = V4L2_MEMORY_MMAP;
        QCOMPARE(ioctl(fd, VIDIOC_REQBUFS, &rq), 0);
        std::vector<void*> maps;
        for (quint32 i = 0; i < rq.count; ++i) {
            v4l2_buffer b{};
            b.index = i;
            b.type = rq.type;
            b.memory = rq.memory;
            QCOMPARE(ioctl(fd, VIDIOC_QUERYBUF, &b), 0);
            maps.push_back(mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, b.m.offset));
            QVERIFY(maps.back() != MAP_FAILED);
            QCOMPARE(ioctl(fd, VIDIOC_QBUF, &b), 0);
        }
        v4l2_buffer b{};
        b.type = rq.type;
        b.memory = rq.memory;
        QCOMPARE(ioctl(fd, VIDIOC_DQBUF, &b), -1);
        QCOMPARE(errno, EINVAL);  // not streaming yet
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        QCOMPARE(ioctl(fd, VIDIOC_STREAMON, &type), 0);
        pollfd p{fd, POLLIN, 0};
        QCOMPARE(poll(&p, 1, 5000), 1);
        QCOMPARE(ioctl(fd, VIDIOC_DQBUF, &b), 0);
        QCOMPARE(b.bytesused, 320u * 240 * 2);
        QCOMPARE(ioctl(fd, VIDIOC_STREAMOFF, &type), 0);
        for (void* m : maps)
            QCOMPARE(munmap(m, b.length), 0);
        QCOMPARE(::close(fd), 0);
        QCOMPARE(cam.get("open_handles"), 0LL);
    }
};

QTEST_MAIN(WebcamTest)
#include "tst_webcam.moc"
