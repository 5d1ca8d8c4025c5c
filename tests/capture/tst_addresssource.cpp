// Network and file sources through the main window: an MJPEG stream over
// HTTP served by the ffmpeg program, a picture file looped. The photo is
// the source's picture under the frame; a lost or frozen stream turns the
// preview off, and opening it again never holds up the window.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "capturesource.h"
#include "jpegcodec.h"
#include "rostercontroller.h"
#include "shell/stationfixture.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

using namespace capture;

namespace {

// Whether something listens on the port (ffmpeg's server serves one client,
// so a probing connection would use it up).
bool isListening(quint16 port)
{
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (!tcp.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : tcp.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && f[1].endsWith(local) && f[3] == "0A")
            return true;
    }
    return false;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Mean difference per channel between two pictures of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

}  // namespace

class AddressSourceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    MainWindow& w() { return *f->window; }
    template <typename T = QWidget> T* unit(const char* name) { return f->unit<T>(name); }
    capControl* device() { return f->camera(); }

    // An MJPEG stream of the test camera over HTTP at 10 fps, served to one
    // client by the ffmpeg program; answers its address.
    QString serveTestCamera(QProcess& server)
    {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty())
            return {};
        const quint16 port = freePort();
        const CaptureFormat format{QSize(640, 480), QStringLiteral("bgr0"), 10};
        const QString address = QStringLiteral("http://127.0.0.1:%1/camera.mjpg").arg(port);
        server.start(ffmpeg, {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", testCameraGraph(format),
                              "-c:v", "mjpeg", "-q:v", "2", "-f", "mpjpeg", "-listen", "1", address});
        if (!server.waitForStarted())
            return {};
        return QTest::qWaitFor([port] { return isListening(port); }, 15000) ? address : QString();
    }

    void useAddress(const QString& address)
    {
        QSignalSpy done(w().camera, &CameraController::addressFinished);
        w().camera->UseAddress(address);
        QVERIFY(done.wait(15000));
        QVERIFY2(done.first().first().toBool(), qPrintable(f->dialogs.texts().join('\n')));
    }

    // The saved photo is `picture` (what the source shows) under the frame's interior.
    void checkPhoto(const QImage& picture, double tolerance)
    {
        f->takeFirstUncaptioned();
        const Result<QImage> saved = loadJpeg(f->firstPhoto());
        QVERIFY2(saved.ok(), qPrintable(f->dialogs.texts().join('\n')));
        const QRect interior = w().viewfinder->frameInterior().translated(-device()->pos());
        const QRect region = device()->widgetToFrame(QRectF(interior)).toRect();
        const QImage expected =
            picture.copy(region).scaled(saved.value().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double diff = meanDifference(saved.value(), expected);
        QVERIFY2(diff < tolerance, qPrintable(QString::number(diff)));
    }

private slots:
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void pictureFileIsLoopedAndPhotographed()
    {
        const QString path = QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png");
        const QImage portrait(path);
        QVERIFY2(!portrait.isNull(), "tests/data/pictures/portrait.png is missing");
        useAddress(path);
        QCOMPARE(device()->driverDescription(), QStringLiteral("portrait.png"));
        f->previewOn();
        // A still picture keeps coming: the preview stays live.
        const quint64 serial = device()->session()->serial();
        QTRY_VERIFY_WITH_TIMEOUT(device()->session()->serial() > serial + 2, 10000);
        QCOMPARE(device()->latestFrame().size(), portrait.size());
        QVERIFY(meanDifference(device()->latestFrame(), portrait) < 1.0);
        checkPhoto(portrait, 6);
        QVERIFY(w().camera->state().previewOn());
    }

    void httpStreamPreviewsAndIsLostAndReopenedInTheBackground()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("the ffmpeg program is not installed");
        QProcess server;
        const QString address = serveTestCamera(server);
        QVERIFY(!address.isEmpty());
        const quint16 port = quint16(QUrl(address).port());
        // The server serves one client: the stream is connected while previewing.
        unit<QPushButton>("预览按钮")->click();
        QVERIFY(w().camera->state().previewOn());
        useAddress(address);
        QTRY_COMPARE_WITH_TIMEOUT(device()->latestFrame().size(), QSize(640, 480), 10000);
        QImage gradient(640, 480, QImage::Format_RGB32);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                int r, g, b;
                testCameraColour(x, y, gradient.size(), &r, &g, &b);
                gradient.setPixel(x, y, qRgb(r, g, b));
            }
        checkPhoto(gradient, 6);

        // The server goes: like an unplugged camera, told in Chinese first.
        server.kill();
        server.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().previewOn(), 15000);
        QCOMPARE(f->dialogs.messages.size(), 1);
        const QString gone = f->dialogs.messages.first().text;
        QVERIFY2(!gone.contains(QStringLiteral("系统错误")) && !gone.contains(QStringLiteral("：Invalid")),
                 qPrintable(gone));

        // An address that answers nothing: the window goes on while it is tried.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, port));
        unit<QPushButton>("预览按钮")->click();
        QVERIFY(device()->isConnectingAddress());
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().previewOn(), 20000);
        QCOMPARE(f->dialogs.messages.size(), 2);
        QVERIFY2(f->dialogs.messages.last().text.contains(QStringLiteral("秒内没有")),
                 qPrintable(f->dialogs.messages.last().text));
        QCOMPARE(unit<QPushButton>("预览按钮")->text(), QStringLiteral("开启预览"));

        // A recording waits for it the same way, then says why it ended.
        const QString file = f->photoFolder() + QStringLiteral("/录像.avi");
        f->dialogs.saveAnswers.enqueue(file);
        QElapsedTimer clock;
        clock.start();
        unit<QPushButton>("录制按钮")->click();
        QVERIFY2(clock.elapsed() < kNetworkTimeoutMs / 2, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(device()->isConnectingAddress());
        QVERIFY(w().camera->state().recording());
        QCOMPARE(w().status(), QStringLiteral("视频正在录制中……"));
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().recording(), 20000);
        QCOMPARE(f->dialogs.messages.size(), 3);
        QVERIFY2(f->dialogs.messages.last().text.contains(QStringLiteral("秒内没有")),
                 qPrintable(f->dialogs.messages.last().text));
        QVERIFY(!device()->isCapturing());
        QVERIFY(!w().camera->state().previewOn());
        QVERIFY(w().status().startsWith(QStringLiteral("录制视频结束……")));
        QVERIFY(unit<QPushButton>("录制按钮")->isEnabled());
        QVERIFY(!unit<QPushButton>("结束录制按钮")->isEnabled());
        QCOMPARE(unit<QPushButton>("预览按钮")->text(), QStringLiteral("开启预览"));
        QVERIFY(!QFile::exists(file));

        // Ended by hand while it waits: at once, nothing written, and when
        // the source gives up nobody is told again.
        f->dialogs.saveAnswers.enqueue(file);
        unit<QPushButton>("录制按钮")->click();
        QVERIFY(device()->isConnectingAddress());
        clock.restart();
        unit<QPushButton>("结束录制按钮")->click();
        QVERIFY2(clock.elapsed() < kNetworkTimeoutMs / 2, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w().camera->state().recording() && !device()->isCapturing());
        QVERIFY(w().status().startsWith(QStringLiteral("录制视频结束……")));
        QVERIFY(unit<QPushButton>("录制按钮")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!device()->isConnectingAddress(), 20000);
        QCoreApplication::processEvents();
        QCOMPARE(f->dialogs.messages.size(), 3);
        QVERIFY(!w().camera->state().previewOn() && !w().camera->state().recording());
        QVERIFY(w().status().startsWith(QStringLiteral("录制视频结束……")));
        QVERIFY(!QFile::exists(file));
    }

    // --camera with a server that serves one client: connected once at
    // start and kept, so the preview reads that same connection.
    void aOneClientSourceIsOpenedOnce()
    {
        QProcess server;
        const QString address = serveTestCamera(server);
        if (address.isEmpty())
            QSKIP("the ffmpeg program is not installed");
        useAddress(address);
        unit<QPushButton>("预览按钮")->click();
        QVERIFY(w().camera->state().previewOn());
        QTRY_COMPARE_WITH_TIMEOUT(device()->latestFrame().size(), QSize(640, 480), 10000);
        QVERIFY(f->dialogs.messages.isEmpty());
        server.kill();
        server.waitForFinished();
    }

    void aRefusedConnectionSaysSoInChinese()
    {
        const quint16 port = freePort();  // nobody listens there
        w().camera->UseAddress(QStringLiteral("http://127.0.0.1:%1/camera.mjpg").arg(port));
        QTRY_COMPARE_WITH_TIMEOUT(f->dialogs.messages.size(), 1, 15000);
        const QString text = f->dialogs.messages.first().text;
        QVERIFY2(text.contains(QStringLiteral("：连接被拒绝")) &&
                     text.endsWith(QStringLiteral("（Connection refused）")),
                 qPrintable(text));
    }

    // A server that stops sending but keeps the connection open is noticed
    // after the stall time, not after the network's own timeout.
    void frozenStreamIsLostAfterTheStallTime()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("the ffmpeg program is not installed");
        QProcess server;
        const QString address = serveTestCamera(server);
        QVERIFY(!address.isEmpty());
        unit<QPushButton>("预览按钮")->click();
        useAddress(address);
        QTRY_VERIFY_WITH_TIMEOUT(!device()->latestFrame().isNull(), 10000);
        QVERIFY(w().camera->state().previewOn());
        const auto pid = pid_t(server.processId());
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!w().camera->state().previewOn(), 15000);
        ::kill(pid, SIGCONT);
        QCOMPARE(f->dialogs.texts(),
                 QStringList{QStringLiteral("视频来源 %1 已停止发送图像（2 秒没有新画面）").arg(address)});
        // The same address is looked for until it answers again.
        QCOMPARE(w().status(), QStringLiteral("当前状态: 照相设备已断开，正在等待它重新连接……"));
        QVERIFY(device()->isAwaitingReturn());
        server.kill();
        server.waitForFinished();
    }
};

QTEST_MAIN(AddressSourceTest)
#include "tst_addresssource.moc"
