// The capture unit with the built-in test camera through the real FFmpeg path.
#include "capcontrol.h"
#include "capturedialogs.h"
#include "capturesession.h"
#include "capturetesthelp.h"

#include <QComboBox>
#include <QListWidget>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace capture;

namespace {

// The colour of the test camera at a frame point, as the unit saw it.
void expectGradient(const QImage& frame, QPoint at)
{
    int r, g, b;
    testCameraColour(at.x(), at.y(), frame.size(), &r, &g, &b);
    const QRgb c = frame.pixel(at);
    QVERIFY2(qRed(c) == r && qGreen(c) == g && qBlue(c) == b,
             qPrintable(QStringLiteral("at %1,%2: got %3,%4,%5 want %6,%7,%8")
                            .arg(at.x())
                            .arg(at.y())
                            .arg(qRed(c))
                            .arg(qGreen(c))
                            .arg(qBlue(c))
                            .arg(r)
                            .arg(g)
                            .arg(b)));
}

bool waitForFrame(const capControl& c, int timeoutMs = 8000)
{
    return QTest::qWaitFor([&] { return !c.latestFrame().isNull(); }, timeoutMs);
}

// Tells that a signal was raised on its thread, whether or not its queued
// deliveries have run yet.
class Raised {
public:
    template <class Sender, class Signal>
    Raised(const Sender* sender, Signal signal)
        : connection_(QObject::connect(sender, signal, [this] { count_.release(); }))
    {
    }
    ~Raised() { QObject::disconnect(connection_); }
    bool wait(int timeoutMs) { return count_.tryAcquire(1, timeoutMs); }

private:
    QSemaphore count_;
    QMetaObject::Connection connection_;
};

}  // namespace

