// AVI recording from the test camera, read back with libavformat.
#include "aviwriter.h"
#include "capcontrol.h"
#include "capturetesthelp.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace capture;

class TestRecording : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    void connectTestCamera(capControl& c)
    {
        c.resize(480, 360);
        c.driverCount();
        c.setDriverIndex(1);
        QCOMPARE(c.driverIndex(), 1);
    }

private slots:
    void init()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
    }
    void cleanup() { setSourceProvider({}); }

    // The compression quality takes effect: lower quality, smaller file.
    void lowerQualityGivesSmallerFiles_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::newRow("mjpeg") << QStringLiteral("mjpeg");
        if (avcodec_find_encoder_by_name("mpeg4"))
            QTest::newRow("mpeg4") << QStringLiteral("mpeg4");
    }
    void lowerQualityGivesSmallerFiles()
    {
        QFETCH(QString, codec);
        // A detailed picture, moving a little each frame, as a camera gives.
        QImage picture(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * x + y) % 256, (x ^ y) * 5 % 256));
        qint64 previous = -1;
        for (const int quality : {100, 85, 50, 10, 1}) {
            const QString path = dir_.filePath(QStringLiteral("%1-%2.avi").arg(codec).arg(quality));
            AviWriter w;
            QVERIFY(w.open(path, picture.size(), {codec, quality}, 41).ok());
            for (int i = 0; i < 12; ++i)
                QVERIFY(w.write(picture.copy(i, 0, 300, 240).scaled(picture.size())).ok());
            QVERIFY(w.finish().ok());
            const qint64 size = QFileInfo(path).size();
            if (previous >= 0)
                QVERIFY2(
                    size < previous,
                    qPrintable(
                        QStringLiteral("quality %1: %2 bytes, not below %3").arg(quality).arg(size).arg(previous)));
            previous = size;
        }
    }

    // The file plays as long as the recording took, also when the machine is
    // too busy to fill every period in time (those get the last picture).
    void recordingPlaysBackAtTheFramePeriod_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("busyThreads");
        QTest::addColumn<int>("frames");
        QTest::newRow("mjpeg") << QStringLiteral("mjpeg") << 0 << 36;
        if (avcodec_find_encoder_by_name("mpeg4"))
            QTest::newRow("mpeg4") << QStringLiteral("mpeg4") << 0 << 36;
        QTest::newRow("mjpeg, two busy threads") << QStringLiteral("mjpeg") << 2 << 85;
    }

    void recordingPlaysBackAtTheFramePeriod()
    {
        QFETCH(QString, codec);
        QFETCH(int, busyThreads);
        QFETCH(int, frames);
        std::atomic<bool> busy{true};
        std::vector<std::thread> load;
        auto stopLoad = [&] {
            busy = false;
            for (std::thread& t : load)
                t.join();
            load.clear();
        };
        auto unload = qScopeGuard(stopLoad);
        capControl c;
        connectTestCamera(c);
        c.setCompression({codec, 80});
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(QTest::qWaitFor([&] { return !c.latestFrame().isNull(); }, 8000));
        const QString path = dir_.filePath(codec + QStringLiteral("录像.avi"));
        for (int i = 0; i < busyThreads; ++i)
            load.emplace_back([&busy] {
                volatile quint64 spin = 0;
                while (busy.load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
        QVERIFY2(c.StartCapture(CaptureRequest::recording(path)), qPrintable(c.lastError()));
        QVERIFY(c.isCapturing());
        QTRY_VERIFY_WITH_TIMEOUT(c.framesRecorded() >= frames, 20000);
        QVERIFY(c.StopCapture());
        stopLoad();
        QVERIFY(!c.isCapturing());

        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.opened);
        QCOMPARE(info.container, QStringLiteral("avi"));
        QCOMPARE(info.codec, codec);
        QCOMPARE(info.frameRate.num * 41, info.frameRate.den * 1000);
        QCOMPARE(QSize(info.width, info.height), QSize(640, 480));
        // By the recorder's own clock, from its first picture to the stop:
        // every period begun is in the file, none more.
        const Recorder::Stats stats = c.recordingStats();
        const double recordedPeriods = stats.seconds * 1000 / 41;
        QVERIFY2(info.periods > recordedPeriods - 1e-6 && info.periods <= recordedPeriods + 1 + 1e-6,
                 qPrintable(QStringLiteral("%1 frames in %2 periods").arg(info.periods).arg(recordedPeriods)));
        QCOMPARE(info.periods, stats.written);
        QCOMPARE(info.decodeErrors, 0);
        QCOMPARE(info.decoded, info.packets);
    }

    void streamedFramesAreBmpFilesOfThePicture()
    {
        capControl c;
        connectTestCamera(c);
        QList<QByteArray> frames;
        connect(&c, &capControl::frameCaptured, this, [&](const QByteArray& b) { frames << b; });
        // Without a file name the frames stream and nothing is written.
        QVERIFY2(c.StartCapture(CaptureRequest::recording(QString())), qPrintable(c.lastError()));
        QVERIFY(QTest::qWaitFor([&] { return frames.size() >= 3; }, 8000));
        QVERIFY(c.StopCapture());
        QVERIFY(QDir(dir_.path()).entryList(QDir::Files).filter(QStringLiteral("stream")).isEmpty());

        const QByteArray& bmp = frames.last();
        const auto* p = reinterpret_cast<const uchar*>(bmp.constData());
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(qFromLittleEndian<quint32>(p + 2), quint32(bmp.size()));
        QCOMPARE(qFromLittleEndian<quint32>(p + 10), quint32(54));
        QCOMPARE(qFromLittleEndian<quint32>(p + 14), quint32(40));
        const QImage img = QImage::fromData(bmp, "BMP");
        QCOMPARE(img.size(), QSize(640, 480));
        int r, g, b;
        testCameraColour(100, 300, img.size(), &r, &g, &b);
        QCOMPARE(img.pixel(100, 300) & 0xffffff, qRgb(r, g, b) & 0xffffff);
    }

    void killedRecordingKeepsItsFrames()
    {
        const QString path = dir_.filePath(QStringLiteral("killed.avi"));
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            AviWriter w;
            if (!w.open(path, QSize(320, 240), {}, 41).ok())
                _exit(2);
            QImage img(320, 240, QImage::Format_RGB32);
            for (int i = 0; i < 30; ++i) {
                img.fill(qRgb(i * 8, 100, 200));
                if (!w.write(img).ok())
                    _exit(3);
            }
            raise(SIGKILL);  // no trailer, no index
            _exit(4);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGKILL);

        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.opened);
        QCOMPARE(info.codec, QStringLiteral("mjpeg"));
        QCOMPARE(info.packets, 30);
        QCOMPARE(info.decoded, 30);
    }

    void recordingThatCannotStartSaysWhy()
    {
        capControl c;
        const QString path = dir_.filePath(QStringLiteral("nosource.avi"));
        QVERIFY(!c.StartCapture(CaptureRequest::recording(path)));
        QCOMPARE(c.lastError(), QStringLiteral("没有连接视频来源。"));

        connectTestCamera(c);
        QVERIFY(!c.StartCapture(CaptureRequest::recording(QStringLiteral("/nonexistent-folder/x.avi"))));
        QCOMPARE(c.lastError(), QStringLiteral("设置文件名出错。"));
        QVERIFY(!c.isCapturing());

        {
            CaptureRequest noPeriod = CaptureRequest::recording(path);
            noPeriod.periodMs = 0;
            QVERIFY(!c.StartCapture(noPeriod));
        }
        QCOMPARE(c.lastError(), QStringLiteral("设置捕获参数出错,请检查传入的参数。"));

        c.setCompression({QStringLiteral("no-such-codec"), 50});
        QVERIFY(!c.StartCapture(CaptureRequest::recording(path)));
        QVERIFY(c.lastError().contains(QStringLiteral("no-such-codec")));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!c.isCapturing());

        // A second start while recording is refused; the first goes on.
        c.setCompression({});
        QVERIFY(c.StartCapture(CaptureRequest::recording(path)));
        QVERIFY(!c.StartCapture(CaptureRequest::recording(dir_.filePath(QStringLiteral("second.avi")))));
        QVERIFY(c.isCapturing());
        QVERIFY(c.StopCapture());
        QVERIFY(!c.StopCapture());
    }

    void mouseButtonsAbortAsAsked()
    {
        capControl c;
        connectTestCamera(c);
        QSignalSpy aborted(&c, &capControl::captureAborted);
        const QString path = dir_.filePath(QStringLiteral("aborted.avi"));
        QVERIFY(c.StartCapture(CaptureRequest::recording(path)));
        QTRY_VERIFY_WITH_TIMEOUT(c.framesRecorded() >= 3, 10000);
        QTest::mouseClick(&c, Qt::LeftButton);
        QVERIFY(c.isCapturing());
        QCOMPARE(aborted.count(), 0);
        QTest::mouseClick(&c, Qt::RightButton);
        QCOMPARE(aborted.count(), 1);
        QVERIFY(!c.isCapturing());
        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.packets > 0);
        QCOMPARE(info.decoded, info.packets);
    }

    void timeLimitEndsTheFile()
    {
        capControl c;
        connectTestCamera(c);
        QSignalSpy ended(&c, &capControl::captureEnded);
        const QString path = dir_.filePath(QStringLiteral("limited.avi"));
        QVERIFY(c.StartCapture(CaptureRequest::recording(path, 1)));
        QVERIFY(ended.wait(8000));
        QCOMPARE(ended.first().first().toString(), QString());
        QVERIFY(!c.isCapturing());
        QCOMPARE(testhelp::readAvi(path).periods, 1000 / 41);
    }

    void lostSourceEndsTheFileCleanly()
    {
        setSourceProvider([] { return QList<CaptureSource>{testhelp::endingSource(1.0)}; });
        capControl c;
        connectTestCamera(c);
        QSignalSpy ended(&c, &capControl::captureEnded);
        const QString path = dir_.filePath(QStringLiteral("lost.avi"));
        QVERIFY2(c.StartCapture(CaptureRequest::recording(path)), qPrintable(c.lastError()));
        QVERIFY(ended.wait(8000));
        QVERIFY(!ended.first().first().toString().isEmpty());
        QVERIFY(!c.isCapturing());
        const testhelp::AviInfo info = testhelp::readAvi(path);
        QVERIFY(info.packets > 5);
        QCOMPARE(info.decoded, info.packets);
    }
};

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
