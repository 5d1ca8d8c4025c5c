// The viewfinder wired into the main window, driven by unit names.
#include "drawpanel.h"
#include "mainwindow.h"
#include "shapebox.h"
#include "stationsettings.h"
#include "viewfindercontroller.h"
#include "zoomspinbox.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QtTest>

class ViewfinderControllerTest : public QObject {
    Q_OBJECT
private slots:
    void init() { stationsettings::open().clear(); }

    void frameFollowsTargetZoomAndDrag()
    {
        MainWindow w;
        auto* frame = w.findChild<ShapeBox*>(QStringLiteral("外形框1"));
        auto* grip = w.findChild<QWidget*>(QStringLiteral("透明标签7"));
        auto* zoom = w.findChild<ZoomSpinBox*>(QStringLiteral("编辑框5"));
        auto* width = w.findChild<QLineEdit*>(QStringLiteral("编辑框3"));
        auto* height = w.findChild<QLineEdit*>(QStringLiteral("编辑框4"));
        QVERIFY(frame && grip && zoom && width && height && w.viewfinder);
        QVERIFY(frame->isHidden());

        // The preview goes on as the camera side switches it.
        w.findChild<QWidget*>(QStringLiteral("透明标签16"))->hide();
        for (QWidget* box : {static_cast<QWidget*>(zoom), static_cast<QWidget*>(width), static_cast<QWidget*>(height)})
            box->setEnabled(true);
        w.viewfinder->showFrame();
        w.viewfinder->RefreshFrameShape();
        QVERIFY(!frame->isHidden());

        auto* pane = w.findChild<DrawPanel*>(QStringLiteral("画板1"));
        QImage photo(184, 245, QImage::Format_RGB32);
        photo.fill(Qt::darkRed);
        pane->setRetainedImage(photo);
        height->setText(QStringLiteral("480"));
        width->setText(QStringLiteral("640"));
        // The old photo is gone; the blank canvas has the new size.
        QCOMPARE(pane->retainedImage().size(), QSize(184, 138));
        QCOMPARE(pane->retainedImage().pixelColor(90, 60), pane->backgroundColour());
        QCOMPARE(w.viewfinder->targetWidth(), 640);
        QCOMPARE(frame->geometry(), QRect(454, 226, 184, 138));
        QCOMPARE(grip->geometry(), frame->geometry());
        for (const char* name : {"画板1", "图片框1111"})
            QCOMPARE(w.findChild<QWidget*>(QString::fromUtf8(name))->geometry(), QRect(794, 226, 184, 138));

        QWheelEvent notch(QPointF(5, 5), zoom->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(zoom, &notch);
        QCOMPARE(frame->size(), QSize(194, 145));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("透明标签12"))->text(), QStringLiteral("1"));
        QCOMPARE(w.appState().frameScaleValue(), 1.0);

        // Dragged by its grip far to the right, it stops at the limit.
        const QPoint pointer = grip->mapToGlobal(QPoint(420, 20));
        QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(grip, grip->mapFromGlobal(pointer));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(pointer));
        QCOMPARE(frame->geometry(), QRect(777 - 194, 226, 194, 145));
        QCOMPARE(w.viewfinder->frameInterior(), QRect(585, 228, 190, 141));

        w.viewfinder->hideFrame();
        QVERIFY(frame->isHidden());
    }

    void zoomBoxAndWheelAreReachable()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* zoom = w.findChild<ZoomSpinBox*>(QStringLiteral("编辑框5"));
        auto* frame = w.findChild<ShapeBox*>(QStringLiteral("外形框1"));
        auto* grip = w.findChild<QWidget*>(QStringLiteral("透明标签7"));
        auto* preview = w.findChild<QWidget*>(QStringLiteral("图片框2"));
        auto* copy = w.findChild<QWidget*>(QStringLiteral("透明标签12"));
        w.findChild<QWidget*>(QStringLiteral("透明标签16"))->hide();
        zoom->setEnabled(true);
        w.viewfinder->showFrame();
        w.viewfinder->RefreshFrameShape();

        // The copy of the value lies over the box but a click on the middle
        // of the up arrow, or on the number, reaches the box.
        QStyleOptionSpinBox option;
        option.initFrom(zoom);
        option.subControls = QStyle::SC_SpinBoxUp;
        const QRect up = zoom->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, zoom);
        for (const QPoint inBox : {up.center(), QPoint(6, zoom->height() / 2)}) {
            const QPoint at = w.mapFromGlobal(zoom->mapToGlobal(inBox));
            QVERIFY(copy->geometry().contains(at));
            QWidget* hit = w.childAt(at);
            QVERIFY2(hit == zoom || zoom->isAncestorOf(hit), hit ? hit->metaObject()->className() : "nothing");
        }

        // After a right click on the frame the wheel over the preview, away
        // from the frame, zooms it down to its limit.
        QTest::mouseClick(grip, Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(zoom->hasFocus());
        const QSize start = frame->size();
        const QPoint away(4, 4);
        QVERIFY(!frame->geometry().contains(preview->mapTo(&w, away)));
        QSize last;
        for (int i = 0; i < 60 && frame->size() != last; ++i) {
            last = frame->size();
            QWheelEvent notch(away, preview->mapToGlobal(QPointF(away)), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(preview, &notch);
        }
        QVERIFY(frame->width() <= 100 || frame->height() <= 100);
        QVERIFY(frame->width() < start.width());
        QCOMPARE(frame->size(), last);  // stopped at the limit, not by losing the pointer
    }
};

QTEST_MAIN(ViewfinderControllerTest)
#include "tst_viewfindercontroller.moc"
