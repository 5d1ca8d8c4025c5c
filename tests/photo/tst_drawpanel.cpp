#include "drawpanel.h"
#include "songfont.h"

#include <QFontInfo>
#include <QtTest>

namespace {

QImage filled(QSize size, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// The bounding box of the pixels that differ from the background.
QRect inkBox(const QImage& img, QRgb background)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

class DrawPanelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installSongFontSubstitution(); }

    void captionLandsOnTheRetainedImageAtTheSameRelativePlace_data()
    {
        QTest::addColumn<int>("scale");
        QTest::newRow("camera resolution x4") << 4;
        QTest::newRow("x3") << 3;
    }
    void captionLandsOnTheRetainedImageAtTheSameRelativePlace()
    {
        QFETCH(int, scale);
        const QString caption = QStringLiteral("张三 初一(2)班");
        DrawPanel pane;
        QCOMPARE(pane.size(), QSize(184, 245));

        pane.setRetainedImage(filled(pane.size(), Qt::black));
        pane.drawCaption(caption, Qt::white);
        const QRect small = inkBox(pane.retainedImage(), qRgb(0, 0, 0));
        QVERIFY(!small.isEmpty());
        // Below and right of (2, 220), within one 11-pixel text line.
        QVERIFY2(small.top() >= 220 && small.bottom() <= 220 + 15, qPrintable(QString::number(small.top())));
        QVERIFY(small.left() >= 2 && small.left() <= 4);

        pane.setRetainedImage(filled(pane.size() * scale, Qt::black));
        pane.drawCaption(caption, Qt::white);
        const QImage big = pane.retainedImage();
        QCOMPARE(big.size(), pane.size() * scale);
        const QRect large = inkBox(big, qRgb(0, 0, 0));
        // Same place and same size relative to the picture.
        QVERIFY2(qAbs(large.top() - small.top() * scale) <= scale + 1, qPrintable(QString::number(large.top())));
        QVERIFY2(qAbs(large.left() - small.left() * scale) <= scale + 1, qPrintable(QString::number(large.left())));
        QVERIFY2(qAbs(large.width() - small.width() * scale) <= 2 * scale + 2, qPrintable(QString::number(large.width())));
        QVERIFY2(qAbs(large.height() - small.height() * scale) <= 2 * scale + 2, qPrintable(QString::number(large.height())));
    }

    void captionFontIsSong8Points()
    {
        const QFont font = DrawPanel::captionFont(96);
        QCOMPARE(font.family(), QStringLiteral("宋体"));
        QCOMPARE(font.pixelSize(), 11);
        QCOMPARE(DrawPanel::captionFont(120).pixelSize(), 13);
        const QString song = installSongFontSubstitution();
        if (song.isEmpty())
            QSKIP("no Song face installed");
        QCOMPARE(QFont::substitute(QStringLiteral("宋体")).toLower(), song.toLower());
        QCOMPARE(QFontInfo(font).family(), song);
    }

    void pictureIsDrawnAtPaneCoordinatesOnTheRetainedImage()
    {
        DrawPanel pane;
        pane.setRetainedImage(filled(QSize(368, 490), Qt::white));
        // A saved photo is shown at (0, 0) scaled to (w - 8) x (h - 10).
        pane.drawPicture(filled(QSize(151, 201), Qt::red), QRect(0, 0, 176, 235));
        const QImage img = pane.retainedImage();
        QCOMPARE(img.size(), QSize(368, 490));
        QCOMPARE(inkBox(img, qRgb(255, 255, 255)), QRect(0, 0, 352, 470));
        QCOMPARE(img.pixel(351, 469), qRgb(255, 0, 0));

        pane.clear();
        QCOMPARE(pane.retainedImage().size(), pane.size());
        QVERIFY(inkBox(pane.retainedImage(), qRgb(255, 255, 255)).isEmpty());
        pane.drawPicture(filled(QSize(10, 20), Qt::blue), QPoint(5, 6));
        QCOMPARE(inkBox(pane.retainedImage(), qRgb(255, 255, 255)), QRect(5, 6, 10, 20));
    }

    void textIsWrittenFromItsTopLeft()
    {
        DrawPanel pane;
        pane.clear();
        QFont font = DrawPanel::captionFont();
        font.setPixelSize(20);
        pane.drawText(QPoint(30, 120), QStringLiteral("学籍照相"), font, Qt::black);
        const QRect box = inkBox(pane.retainedImage(), qRgb(255, 255, 255));
        QVERIFY(box.top() >= 120 && box.top() < 126);
        QVERIFY(box.bottom() < 120 + 26);
        QVERIFY(box.left() >= 30 && box.left() < 34);
    }

    void paneShowsTheRetainedImageScaled()
    {
        DrawPanel pane;
        QImage halves(736, 980, QImage::Format_RGB32);
        halves.fill(Qt::red);
        for (int y = 0; y < halves.height(); ++y)
            for (int x = 368; x < 736; ++x)
                halves.setPixel(x, y, qRgb(0, 0, 255));
        pane.setRetainedImage(halves);
        const QImage shown = pane.grab().toImage();
        QCOMPARE(shown.size(), pane.size());
        QCOMPARE(shown.pixel(10, 100), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(170, 100), qRgb(0, 0, 255));
        QCOMPARE(pane.retainedImage().size(), QSize(736, 980));  // showing keeps full resolution
    }

    void copyTakesTheWholeCanvas()
    {
        DrawPanel source;
        source.setRetainedImage(filled(QSize(736, 980), Qt::green));
        source.drawCaption(QStringLiteral("李四"), Qt::red);

        DrawPanel same;
        same.copyFrom(source);
        QCOMPARE(same.retainedImage(), source.retainedImage());

        DrawPanel landscape;
        landscape.resize(184, 138);
        landscape.clear();
        landscape.copyFrom(source);  // drawn at (0, 0) at the source pane's size
        const QImage img = landscape.retainedImage();
        QCOMPARE(img.size(), QSize(184, 138));
        QCOMPARE(img.pixel(0, 0), qRgb(0, 255, 0));
        QCOMPARE(img.pixel(183, 137), qRgb(0, 255, 0));
    }
};

QTEST_MAIN(DrawPanelTest)
#include "tst_drawpanel.moc"
