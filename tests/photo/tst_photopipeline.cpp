#include "jpegcodec.h"
#include "photocut.h"
#include "photofile.h"
#include "photoimage.h"
#include "photorender.h"
#include "testfiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Colour tells position: red = x mod 256, green = y mod 256, blue = 16*(y/256) + x/256.
QImage positionPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 16 * (y / 256) + x / 256));
    return img;
}

QPoint positionOf(QRgb c)
{
    return {qRed(c) + 256 * (qBlue(c) % 16), qGreen(c) + 256 * (qBlue(c) / 16)};
}

// Smooth, so checks survive scaling and JPEG.
QImage gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(255 * x / (w - 1), 255 * y / (h - 1), 128));
    return img;
}

// The frame markers (SOFn) of a JPEG, read segment by segment up to the scan.
QList<int> frameMarkers(const QByteArray& jpg)
{
    QList<int> found;
    const auto* b = reinterpret_cast<const uchar*>(jpg.constData());
    for (qsizetype at = 2; at + 4 <= jpg.size() && b[at] == 0xFF && b[at + 1] != 0xDA;
         at += 2 + (b[at + 2] << 8 | b[at + 3])) {
        const int m = b[at + 1];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
            found << m;
    }
    return found;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

Result<safewrite::Published> savePhoto(const QString& path, const QImage& cut = gradient(100, 100),
                                       QSize target = {151, 201})
{
    PhotoJob job;
    job.cut = cut;
    job.size = target;
    job.target.path = path;
    job.target.existing = safewrite::Existing::Replace;
    return runPhotoJob(job);
}

const QByteArray oldPhoto = "old photo bytes";

}  // namespace

