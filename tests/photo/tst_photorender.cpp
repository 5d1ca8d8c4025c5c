// The photo pipeline's rules on images: the cut keeps the target's aspect,
// the caption is part of the photo at every size, a replaced photo is kept,
// and automatic numbers never land on an existing photo.
#include "jpegcodec.h"
#include "photocut.h"
#include "photofile.h"
#include "photorender.h"
#include "songfont.h"
#include "testfiles.h"
#include "viewfinderlayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QImage filled(QSize size, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// The bounding box of the pixels clearly darker than white.
QRect inkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160)
                box |= QRect(x, y, 1, 1);
    return box;
}

const QList<QSize> photoSizes = {{151, 201}, {358, 441}, {480, 640}, {640, 480}, {1000, 200}, {600, 800}};

}  // namespace

class PhotoRenderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installSongFontSubstitution(); }

    void cutHasTheTargetsAspect_data()
    {
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("camera");
        for (const QSize camera : {QSize(640, 480), QSize(1280, 960)})
            for (const QSize target : photoSizes)
                QTest::addRow("%dx%d on %dx%d", target.width(), target.height(), camera.width(), camera.height())
                    << target << camera;
    }
    void cutHasTheTargetsAspect()
    {
        // The frame as the viewfinder lays it out on the 480x360 preview, its
        // interior inside the 2-pixel outline, seen in camera pixels.
        QFETCH(QSize, target);
        QFETCH(QSize, camera);
        const QRect preview(306, 115, 480, 360);
        const Result<viewfinder::ResolutionLayout> layout =
            viewfinder::layoutForTarget(target.width(), target.height(), preview, QRect(794, 424, 184, 16));
        QVERIFY(layout.ok());
        const QRect interior = layout->frame.adjusted(2, 2, -2, -2).translated(-preview.topLeft());
        const double scale = double(camera.width()) / preview.width();
        const QRectF inCamera(interior.x() * scale, interior.y() * scale, interior.width() * scale,
                              interior.height() * scale);
        const QRect cut = photoCutRect(camera, inCamera, target);
        QVERIFY2(aspectDistortion(cut.size(), target) < 0.002,
                 qPrintable(QStringLiteral("%1x%2 stretches by %3%")
                                .arg(cut.width())
                                .arg(cut.height())
                                .arg(aspectDistortion(cut.size(), target) * 100)));
        // Taken from under the interior: at most a pixel outside it.
        QVERIFY(inCamera.adjusted(-1, -1, 1, 1).contains(QRectF(cut)));
    }

    void captionIsFullyOnEveryPhoto_data()
    {
        QTest::addColumn<QSize>("size");
        for (const QSize size : photoSizes)
            QTest::addRow("%dx%d", size.width(), size.height()) << size;
    }
    void captionIsFullyOnEveryPhoto()
    {
        QFETCH(QSize, size);
        const QString caption = QStringLiteral("张三 20120001");
        const Result<QImage> photo =
            photorender::renderPhoto(filled(QSize(300, 400), Qt::white), size, caption, Qt::black);
        QVERIFY(photo.ok());
        QCOMPARE(photo->size(), size);
        const QRect ink = inkBox(photo.value());
        QVERIFY2(!ink.isEmpty(), "no caption");
        // Inside the photo with room to spare, near the bottom edge.
        QVERIFY2(
            ink.left() > 0 && ink.right() < size.width() - 1 && ink.bottom() < size.height() - 1,
            qPrintable(
                QStringLiteral("caption at %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
        QVERIFY(ink.top() > size.height() * 0.8);
        // The same text drawn on a much taller photo shows just as whole: the
        // glyphs were not clipped at this size.
        const QImage tall =
            photorender::renderPhoto(filled(QSize(300, 400), Qt::white), size * 4, caption, Qt::black).value();
        const QRect tallInk = inkBox(tall);
        QVERIFY(qAbs(tallInk.height() - ink.height() * 4) <= 4 * 3);
    }

    void captionDependsOnThePhotoAlone()
    {
        // Proportional to the photo's height, never to a screen's resolution.
        QCOMPARE(photorender::captionFont(245).pixelSize(), 11);
        QCOMPARE(photorender::captionFont(490).pixelSize(), 22);
        const QImage a = photorender::renderPhoto(filled({60, 80}, Qt::white), {151, 201}, "李四", Qt::red).value();
        const QImage b = photorender::renderPhoto(filled({60, 80}, Qt::white), {151, 201}, "李四", Qt::red).value();
        QCOMPARE(a, b);
    }

    void automaticNumbersSkipExistingPhotos_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("next");
        const QString p = QStringLiteral("Velk学籍照相相片");
        QTest::newRow("empty folder") << QStringList() << 0 << 1;
        QTest::newRow("after the highest") << QStringList{p + "1.jpg", p + "3.jpg"} << 1 << 4;
        QTest::newRow("counter ahead") << QStringList{p + "1.jpg"} << 7 << 7;
        QTest::newRow("other names ignored")
            << QStringList{p + "07.jpg", p + "x.jpg", p + "-2.jpg", "张三.jpg", p + "5.jpg.jpg"} << 1 << 1;
    }
    void automaticNumbersSkipExistingPhotos()
    {
        QFETCH(QStringList, files);
        QFETCH(int, from);
        QFETCH(int, next);
        QTemporaryDir dir;
        for (const QString& f : files)
            QVERIFY(writeAll(dir.filePath(f), "x"));
        QCOMPARE(nextFreeShotNumber(dir.path(), QStringLiteral("Velk学籍照相相片"), from), next);
    }
};

QTEST_MAIN(PhotoRenderTest)
#include "tst_photorender.moc"
