#include "shapebox.h"
#include "translabel.h"
#include "viewfinder.h"
#include "zoomspinbox.h"

#include <QLineEdit>
#include <QtTest>

namespace {

const QColor kPreviewColour(20, 90, 200);
const QColor kLineColour(250, 30, 30);

template <typename W> W* unit(QWidget* parent, const QRect& r)
{
    auto* w = new W(parent);
    w->setGeometry(r);
    return w;
}

// The main window's client area with the units the viewfinder touches, at
// their places; the preview is a solid colour.
struct Station {
    QWidget window;
    double frameScaleValue = 0;
    ViewfinderUnits u;
    std::unique_ptr<Viewfinder> vf;

    Station()
    {
        window.resize(988, 524);
        u.preview = unit<QWidget>(&window, {306, 115, 480, 360});
        u.preview->setPalette(QPalette(kPreviewColour));
        u.preview->setAutoFillBackground(true);
        u.helpLabel = unit<TransLabel>(&window, {318, 123, 456, 344});
        u.frame = unit<ShapeBox>(&window, {454, 172, 184, 245});
        u.frame->setLineColour(kLineColour);
        u.frame->hide();
        u.grip = unit<TransLabel>(&window, {454, 172, 184, 245});
        u.panePicture = unit<PicBox>(&window, {794, 172, 184, 245});
        u.pane = unit<QWidget>(&window, {794, 172, 184, 245});
        u.strip = unit<TransLabel>(&window, {794, 424, 184, 16});
        u.zoomBox = unit<ZoomSpinBox>(&window, {910, 116, 40, 21});
        u.widthBox = unit<QLineEdit>(&window, {874, 141, 32, 20});
        u.widthBox->setText(QStringLiteral("151"));
        u.heightBox = unit<QLineEdit>(&window, {936, 141, 32, 20});
        u.heightBox->setText(QStringLiteral("201"));
        u.zoomCopy = unit<TransLabel>(&window, {915, 116, 32, 21});
        u.statusLabel = unit<TransLabel>(&window, {704, 494, 262, 16});
        vf = std::make_unique<Viewfinder>(u, frameScaleValue);
    }

    // As right after the preview was switched on.
    void previewOn()
    {
        u.helpLabel->hide();
        vf->showFrame();
        vf->RefreshFrameShape();
    }
    void setTarget(const QString& w, const QString& h)
    {
        u.widthBox->setText(w);
        u.heightBox->setText(h);
    }
    void wheel(QWidget* target, int delta)
    {
        const QPointF at(10, 10);
        QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }
    void activate()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
};

}  // namespace