class PhotoPipelineTest : public QObject {
    Q_OBJECT
private slots:
    void photoIsBaselineJpegOfExactlyTheTargetSize_data()
    {
        QTest::addColumn<QSize>("target");
        QTest::newRow("151x201") << QSize(151, 201);
        QTest::newRow("600x800") << QSize(600, 800);
        QTest::newRow("odd upscale 1001x1333") << QSize(1001, 1333);
    }
    void photoIsBaselineJpegOfExactlyTheTargetSize()
    {
        QFETCH(QSize, target);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("张三.jpg"));
        QVERIFY(writeAll(path, oldPhoto));
        const QImage retained = gradient(736, 980);
        const Result<safewrite::Published> r = savePhoto(path, retained, target);
        QVERIFY2(r.ok(), qPrintable(r.error()));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("张三.jpg")});  // no temporary left

        QCOMPARE(frameMarkers(readAll(path)), QList<int>{0xC0});
        const Result<QImage> back = loadJpeg(path);
        QVERIFY2(back.ok(), qPrintable(back.error()));
        QCOMPARE(back.value().size(), target);
        // Padded rows must not skew the picture: colours stay where they were.
        for (const QPointF rel : {QPointF(0.1, 0.1), QPointF(0.9, 0.15), QPointF(0.5, 0.5), QPointF(0.2, 0.9)}) {
            const QRgb got = back.value().pixel(int(rel.x() * target.width()), int(rel.y() * target.height()));
            QVERIFY(near(got, retained.pixel(int(rel.x() * 736), int(rel.y() * 980)), 12));
        }
    }

    void targetSizeRules()
    {
        const QSize canvas(184, 245);
        QCOMPARE(photoSizeFor(151, 201, canvas), QSize(151, 201));
        QCOMPARE(photoSizeFor(0, 0, canvas), canvas);  // 0: the canvas's side
        QCOMPARE(photoSizeFor(-50, -200, canvas), QSize(92, 490));  // -p: p percent
        QCOMPARE(photoSizeFor(-5, -1, canvas), QSize(18, 24));  // at least 10 percent
    }

    void shrinkingAveragesTheArea()
    {
        // A one-pixel checker halves to grey; dropping pixels gives black or white.
        QImage checker(200, 200, QImage::Format_RGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        const QImage half = scaleToPhotoSize(checker, QSize(100, 100));
        QCOMPARE(half.size(), QSize(100, 100));
        for (int i = 0; i < 100; i += 7)
            QVERIFY(near(half.pixel(i, (i * 3) % 100), qRgb(128, 128, 128), 8));
        // One lit pixel per 4x4 block keeps its share (255 / 16) only when the
        // area is averaged; interpolation misses or hits it.
        QImage dots(200, 200, QImage::Format_RGB32);
        dots.fill(Qt::black);
        for (int y = 0; y < 200; y += 4)
            for (int x = 0; x < 200; x += 4)
                dots.setPixel(x, y, qRgb(255, 255, 255));
        const QImage quarter = scaleToPhotoSize(dots, QSize(50, 50));
        for (int i = 1; i < 49; i += 5)
            QVERIFY(near(quarter.pixel(i, 48 - i), qRgb(16, 16, 16), 4));
    }

    void cutTakesExactlyTheInterior_data()
    {
        QTest::addColumn<QRectF>("interior");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("inside") << QRectF(300, 100, 480, 640) << QRect(300, 100, 480, 640);
        QTest::newRow("fractional edges round") << QRectF(10.4, 20.6, 99.2, 50.0) << QRect(10, 21, 100, 50);
        QTest::newRow("past right and bottom keeps size") << QRectF(1000, 800, 400, 300) << QRect(880, 660, 400, 300);
        QTest::newRow("past left and top keeps size") << QRectF(-20, -5, 200, 100) << QRect(0, 0, 200, 100);
        QTest::newRow("larger than the frame") << QRectF(-10, -10, 2000, 1500) << QRect(0, 0, 1280, 960);
    }
    void cutTakesExactlyTheInterior()
    {
        QFETCH(QRectF, interior);
        QFETCH(QRect, expected);
        const Result<QImage> cut = cutPhoto(positionPicture(1280, 960), interior);
        QVERIFY2(cut.ok(), qPrintable(cut.error()));
        QCOMPARE(cut.value().size(), expected.size());
        const int r = expected.width() - 1, b = expected.height() - 1;
        for (const QPoint p : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b), QPoint(r / 2, b / 3)})
            QCOMPARE(positionOf(cut.value().pixel(p)), expected.topLeft() + p);
    }

    void nothingToCutIsAnError()
    {
        QVERIFY(!cutPhoto(QImage(), QRectF(0, 0, 10, 10)).ok());
        const QImage frame = positionPicture(64, 48);
        for (const QRectF& bad : {QRectF(), QRectF(5, 5, -3, 10), QRectF(1, 1, 0.2, 0.2), QRectF(qQNaN(), 0, 10, 10)}) {
            const Result<QImage> r = cutPhoto(frame, bad);
            QVERIFY(!r.ok() && !r.error().isEmpty());
        }
    }

    void missingFolderIsAnError()
    {
        QTemporaryDir dir;
        const Result<safewrite::Published> r = savePhoto(dir.filePath("gone/a.jpg"));
        QVERIFY(!r.ok() && !r.error().isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
    }

    void readOnlyFolderKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("ro");
        QVERIFY(QDir().mkdir(folder));
        // Permissions do not stop root: it gets a read-only file system instead.
        const bool root = geteuid() == 0;
        if (root && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folder}) != 0)
            QSKIP("cannot mount a tmpfs to make a read-only folder");
        auto cleanup = qScopeGuard([&] {
            if (root)
                QProcess::execute("umount", {folder});
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QString path = folder + "/a.jpg";
        QVERIFY(writeAll(path, oldPhoto));
        if (root)
            QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", folder}), 0);
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

        const Result<safewrite::Published> r = savePhoto(path);
        QVERIFY(!r.ok() && !r.error().isEmpty());
        QCOMPARE(readAll(path), oldPhoto);
    }

    void fullDiskKeepsTheOldFile()
    {
        // A file size limit makes writes fail as a full disk does.
        QTemporaryDir dir;
        const QString path = dir.filePath("a.jpg");
        QVERIFY(writeAll(path, oldPhoto));
        QImage noise(600, 800, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 2048;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Result<safewrite::Published> r = savePhoto(path, noise, QSize(600, 800));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!r.ok() && !r.error().isEmpty());
        QCOMPARE(readAll(path), oldPhoto);
        QCOMPARE(filesIn(dir.path()), QStringList{"a.jpg"});
    }

    void photoFolderIsCreatedWithItsParents()
    {
        QTemporaryDir dir;
        const QString nested = dir.filePath(QStringLiteral("学校/2026/初一"));
        QVERIFY(ensurePhotoFolder(nested).ok());
        QVERIFY(QFileInfo(nested).isDir());
        QVERIFY(ensurePhotoFolder(nested).ok());  // existing: fine
        QVERIFY(writeAll(dir.filePath("file"), "x"));
        for (const QString& bad : {QString(), dir.filePath("file"), dir.filePath("file/sub")}) {
            const Status r = ensurePhotoFolder(bad);
            QVERIFY2(!r.ok() && !r.error().isEmpty(), qPrintable(bad));
        }
    }

    void damagedJpegIsAnErrorNotACrash()
    {
        const Result<QByteArray> good = jpeg::encode(gradient(64, 64), 90);
        QVERIFY(good.ok());
        for (const QByteArray& bad :
             {QByteArray(), QByteArray("garbage"), good.value().left(40), good.value().mid(2)}) {
            const Result<QImage> r = jpeg::decode(bad);
            QVERIFY(!r.ok() && !r.error().isEmpty());
        }
        QVERIFY(!loadJpeg("/nonexistent/x.jpg").ok());
        QVERIFY(!jpeg::encode(QImage(), 90).ok());
        const Result<QByteArray> grey = jpeg::encode(gradient(32, 32).convertToFormat(QImage::Format_Grayscale8), 90);
        QCOMPARE(jpeg::decode(grey.value()).value().size(), QSize(32, 32));  // grey comes back as colour
    }

    void formatCodes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("code");
        QTest::newRow("bmp") << "/p/a.bmp" << 1;
        QTest::newRow("gif") << "/p/a.gif" << 2;
        QTest::newRow("jpg") << "/p/a.b.jpg" << 3;
        QTest::newRow("png") << "/p/a.png" << 4;
        QTest::newRow("ico") << "/p/a.ico" << 5;
        QTest::newRow("capitals") << "/p/A.JPG" << 0;
        QTest::newRow("jpeg") << "/p/a.jpeg" << 0;
        QTest::newRow("several files") << "/p/a.jpg\r\n/p/b.jpg\r\n" << 0;
        QTest::newRow("no dot: whole path") << "jpg" << 3;
        QTest::newRow("dot in folder") << "/p.d/file" << 0;
        QTest::newRow("ends with dot") << "/p/a." << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void formatCodes()
    {
        QFETCH(QString, path);
        QFETCH(int, code);
        QCOMPARE(PhotoImage::formatCodeFor(path), code);
    }

    void compressionMakesSmallerFiles()
    {
        PhotoImage image;
        QCOMPARE(int(image.compression()), 2);
        qint64 previous = std::numeric_limits<qint64>::max();
        for (const quint8 c : {1, 2, 4, 8}) {
            const qint64 size = jpeg::encode(gradient(300, 400), PhotoImage::qualityFor(c))->size();
            QVERIFY(size < previous);
            previous = size;
        }
    }

    void loadingTrustsTheContentOverTheCode()
    {
        QTemporaryDir dir;
        QImage red(20, 10, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("bmp-bytes.jpg"), "BMP"));
        QVERIFY(red.save(dir.filePath("PHOTO.JPG"), "JPG"));
        QVERIFY(writeAll(dir.filePath("broken.png"), "not a picture"));

        PhotoImage image;
        image.setCompression(8);
        const Status bmp = image.load(dir.filePath("bmp-bytes.jpg"), PhotoImage::Jpg);
        QVERIFY2(bmp.ok(), qPrintable(bmp.error()));
        QCOMPARE(image.image().size(), QSize(20, 10));
        QVERIFY(image.load(dir.filePath("PHOTO.JPG"), PhotoImage::Other).ok());
        QCOMPARE(int(image.compression()), 8);  // loading keeps the setting

        const Status broken = image.load(dir.filePath("broken.png"), PhotoImage::Png);
        QVERIFY(!broken.ok() && !broken.error().isEmpty());
        QCOMPARE(image.image().size(), QSize(20, 10));  // the last picture stays
    }
};

QTEST_GUILESS_MAIN(PhotoPipelineTest)
#include "tst_photopipeline.moc"
