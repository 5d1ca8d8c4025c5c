#include "drawpanel.h"
#include "photocanvas.h"
#include "photofile.h"
#include "photorender.h"

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
        source.drawText(QPoint(2, 220), QStringLiteral("李四"), QFont(), Qt::red);
        DrawPanel same;
        same.copyFrom(source);
        QCOMPARE(same.retainedImage(), source.retainedImage());

        DrawPanel landscape;  // drawn at (0, 0) at the source pane's size
        landscape.resize(184, 138);
        landscape.copyFrom(source);
        QCOMPARE(inkBox(landscape.retainedImage(), qRgb(0, 255, 0)), QRect());
    }

    void savedPhotoIsShownAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("w.jpg");
        PhotoJob job;
        job.cut = filled(QSize(676, 900), Qt::black);
        job.size = QSize(151, 201);
        job.target.path = path;
        QVERIFY(runPhotoJob(job).ok());
        DrawPanel shown;
        QVERIFY(showPhotoFile(shown, path, currentPhotoShownSize(shown.size())).ok());
        QCOMPARE(inkBox(shown.retainedImage(), qRgb(255, 255, 255)), QRect(0, 0, 176, 235));

        // Failures leave a cleared canvas and say why.
        const QImage blank = filled(shown.size(), Qt::white);
        const Status missing = showPhotoFile(shown, dir.filePath("none.jpg"), QSize(176, 235));
        QVERIFY(!missing.ok() && !missing.error().isEmpty());
        QCOMPARE(shown.retainedImage(), blank);
    }
};

QTEST_MAIN(DrawPanelTest)
#include "tst_drawpanel.moc"