class TestCapControl : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        setSourceProvider({});
        setDialogRunner({});
    }

    void testCameraPictureIsLiveAndPositional()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        capControl c;
        c.resize(480, 360);
        QCOMPARE(c.driverCount(), 1);
        c.setDriverIndex(1);
        QCOMPARE(c.driverIndex(), 1);
        QCOMPARE(c.driverDescription(), QStringLiteral("内置测试图像"));
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(waitForFrame(c));

        const QImage first = c.latestFrame();
        QCOMPARE(first.size(), QSize(640, 480));
        for (QPoint p : {QPoint(0, 12), QPoint(639, 479), QPoint(320, 240), QPoint(17, 400)})
            expectGradient(first, p);
        // The moving mark makes later frames differ, inside its band only.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return c.latestFrame().copy(0, 0, 640, kTestMarkBandHeight) !=
                       first.copy(0, 0, 640, kTestMarkBandHeight);
            },
            5000));
        QCOMPARE(c.latestFrame().copy(0, kTestMarkBandHeight, 640, 480 - kTestMarkBandHeight),
                 first.copy(0, kTestMarkBandHeight, 640, 480 - kTestMarkBandHeight));

        QVERIFY(c.ShowPreview(false, -1));
        QVERIFY(!c.isPreviewing());
    }

    void previewFillsTheUnitCroppedNotStretched()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        // Choose the wide 1280x720 format through the format dialog.
        setDialogRunner([](QDialog& d) {
            auto* list = d.findChild<QListWidget*>(QStringLiteral("formats"));
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text().startsWith(QStringLiteral("1280 x 720")))
                    list->setCurrentRow(i);
            return int(QDialog::Accepted);
        });
        capControl c;
        c.resize(480, 360);
        c.driverCount();
        c.setDriverIndex(1);
        QVERIFY(c.VideoFormatDialog());
        QCOMPARE(c.captureFormat().size, QSize(1280, 720));
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(QTest::qWaitFor([&] { return c.latestFrame().size() == QSize(1280, 720); }, 8000));

        const QImage frame = c.latestFrame();
        // A point of the unit maps to the frame pixel whose colour tells its position.
        const QRectF mapped = c.widgetToFrame(QRectF(240, 180, 2, 2));
        QCOMPARE(mapped, QRectF(640, 360, 4, 4));
        const QRectF corner = c.widgetToFrame(QRectF(0, 100, 1, 1));
        QCOMPARE(corner.topLeft(), QPointF(160, 200));
        expectGradient(frame, corner.topLeft().toPoint());

        // What is painted at a unit point is the frame colour at the mapped point.
        const QImage shown = c.grab().toImage();
        for (QPoint w : {QPoint(10, 100), QPoint(240, 180), QPoint(470, 350)}) {
            const QPoint f = c.widgetToFrame(QRectF(w, QSizeF(1, 1))).center().toPoint();
            int r, g, b;
            testCameraColour(f.x(), f.y(), frame.size(), &r, &g, &b);
            const QRgb p = shown.pixel(w);
            QVERIFY2(qAbs(qRed(p) - r) <= 2 && qAbs(qGreen(p) - g) <= 2,
                     qPrintable(QStringLiteral("unit %1,%2").arg(w.x()).arg(w.y())));
        }
    }

    // A mirrored preview shows the picture flipped; the frame a photo is cut
    // from is not, and what lies under a spot of the unit is what is painted there.
    void mirroredPreviewOnly()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        capControl c;
        c.resize(480, 360);
        c.driverCount();
        c.setDriverIndex(1);
        c.setPreviewMirrored(true);
        QVERIFY(c.ShowPreview(true, 60));
        QTRY_VERIFY_WITH_TIMEOUT(!c.latestFrame().isNull(), 8000);
        const QImage frame = c.latestFrame();
        expectGradient(frame, QPoint(20, 100));  // the camera's own picture
        const QImage shown = c.grab().toImage();
        const QPointF left = c.widgetToFrame(QRectF(10, 100, 1, 1)).center();
        QVERIFY(left.x() > frame.width() / 2);
        for (QPoint w : {QPoint(10, 100), QPoint(470, 200)}) {
            const QPoint f = c.widgetToFrame(QRectF(w, QSizeF(1, 1))).center().toPoint();
            int r, g, b;
            testCameraColour(f.x(), f.y(), frame.size(), &r, &g, &b);
            const QRgb p = shown.pixel(w);
            QVERIFY2(qAbs(qRed(p) - r) <= 3 && qAbs(qGreen(p) - g) <= 3,
                     qPrintable(QStringLiteral("unit %1,%2").arg(w.x()).arg(w.y())));
        }
        c.setPreviewMirrored(false);
    }

    void callsWithoutCaptureBackendReportWhich()
    {
        capControl c;
        c.tearDownBackend();
        const QList<QPair<std::function<void()>, QString>> cases = {
            {[&] { c.setDriverIndex(1); }, QStringLiteral("窗口未创建1。")},
            {[&] { QCOMPARE(c.driverCount(), 0); }, QStringLiteral("窗口未创建2。")},
            {[&] { QCOMPARE(c.driverDescription(), QString()); }, QStringLiteral("窗口未创建3。")},
            {[&] { QVERIFY(!c.VideoSourceDialog()); }, QStringLiteral("窗口未创建4。")},
            {[&] { QVERIFY(!c.VideoFormatDialog()); }, QStringLiteral("窗口未创建5。")},
            {[&] { QVERIFY(!c.ShowPreview(true, 60)); }, QStringLiteral("窗口未创建7。")},
            {[&] { QVERIFY(!c.StartCapture(CaptureRequest::recording(QString()))); }, QStringLiteral("窗口未创建9。")},
            {[&] { QVERIFY(!c.CompressionDialog()); }, QStringLiteral("窗口未创建。")},
            {[&] { QVERIFY(!c.StopCapture()); }, QStringLiteral("窗口未创建。")},
        };
        for (const auto& [call, text] : cases) {
            call();
            QCOMPARE(c.lastError(), text);
        }
        QCOMPARE(c.driverIndex(), -1);
    }

    void indexOutsideRangeIsRejected_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("error");
        QTest::newRow("zero") << 0 << QStringLiteral("当前来源不在有效的范围内。");
        QTest::newRow("negative") << -1 << QStringLiteral("当前来源不在有效的范围内。");
        QTest::newRow("twelve") << 12 << QStringLiteral("当前来源不在有效的范围内。");
        QTest::newRow("eleven: in range, no such driver") << 11 << QString();
    }

    void indexOutsideRangeIsRejected()
    {
        QFETCH(int, index);
        QFETCH(QString, error);
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        capControl c;
        c.setDriverIndex(index);
        QCOMPARE(c.driverIndex(), -1);
        QCOMPARE(c.lastError(), error);
    }

    void refusedConnectionKeepsThePreviousIndex()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera(), testhelp::missingCamera()}; });
        capControl c;
        QCOMPARE(c.driverCount(), 2);
        c.setDriverIndex(1);
        QCOMPARE(c.driverIndex(), 1);
        c.setDriverIndex(2);
        QCOMPARE(c.driverIndex(), 1);
        QCOMPARE(c.driverDescription(), QStringLiteral("内置测试图像"));
        QVERIFY2(c.lastError().contains(QStringLiteral("不存在的相机")), qPrintable(c.lastError()));
        // The previous source was let go: there is nothing to preview.
        QVERIFY(!c.ShowPreview(true, 60));
        QVERIFY(!c.isPreviewing());
        // Choosing the first again connects it.
        c.setDriverIndex(1);
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(waitForFrame(c));
    }

    void noDriverNoPreview()
    {
        setSourceProvider([] { return QList<CaptureSource>{}; });
        capControl c;
        QCOMPARE(c.driverCount(), 0);
        c.setDriverIndex(1);
        QCOMPARE(c.driverIndex(), -1);
        QVERIFY(!c.ShowPreview(true, 60));
        QVERIFY(!c.VideoFormatDialog());
        QCOMPARE(c.lastError(), QStringLiteral("获取硬件信息失败"));
    }

    void dialogsOnTheTestCamera()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        capControl c;
        c.driverCount();
        c.setDriverIndex(1);
        int shown = 0;
        setDialogRunner([&](QDialog& d) {
            ++shown;
            if (d.findChild<QComboBox*>(QStringLiteral("codec"))) {
                d.findChild<QSpinBox*>(QStringLiteral("quality"))->setValue(40);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        QVERIFY(!c.VideoSourceDialog());
        QCOMPARE(c.lastError(), QStringLiteral("您的硬件不支持此方法。"));
        QCOMPARE(shown, 0);

        QVERIFY(c.CompressionDialog());
        QCOMPARE(c.compression().codec, QStringLiteral("mjpeg"));
        QCOMPARE(c.compression().quality, 40);

        // A cancelled format dialog keeps the format.
        const CaptureFormat before = c.captureFormat();
        QVERIFY(c.VideoFormatDialog());
        QCOMPARE(c.captureFormat(), before);
        QCOMPARE(shown, 2);
    }

    void lostSourceStopsThePreviewWithAMessage()
    {
        setSourceProvider([] { return QList<CaptureSource>{testhelp::endingSource()}; });
        capControl c;
        c.driverCount();
        c.setDriverIndex(1);
        QSignalSpy lost(&c, &capControl::previewLost);
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(lost.wait(8000));
        QVERIFY(!lost.first().first().toString().isEmpty());
        QVERIFY(!c.isPreviewing());
        QCOMPARE(c.lastError(), lost.first().first().toString());
        // The source can be previewed again afterwards.
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(lost.wait(8000));
    }

    void aStaleLossReportLeavesTheNewSourceAlone()
    {
        setSourceProvider([] { return QList<CaptureSource>{testhelp::endingSource(0.3), testCamera()}; });
        capControl c;
        c.driverCount();
        c.setDriverIndex(1);
        Raised reported(c.session(), &CaptureSession::lost);
        QSignalSpy lost(&c, &capControl::previewLost);
        QVERIFY(c.ShowPreview(true, 60));
        // Reported from the reader; not delivered, as no event has been handled since.
        QVERIFY(reported.wait(8000));
        c.setDriverIndex(2);
        QVERIFY(c.isPreviewing());
        QCoreApplication::sendPostedEvents();
        QVERIFY(waitForFrame(c));
        QVERIFY(c.isPreviewing());
        QCOMPARE(lost.count(), 0);
    }

    // A recording that reached its limit reports it from its thread; when
    // the report arrives after a new recording started, the new one goes on.
    void aStaleRecordingReportLeavesTheNewRecordingAlone()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera()}; });
        QTemporaryDir dir;
        capControl c;
        c.driverCount();
        c.setDriverIndex(1);
        Raised reported(c.recorder(), &Recorder::limitReached);
        QSignalSpy ended(&c, &capControl::captureEnded);
        QVERIFY(c.ShowPreview(true, 60));
        QVERIFY(waitForFrame(c));
        QVERIFY(c.StartCapture(CaptureRequest::recording(dir.filePath("first.avi"), 0)));
        // The limit of no time is reached with the first picture; its report
        // waits in the queue, as no event is handled here.
        QVERIFY(reported.wait(8000));
        QVERIFY(c.StopCapture());
        QVERIFY(c.StartCapture(CaptureRequest::recording(dir.filePath("second.avi"))));
        QCoreApplication::sendPostedEvents();
        QVERIFY(c.isCapturing());
        QCOMPARE(ended.count(), 0);
        QVERIFY(c.StopCapture());
        QVERIFY(QFileInfo(dir.filePath("second.avi")).size() > 0);
    }

    void switchingDriversWhilePreviewingKeepsThePreview()
    {
        setSourceProvider([] { return QList<CaptureSource>{testCamera(), testCamera()}; });
        capControl c;
        c.driverCount();
        c.setDriverIndex(1);
        QVERIFY(c.ShowPreview(true, 60));
        c.setDriverIndex(2);
        QCOMPARE(c.driverIndex(), 2);
        QVERIFY(c.isPreviewing());
        QVERIFY(waitForFrame(c));
    }
};

QTEST_MAIN(TestCapControl)
#include "tst_capcontrol.moc"
