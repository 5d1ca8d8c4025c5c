#include "drawpanel.h"
#include "photocanvas.h"
#include "photofile.h"
#include "photoimage.h"
#include "songfont.h"

#include <QFontInfo>
#include <QPainter>
#include <QTemporaryDir>
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
    void captionLandsOnTheRetainedImageAtTheSameRelativePlace()
    {
        installSongFontSubstitution();
        const QString caption = QStringLiteral("张三 初一(2)班");
        DrawPanel pane;
        QCOMPARE(pane.size(), QSize(184, 245));
        pane.setRetainedImage(filled(pane.size(), Qt::black));
        pane.drawCaption(caption, Qt::white);
        const QRect small = inkBox(pane.retainedImage(), qRgb(0, 0, 0));
        // Right of and below (2, 220), within one 11-pixel line.
        QVERIFY(small.top() >= 220 && small.bottom() <= 220 + 15);
        QVERIFY(small.left() >= 2 && small.left() <= 4);

        for (const int scale : {3, 4}) {
            pane.setRetainedImage(filled(pane.size() * scale, Qt::black));
            pane.drawCaption(caption, Qt::white);
            QCOMPARE(pane.retainedImage().size(), pane.size() * scale);
            const QRect large = inkBox(pane.retainedImage(), qRgb(0, 0, 0));
            QVERIFY(qAbs(large.top() - small.top() * scale) <= scale + 1);
            QVERIFY(qAbs(large.left() - small.left() * scale) <= scale + 1);
            QVERIFY(qAbs(large.width() - small.width() * scale) <= 2 * scale + 2);
            QVERIFY(qAbs(large.height() - small.height() * scale) <= 2 * scale + 2);
        }
    }

    void captionFontIsSong8Points()
    {
        QCOMPARE(DrawPanel::captionFont(96).pixelSize(), 11);
        QCOMPARE(DrawPanel::captionFont(120).pixelSize(), 13);
        const QString song = installSongFontSubstitution();
        if (song.isEmpty())
            QSKIP("no Song face installed");
        QCOMPARE(QFontInfo(DrawPanel::captionFont()).family().toLower(), song.toLower());
    }

    void pictureIsDrawnAtPaneCoordinatesOnTheRetainedImage()
    {
        DrawPanel pane;
        pane.setRetainedImage(filled(QSize(368, 490), Qt::white));
        // A saved photo is shown at (0, 0) scaled to (w - 8) x (h - 10).
        pane.drawPicture(filled(QSize(151, 201), Qt::red), QRect(0, 0, 176, 235));
        QCOMPARE(inkBox(pane.retainedImage(), qRgb(255, 255, 255)), QRect(0, 0, 352, 470));

        pane.clear();
        QCOMPARE(pane.retainedImage(), filled(pane.size(), Qt::white));
        pane.drawPicture(filled(QSize(10, 20), Qt::blue), QPoint(5, 6));
        QCOMPARE(inkBox(pane.retainedImage(), qRgb(255, 255, 255)), QRect(5, 6, 10, 20));
    }

    void paneShowsTheRetainedImageScaled()
    {
        DrawPanel pane;
        QImage halves = filled(QSize(736, 980), Qt::red);
        QPainter(&halves).fillRect(368, 0, 368, 980, Qt::blue);
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

        DrawPanel landscape;  // drawn at (0, 0) at the source pane's size
        landscape.resize(184, 138);
        landscape.copyFrom(source);
        QCOMPARE(inkBox(landscape.retainedImage(), qRgb(0, 255, 0)), QRect());
    }

    void takenPhotoIsSavedAndShownAgain()
    {
        DrawPanel pane;
        QImage frame = filled(QSize(1280, 960), Qt::black);
        frame.setPixel(400, 50, qRgb(255, 255, 255));  // the interior's top-left pixel
        QVERIFY(takePhoto(pane, frame, QRectF(400, 50, 676, 900), QStringLiteral("王五"), Qt::red).ok);
        QCOMPARE(pane.retainedImage().size(), QSize(676, 900));  // camera resolution, not the pane's
        QCOMPARE(pane.retainedImage().pixel(0, 0), qRgb(255, 255, 255));

        QTemporaryDir dir;
        const QString path = dir.filePath("w.jpg");
        PhotoImage image;
        QVERIFY(EncodePhotoFile(image, pane, path, 151, 201).ok);
        DrawPanel shown;
        QVERIFY(showPhotoFile(shown, path, currentPhotoShownSize(shown.size())).ok);
        QCOMPARE(inkBox(shown.retainedImage(), qRgb(255, 255, 255)), QRect(0, 0, 176, 235));

        // Failures leave a cleared canvas and say why.
        const QImage blank = filled(pane.size(), Qt::white);
        const SaveResult missing = showPhotoFile(shown, dir.filePath("none.jpg"), QSize(176, 235));
        QVERIFY(!missing.ok && !missing.error.isEmpty());
        QCOMPARE(shown.retainedImage(), blank);
        QVERIFY(!takePhoto(pane, QImage(), QRectF(0, 0, 10, 10), "x", Qt::red).ok);
        QCOMPARE(pane.retainedImage(), blank);
    }
};

QTEST_MAIN(DrawPanelTest)
#include "tst_drawpanel.moc"
