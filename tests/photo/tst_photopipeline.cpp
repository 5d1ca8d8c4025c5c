#include "jpegcodec.h"
#include "photocut.h"
#include "photofile.h"
#include "photoimage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A picture whose colour tells the position: red = x mod 256, green = y mod
// 256, blue = 16 * (y / 256) + x / 256.
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

// A smooth picture, for checks that survive scaling and JPEG.
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
    if (jpg.size() < 4 || b[0] != 0xFF || b[1] != 0xD8)
        return found;
    qsizetype at = 2;
    while (at + 4 <= jpg.size() && b[at] == 0xFF) {
        const int marker = b[at + 1];
        if (marker == 0xDA)
            break;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            found << marker;
        at += 2 + (b[at + 2] << 8 | b[at + 3]);
    }
    return found;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
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
        PhotoImage image;
        const QImage retained = gradient(736, 980);
        const SaveResult r = EncodePhotoFile(image, retained, QSize(184, 245), path, target.width(), target.height());
        QVERIFY2(r.ok, qPrintable(r.error));

        const QByteArray bytes = readAll(path);
        QCOMPARE(frameMarkers(bytes), QList<int>{0xC0});
        const ImageResult back = loadJpeg(path);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.image.size(), target);
        // Rows must not be skewed by padding: colours stay where they were.
        for (const QPointF rel : {QPointF(0.1, 0.1), QPointF(0.9, 0.15), QPointF(0.5, 0.5), QPointF(0.2, 0.9)}) {
            const QRgb got = back.image.pixel(int(rel.x() * target.width()), int(rel.y() * target.height()));
            const QRgb want = retained.pixel(int(rel.x() * 736), int(rel.y() * 980));
            QVERIFY2(near(got, want, 12), qPrintable(QString("at %1,%2").arg(rel.x()).arg(rel.y())));
        }
        QCOMPARE(image.image().size(), target);  // the picture object holds the photo
    }

    void targetSizeRules_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QSize>("size");
        QTest::newRow("as requested") << 151 << 201 << QSize(151, 201);
        QTest::newRow("zero is the canvas side") << 0 << 0 << QSize(184, 245);
        QTest::newRow("negative is percent") << -50 << -200 << QSize(92, 490);
        QTest::newRow("at least ten percent") << -5 << -1 << QSize(18, 24);
    }
    void targetSizeRules()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QSize, size);
        QCOMPARE(photoSizeFor(w, h, QSize(184, 245)), size);
    }

    void shrinkingAveragesTheArea()
    {
        // One-pixel checker: dropping pixels would give black or white.
        QImage checker(200, 200, QImage::Format_RGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        const QImage half = scaleToPhotoSize(checker, QSize(100, 100));
        QCOMPARE(half.size(), QSize(100, 100));
        for (int y = 0; y < 100; y += 7)
            for (int x = 0; x < 100; x += 7)
                QVERIFY2(near(half.pixel(x, y), qRgb(128, 128, 128), 8), qPrintable(QString("%1,%2").arg(x).arg(y)));
        // One lit pixel in every 4x4 block: only area averaging keeps its
        // share of the light (255 / 16), interpolation would miss or hit it.
        QImage dots(200, 200, QImage::Format_RGB32);
        dots.fill(Qt::black);
        for (int y = 0; y < 200; y += 4)
            for (int x = 0; x < 200; x += 4)
                dots.setPixel(x, y, qRgb(255, 255, 255));
        const QImage quarter = scaleToPhotoSize(dots, QSize(50, 50));
        for (int y = 1; y < 49; y += 5)
            for (int x = 1; x < 49; x += 5)
                QVERIFY2(near(quarter.pixel(x, y), qRgb(16, 16, 16), 4), qPrintable(QString("%1,%2").arg(x).arg(y)));
        // A non-integer ratio still averages and still gives the exact size.
        const QImage odd = scaleToPhotoSize(checker, QSize(151, 61));
        QCOMPARE(odd.size(), QSize(151, 61));
        QVERIFY(near(odd.pixel(75, 30), qRgb(128, 128, 128), 40));
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
        QTest::newRow("whole frame") << QRectF(0, 0, 1280, 960) << QRect(0, 0, 1280, 960);
    }
    void cutTakesExactlyTheInterior()
    {
        QFETCH(QRectF, interior);
        QFETCH(QRect, expected);
        const QImage frame = positionPicture(1280, 960);
        const ImageResult cut = cutPhoto(frame, interior);
        QVERIFY2(cut.ok(), qPrintable(cut.error));
        QCOMPARE(cut.image.size(), expected.size());
        const int r = expected.width() - 1, b = expected.height() - 1;
        QCOMPARE(positionOf(cut.image.pixel(0, 0)), expected.topLeft());
        QCOMPARE(positionOf(cut.image.pixel(r, 0)), expected.topLeft() + QPoint(r, 0));
        QCOMPARE(positionOf(cut.image.pixel(0, b)), expected.topLeft() + QPoint(0, b));
        QCOMPARE(positionOf(cut.image.pixel(r, b)), expected.bottomRight());
        QCOMPARE(positionOf(cut.image.pixel(r / 2, b / 3)), expected.topLeft() + QPoint(r / 2, b / 3));
    }

    void nothingToCutIsAnError()
    {
        QVERIFY(!cutPhoto(QImage(), QRectF(0, 0, 10, 10)).ok());
        const QImage frame = positionPicture(64, 48);
        for (const QRectF& bad : {QRectF(), QRectF(5, 5, 0, 10), QRectF(5, 5, -3, 10), QRectF(1, 1, 0.2, 0.2),
                                  QRectF(qQNaN(), 0, 10, 10)}) {
            const ImageResult r = cutPhoto(frame, bad);
            QVERIFY(!r.ok());
            QVERIFY(!r.error.isEmpty());
        }
    }

    void savingReplacesTheOldFileCompletely()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.jpg");
        QVERIFY(writeAll(path, oldPhoto));
        PhotoImage image;
        const SaveResult r = EncodePhotoFile(image, gradient(300, 400), QSize(184, 245), path, 151, 201);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(readAll(path).startsWith("\xFF\xD8"));
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.jpg"});
    }

    void missingFolderIsAnError()
    {
        QTemporaryDir dir;
        const QString gone = dir.filePath("gone");
        PhotoImage image;
        const SaveResult r = EncodePhotoFile(image, gradient(100, 100), QSize(184, 245), gone + "/a.jpg", 151, 201);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QVERIFY(!QFileInfo::exists(gone));
    }

    void readOnlyFolderKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("ro");
        QVERIFY(QDir().mkdir(folder));
        bool mounted = false;
        if (geteuid() == 0) {
            // Permissions do not stop root: use a read-only file system.
            if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folder}) != 0)
                QSKIP("cannot mount a tmpfs to make a read-only folder");
            mounted = true;
        }
        auto cleanup = qScopeGuard([&] {
            if (mounted)
                QProcess::execute("umount", {folder});
        });
        const QString path = folder + "/a.jpg";
        QVERIFY(writeAll(path, oldPhoto));
        if (mounted)
            QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", folder}), 0);
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

        PhotoImage image;
        const SaveResult r = EncodePhotoFile(image, gradient(100, 100), QSize(184, 245), path, 151, 201);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(readAll(path), oldPhoto);
        if (!mounted)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void fullDiskKeepsTheOldFile()
    {
        // A file size limit makes writes fail like a full disk does.
        QTemporaryDir dir;
        const QString path = dir.filePath("a.jpg");
        QVERIFY(writeAll(path, oldPhoto));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 2048;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

        QImage noise(600, 800, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
        PhotoImage image;
        image.setCompression(1);
        const SaveResult r = EncodePhotoFile(image, noise, QSize(184, 245), path, 600, 800);

        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(readAll(path), oldPhoto);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.jpg"});
    }

    void directoryInTheWayIsAnError()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.jpg");
        QVERIFY(QDir().mkpath(path + "/inside"));
        PhotoImage image;
        const SaveResult r = EncodePhotoFile(image, gradient(100, 100), QSize(184, 245), path, 151, 201);
        QVERIFY(!r.ok);
        QVERIFY(QFileInfo(path + "/inside").isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    void photoFolderIsCreatedWithItsParents()
    {
        QTemporaryDir dir;
        const QString nested = dir.filePath(QStringLiteral("学校/2026/初一"));
        QVERIFY2(ensurePhotoFolder(nested).ok, "nested folder");
        QVERIFY(QFileInfo(nested).isDir());
        QVERIFY(ensurePhotoFolder(nested).ok);  // existing: fine

        QVERIFY(writeAll(dir.filePath("file"), "x"));
        for (const QString& bad : {QString(), dir.filePath("file"), dir.filePath("file/sub")}) {
            const SaveResult r = ensurePhotoFolder(bad);
            QVERIFY2(!r.ok && !r.error.isEmpty(), qPrintable(bad));
        }
    }

    void damagedJpegIsAnErrorNotACrash()
    {
        const JpegBytes good = jpeg::encode(gradient(64, 64), 90);
        QVERIFY(good.ok());
        QImage png(8, 8, QImage::Format_RGB32);
        png.fill(Qt::red);
        QByteArray pngBytes;
        QBuffer buf(&pngBytes);
        buf.open(QIODevice::WriteOnly);
        png.save(&buf, "PNG");
        for (const QByteArray& bad : {QByteArray(), QByteArray("garbage"), good.bytes.left(40), pngBytes}) {
            const ImageResult r = jpeg::decode(bad);
            QVERIFY(!r.ok());
            QVERIFY(!r.error.isEmpty());
        }
        QVERIFY(!loadJpeg("/nonexistent/x.jpg").ok());
        QVERIFY(!jpeg::encode(QImage(), 90).ok());
        // Grey JPEGs come back as colour pictures.
        const JpegBytes grey = jpeg::encode(gradient(32, 32).convertToFormat(QImage::Format_Grayscale8), 90);
        QVERIFY(grey.ok());
        QCOMPARE(jpeg::decode(grey.bytes).image.size(), QSize(32, 32));
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
        QTest::newRow("no dot: whole path") << "/p/jpg" << 0;
        QTest::newRow("no dot, path is jpg") << "jpg" << 3;
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

    void compressionSetsQuality()
    {
        QCOMPARE(PhotoImage::qualityFor(0), 95);
        QCOMPARE(PhotoImage::qualityFor(1), 95);
        QCOMPARE(PhotoImage::qualityFor(2), 90);
        QCOMPARE(PhotoImage::qualityFor(4), 80);
        QCOMPARE(PhotoImage::qualityFor(8), 60);
        QCOMPARE(PhotoImage::qualityFor(255), 10);
        PhotoImage image;
        QCOMPARE(int(image.compression()), 2);

        // A higher compression value gives a smaller file.
        QTemporaryDir dir;
        image.setImage(gradient(300, 400));
        image.setCompression(1);
        QVERIFY(image.saveJpeg(dir.filePath("fine.jpg")).ok);
        image.setCompression(8);
        QVERIFY(image.saveJpeg(dir.filePath("small.jpg")).ok);
        QVERIFY(QFileInfo(dir.filePath("small.jpg")).size() < QFileInfo(dir.filePath("fine.jpg")).size());
    }

    void loadingTrustsTheContentOverTheCode()
    {
        QTemporaryDir dir;
        QImage red(20, 10, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("bmp-bytes.jpg"), "BMP"));
        QVERIFY(red.save(dir.filePath("PHOTO.JPG"), "JPG"));
        QVERIFY(red.save(dir.filePath("a.png"), "PNG"));
        QVERIFY(writeAll(dir.filePath("broken.png"), "not a picture"));

        PhotoImage image;
        image.setCompression(8);
        const SaveResult bmp = image.load(dir.filePath("bmp-bytes.jpg"), PhotoImage::Jpg);
        QVERIFY2(bmp.ok, qPrintable(bmp.error));
        QCOMPARE(image.image().size(), QSize(20, 10));
        QVERIFY(image.load(dir.filePath("PHOTO.JPG"), PhotoImage::Other).ok);
        QVERIFY(image.load(dir.filePath("a.png"), PhotoImage::Png).ok);
        QCOMPARE(int(image.compression()), 8);  // loading keeps the setting

        const SaveResult broken = image.load(dir.filePath("broken.png"), PhotoImage::Png);
        QVERIFY(!broken.ok);
        QVERIFY(!broken.error.isEmpty());
        QCOMPARE(image.image().size(), QSize(20, 10));  // the last picture stays
        QVERIFY(!image.load(dir.filePath("missing.png"), PhotoImage::Png).ok);

        // The loaded BMP is saved as a real JPEG.
        QVERIFY(image.saveJpeg(dir.filePath("out.jpg")).ok);
        QCOMPARE(frameMarkers(readAll(dir.filePath("out.jpg"))), QList<int>{0xC0});
    }
};

QTEST_GUILESS_MAIN(PhotoPipelineTest)
#include "tst_photopipeline.moc"