class ViewfinderTest : public QObject {
    Q_OBJECT
private slots:
    void resolutionLaysOutEveryUnit()
    {
        Station s;
        s.previewOn();
        // A zoomed frame: the grip had followed it, the pane had not.
        s.vf->wheelZoom(120);
        s.vf->wheelZoom(120);
        QCOMPARE(s.frameScaleValue, 2.0);
        QSignalSpy cleared(s.vf.get(), &Viewfinder::resultPaneCleared);
        s.setTarget(QStringLiteral("６４０"), QStringLiteral("４８０"));
        QVERIFY(cleared.count() >= 1);
        const QRect frame(454, 226, 184, 138);
        QCOMPARE(s.u.frame->geometry(), frame);
        QCOMPARE(s.u.grip->geometry(), frame);
        QCOMPARE(s.u.pane->geometry(), QRect(794, 226, 184, 138));
        QCOMPARE(s.u.panePicture->geometry(), QRect(794, 226, 184, 138));
        QVERIFY(!s.u.frame->isHidden());
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("0"));
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("0"));
        QCOMPARE(s.frameScaleValue, 0.0);
        QCOMPARE(s.vf->frameInterior(), frame.adjusted(2, 2, -2, -2));
    }

    void unusableSizeKeepsTheLastLayout()
    {
        Station s;
        s.previewOn();
        s.setTarget(QStringLiteral("640"), QStringLiteral("480"));
        s.vf->wheelZoom(120);
        const QRect zoomed(454, 226, 194, 145);
        QCOMPARE(s.u.frame->geometry(), zoomed);
        QSignalSpy cleared(s.vf.get(), &Viewfinder::resultPaneCleared);
        const QList<QPair<QLineEdit*, QString>> edits{
            {s.u.widthBox, ""}, {s.u.heightBox, "0"}, {s.u.widthBox, "abc"}, {s.u.heightBox, "48000"}};
        for (const auto& [box, text] : edits) {
            box->setText(text);
            s.vf->wheelZoom(120);  // zooming waits for a usable size too
            s.vf->spinZoom(-1);
            QCOMPARE(s.u.frame->geometry(), zoomed);
            QCOMPARE(s.u.pane->geometry(), QRect(794, 226, 184, 138));
            QCOMPARE(s.u.zoomBox->text(), QStringLiteral("1"));
            QCOMPARE(s.frameScaleValue, 1.0);
            // The bad box says so at once; the size laid out stays the one photos get.
            QCOMPARE(box->palette().color(QPalette::Base), QColor(255, 150, 150));
            QVERIFY(box->toolTip().contains(QStringLiteral("1到10000")));
            QVERIFY(!s.vf->targetError().isEmpty());
            QCOMPARE(s.vf->target(), QSize(640, 480));
        }
        s.setTarget(QStringLiteral("300"), QStringLiteral("400"));
        QCOMPARE(s.vf->targetError(), QString());
        QCOMPARE(s.u.widthBox->toolTip(), QString());
        QCOMPARE(s.u.heightBox->toolTip(), QString());
        QCOMPARE(s.vf->target(), QSize(300, 400));
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 183, 245));
    }

    void wheelAndSpinZoomTheFrame()
    {
        Station s;
        s.previewOn();
        s.wheel(s.u.zoomBox, 120);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 194, 258));
        QCOMPARE(s.u.grip->geometry(), s.u.frame->geometry());
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("1"));
        QCOMPARE(s.frameScaleValue, 1.0);
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);  // the up spin button
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 202, 268));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("2"));
        // Typing applies nothing; the next spin applies the whole difference, 3 x 8.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("４"));
        s.u.zoomBox->selectAll();
        QApplication::sendEvent(s.u.zoomBox, &typed);
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("４"));
        QCOMPARE(s.u.frame->width(), 202);
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 226, 300));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("5"));
        QCOMPARE(s.frameScaleValue, 5.0);
        QCOMPARE(s.u.pane->geometry(), QRect(794, 172, 184, 245));
    }

    void zoomStopsAtTheLimits()
    {
        Station s;
        s.previewOn();
        for (int i = 0; i < 30; ++i)
            s.wheel(s.u.zoomBox, 120);
        // The first size past 340 high; growing pushed it up from the preview's bottom.
        QCOMPARE(s.u.frame->geometry(), QRect(454, 119, 264, 351));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("8"));
        // At the limit the spin keeps the value but still applies a typed one: (7 - 8) x 8.
        s.u.zoomBox->setText(QStringLiteral("7"));
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->size(), QSize(256, 340));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("7"));
        for (int i = 0; i < 40; ++i)
            s.wheel(s.u.zoomBox, -120);
        QCOMPARE(s.u.frame->size(), QSize(96, 127));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("-9"));
        QCOMPARE(s.frameScaleValue, -9.0);
    }

    void dragStopsAtEachLimit_data()
    {
        QTest::addColumn<bool>("byGrip");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QPoint>("stop");
        QTest::newRow("outline, within") << false << QPoint(-40, 25) << QPoint(414, 197);
        QTest::newRow("outline, past left") << false << QPoint(-400, 0) << QPoint(306, 172);
        QTest::newRow("grip, past right") << true << QPoint(400, 0) << QPoint(593, 172);
        QTest::newRow("outline, past top") << false << QPoint(0, -300) << QPoint(454, 115);
        QTest::newRow("grip, past bottom") << true << QPoint(0, 300) << QPoint(454, 218);
        QTest::newRow("grip, past top left") << true << QPoint(-500, -500) << QPoint(306, 115);
    }
    void dragStopsAtEachLimit()
    {
        QFETCH(bool, byGrip);
        QFETCH(QPoint, by);
        QFETCH(QPoint, stop);
        Station s;
        s.window.show();
        s.previewOn();
        QWidget* handle = byGrip ? static_cast<QWidget*>(s.u.grip) : s.u.frame;
        const QPoint start = handle->mapToGlobal(byGrip ? QPoint(90, 120) : QPoint(1, 1));
        QTest::mousePress(handle, Qt::LeftButton, {}, handle->mapFromGlobal(start));
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(handle, handle->mapFromGlobal(start + by * i / 4));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(start + by));
        QCOMPARE(s.u.frame->geometry(), QRect(stop, QSize(184, 245)));
        QCOMPARE(s.u.grip->geometry(), s.u.frame->geometry());
    }

    void interiorShowsThePreview()
    {
        Station s;
        s.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        s.previewOn();
        s.setTarget(QStringLiteral("640"), QStringLiteral("480"));
        const QRect f = s.u.frame->geometry();
        const QImage shot = s.window.grab().toImage();
        auto at = [&](int x, int y) { return shot.pixelColor(QPoint(x, y) * shot.devicePixelRatio()).rgb(); };
        // Two pixels of outline, then the preview.
        QCOMPARE(at(f.center().x(), f.center().y()), kPreviewColour.rgb());
        QCOMPARE(at(f.left() + 1, f.top() + 1), kLineColour.rgb());
        QCOMPARE(at(f.left() + 2, f.top() + 2), kPreviewColour.rgb());
        QCOMPARE(at(f.right() - 1, f.bottom() - 1), kLineColour.rgb());
        QCOMPARE(at(f.right() - 2, f.bottom() - 2), kPreviewColour.rgb());
        // Clicks inside reach the grip under the frame; the outline is the frame's.
        QCOMPARE(s.window.childAt(f.center()), s.u.grip);
        QCOMPARE(s.window.childAt(f.topLeft() + QPoint(1, 30)), s.u.frame);
    }

    void frameIsRaisedOnlyWhileTheHelpIsHidden()
    {
        Station s;
        const QPoint onOutline(455, 200);
        s.u.helpLabel->raise();
        s.vf->showFrame();
        s.vf->RefreshFrameShape();
        QCOMPARE(s.window.childAt(onOutline), s.u.helpLabel);
        s.u.helpLabel->hide();
        s.vf->RefreshFrameShape();
        QCOMPARE(s.window.childAt(onOutline), s.u.frame);
    }

    void focusRules()
    {
        Station s;
        s.activate();
        s.previewOn();
        s.u.zoomBox->setFocus();
        QVERIFY(s.u.statusLabel->isEnabled());
        s.u.heightBox->setFocus();
        QVERIFY(!s.u.statusLabel->isEnabled());
        // The wheel over the frame zooms only once a right click readied the zoom box.
        s.wheel(s.u.grip, 120);
        QCOMPARE(s.u.frame->size(), QSize(184, 245));
        QTest::mouseClick(s.u.grip, Qt::RightButton, {}, QPoint(50, 50));
        QVERIFY(s.u.zoomBox->hasFocus());
        s.wheel(s.u.grip, 120);
        QCOMPARE(s.u.frame->size(), QSize(194, 258));
        QVERIFY(!s.u.statusLabel->isEnabled());  // nothing enables it again
    }
};

QTEST_MAIN(ViewfinderTest)
#include "tst_viewfinder.moc"
