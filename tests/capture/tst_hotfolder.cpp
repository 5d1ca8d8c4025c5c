// A hot folder as the camera: the newest complete picture file is the
// picture, a still that keeps the time it arrived.
#include "capcontrol.h"
#include "capturesession.h"
#include "capturesource.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

using namespace capture;

namespace {

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray jpegOf(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(f.write(bytes), bytes.size());
}

bool isColour(const QImage& image, QColor colour)
{
    if (image.isNull())
        return false;
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    return qAbs(c.red() - colour.red()) < 8 && qAbs(c.green() - colour.green()) < 8 &&
           qAbs(c.blue() - colour.blue()) < 8;
}

}  // namespace

class HotFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<capControl> c_;

    // Connects the folder and switches the preview on.
    void connectFolder()
    {
        const Result<CaptureSource> source = namedSource(dir_->path());
        QVERIFY2(source.ok(), qPrintable(source.error()));
        QCOMPARE(source->kindId(), QStringLiteral("folder"));
        QSignalSpy connected(c_.get(), &capControl::addressConnected);
        c_->connectAddress(*source);
        QTRY_COMPARE(connected.size(), 1);
        QVERIFY2(connected.first().first().toBool(), qPrintable(connected.first().last().toString()));
        QVERIFY(c_->ShowPreview(true, 60));
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        c_ = std::make_unique<capControl>();
        c_->resize(400, 300);
    }
    void cleanup() { c_.reset(); }

    void theNewestCompleteFileIsThePictureAndAHalfWrittenOneIsNot()
    {
        const QString older = dir_->filePath(QStringLiteral("older.jpg"));
        write(older, jpegOf(QSize(300, 200), Qt::red));
        connectFolder();
        QTRY_VERIFY_WITH_TIMEOUT(isColour(c_->latestFrame(), Qt::red), 5000);
        FrameStamp first;
        c_->latestFrame(&first);

        // A camera program writes the next picture in two bursts.
        const QByteArray next = jpegOf(QSize(200, 300), Qt::blue);
        const QString path = dir_->filePath(QStringLiteral("next.JPG"));
        write(path, next.left(next.size() / 2));
        QTRY_VERIFY_WITH_TIMEOUT(c_->damagedFrames() >= 1, 5000);  // looked at, and refused
        FrameStamp during;
        QVERIFY(isColour(c_->latestFrame(&during), Qt::red));
        QCOMPARE(during.serial, first.serial);

        write(path, next.mid(next.size() / 2));
        QTRY_VERIFY_WITH_TIMEOUT(isColour(c_->latestFrame(), Qt::blue), 5000);
        // The frame follows the picture's own size: this one stands upright.
        QCOMPARE(c_->session()->frameSize(), QSize(200, 300));
        const QRectF whole = c_->widgetToFrame(QRectF(0, 0, 400, 300));
        QCOMPARE(whole.width(), 200.0);
    }

    void aStillKeepsTheTimeItArrived()
    {
        // A file from an earlier student, an hour old, is the picture at first…
        const QString older = dir_->filePath(QStringLiteral("older.png"));
        QImage(64, 48, QImage::Format_RGB32).save(older);
        QFile f(older);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        f.close();
        connectFolder();
        QTRY_VERIFY_WITH_TIMEOUT(!c_->latestFrame().isNull(), 5000);
        FrameStamp stamp;
        c_->latestFrame(&stamp);
        QVERIFY(stamp.still);
        // … but it says it arrived before the new student was chosen.
        const qint64 chosen = steadyMs();
        QVERIFY2(stamp.arrivalMs < chosen - 3500 * 1000, qPrintable(QString::number(chosen - stamp.arrivalMs)));

        write(dir_->filePath(QStringLiteral("new.jpg")), jpegOf(QSize(64, 48), Qt::green));
        QTRY_VERIFY_WITH_TIMEOUT(isColour(c_->latestFrame(&stamp), Qt::green), 5000);
        QVERIFY(stamp.still);
        QVERIFY(stamp.arrivalMs >= chosen);
    }

    void aFolderThatGoesAwayIsLost()
    {
        connectFolder();
        QSignalSpy lost(c_.get(), &capControl::previewLost);
        QVERIFY(dir_->remove());
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
        QVERIFY2(lost.first().first().toString().startsWith(QStringLiteral("文件夹")),
                 qPrintable(lost.first().first().toString()));
        QVERIFY(c_->isAwaitingReturn());
    }
};

QTEST_MAIN(HotFolderTest)
#include "tst_hotfolder.moc"
