#include "shapebox.h"
#include "translabel.h"
#include "viewfinder.h"
#include "zoomspinbox.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QtTest>

namespace {

const QColor kPreviewColour(20, 90, 200);
const QColor kLineColour(250, 30, 30);

QWidget* solid(QWidget* parent, const QRect& r, const QColor& colour)
{
    auto* w = new QWidget(parent);
    w->setGeometry(r);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    return w;
}

// The main window's client area with the units the viewfinder touches, at
// their places.
struct Station {
    QWidget window;
    double frameScaleValue = 0;
    ViewfinderUnits u;
    std::unique_ptr<Viewfinder> vf;

    Station()
    {
        window.resize(988, 524);
        u.preview = solid(&window, QRect(306, 115, 480, 360), kPreviewColour);
        u.helpLabel = new TransLabel(&window);
        u.helpLabel->setGeometry(318, 123, 456, 344);
        u.frame = new ShapeBox(&window);
        u.frame->setGeometry(454, 172, 184, 245);
        u.frame->setLineColour(kLineColour);
        u.frame->hide();
        u.grip = new TransLabel(&window);
        u.grip->setGeometry(454, 172, 184, 245);
        u.panePicture = solid(&window, QRect(794, 172, 184, 245), Qt::gray);
        u.pane = solid(&window, QRect(794, 172, 184, 245), Qt::white);
        u.strip = new TransLabel(&window);
        u.strip->setGeometry(794, 424, 184, 16);
        auto* group = new QGroupBox(&window);
        group->setGeometry(794, 104, 184, 64);
        u.zoomBox = new ZoomSpinBox(group);
        u.zoomBox->setGeometry(116, 12, 40, 21);
        u.widthBox = new QLineEdit(QStringLiteral("151"), group);
        u.widthBox->setGeometry(80, 37, 32, 20);
        u.heightBox = new QLineEdit(QStringLiteral("201"), group);
        u.heightBox->setGeometry(142, 37, 32, 20);
        auto* copy = new TransLabel(&window);
        copy->setGeometry(915, 116, 32, 21);
        copy->setText(QStringLiteral("0"));
        u.zoomCopy = copy;
        u.statusLabel = new TransLabel(&window);
        u.statusLabel->setGeometry(704, 494, 262, 16);
        vf = std::make_unique<Viewfinder>(u, frameScaleValue);
    }

    // The state right after the preview was switched on.
    void previewOn()
    {
        u.helpLabel->lower();
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
        const QPointF local(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent e(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }

    // Presses at `grab` (local to `handle`), moves the pointer by `by` and
    // releases, as a hand on the mouse would.
    void drag(QWidget* handle, QPoint grab, QPoint by)
    {
        const QPoint start = handle->mapToGlobal(grab);
        QTest::mousePress(handle, Qt::LeftButton, {}, grab);
        // A few steps so the frame is seen moving under the pointer.
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(handle, handle->mapFromGlobal(start + by * i / 4));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(start + by));
    }
};

}  // namespace

class ViewfinderTest : public QObject {
    Q_OBJECT
private slots:
    void resolutionLaysOutFrameAndPane_data()
    {
        QTest::addColumn<QString>("w");
        QTest::addColumn<QString>("h");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("pane");
        QTest::newRow("151x201") << "151" << "201" << QRect(454, 172, 184, 245) << QRect(794, 172, 184, 245);
        QTest::newRow("300x400") << "300" << "400" << QRect(454, 172, 183, 245) << QRect(794, 172, 183, 245);
        QTest::newRow("640x480") << "640" << "480" << QRect(454, 226, 184, 138) << QRect(794, 226, 184, 138);
        QTest::newRow("full-width digits") << QStringLiteral("６４０") << QStringLiteral("４８０")
                                           << QRect(454, 226, 184, 138) << QRect(794, 226, 184, 138);
    }
    void resolutionLaysOutFrameAndPane()
    {
        QFETCH(QString, w);
        QFETCH(QString, h);
        QFETCH(QRect, frame);
        QFETCH(QRect, pane);
        Station s;
        s.previewOn();
        // A zoomed frame: the grip had followed it, the pane had not.
        s.u.zoomBox->setText(QStringLiteral("4"));
        s.frameScaleValue = 4;
        s.u.frame->setGeometry(400, 130, 300, 300);
        s.u.frame->alignGrip();
        QSignalSpy cleared(s.vf.get(), &Viewfinder::resultPaneCleared);
        // Start from another size so that the target text really changes.
        s.setTarget(QStringLiteral("1000"), QStringLiteral("10"));
        s.setTarget(w, h);
        QVERIFY(cleared.count() >= 1);
        QCOMPARE(s.u.frame->geometry(), frame);
        QCOMPARE(s.u.grip->geometry(), frame);
        QCOMPARE(s.u.pane->geometry(), pane);
        QCOMPARE(s.u.panePicture->geometry(), pane);
        QVERIFY(!s.u.frame->isHidden());
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("0"));
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("0"));
        QCOMPARE(s.frameScaleValue, 0.0);
        QCOMPARE(s.vf->frameInterior(), frame.adjusted(2, 2, -2, -2));
    }

    void unusableSizeKeepsTheLastLayout_data()
    {
        QTest::addColumn<QString>("w");
        QTest::addColumn<QString>("h");
        QTest::newRow("width being retyped") << "" << "480";
        QTest::newRow("zero height") << "640" << "0";
        QTest::newRow("not a number") << "abc" << "480";
        QTest::newRow("negative") << "-640" << "480";
        QTest::newRow("too large") << "640" << "48000";
    }
    void unusableSizeKeepsTheLastLayout()
    {
        QFETCH(QString, w);
        QFETCH(QString, h);
        Station s;
        s.previewOn();
        s.setTarget(QStringLiteral("640"), QStringLiteral("480"));
        s.vf->wheelZoom(120);
        const QRect zoomed = s.u.frame->geometry();
        QCOMPARE(zoomed, QRect(454, 226, 194, 145));
        QSignalSpy cleared(s.vf.get(), &Viewfinder::resultPaneCleared);

        s.setTarget(w, h);
        QVERIFY(!s.vf->targetUsable());
        QCOMPARE(cleared.count(), 0);
        QCOMPARE(s.u.frame->geometry(), zoomed);
        QCOMPARE(s.u.pane->geometry(), QRect(794, 226, 184, 138));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("1"));
        QCOMPARE(s.frameScaleValue, 1.0);
        // Zooming waits for a usable size too.
        s.vf->wheelZoom(120);
        s.vf->spinZoom(-1);
        QCOMPARE(s.u.frame->geometry(), zoomed);
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("1"));

        s.setTarget(QStringLiteral("300"), QStringLiteral("400"));
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 183, 245));
    }

    void wheelAndSpinZoomTheFrame()
    {
        Station s;
        s.previewOn();
        s.wheel(s.u.zoomBox, 120);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 194, 258));
        QCOMPARE(s.u.grip->geometry(), s.u.frame->geometry());
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("1"));
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("1"));
        QCOMPARE(s.frameScaleValue, 1.0);
        // The up arrow is the up spin button: 8 wider.
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 202, 268));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("2"));
        QTest::keyClick(s.u.zoomBox, Qt::Key_Down);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 194, 258));
        s.wheel(s.u.zoomBox, -120);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 184, 244));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("0"));
        QCOMPARE(s.frameScaleValue, 0.0);
        // The pane keeps its size: the zoom changes only the frame.
        QCOMPARE(s.u.pane->geometry(), QRect(794, 172, 184, 245));
    }

    void zoomStopsAtTheLimits()
    {
        Station s;
        s.previewOn();
        for (int i = 0; i < 30; ++i)
            s.wheel(s.u.zoomBox, 120);
        // 264 x 351 is the first size past 340 high; growing pushed it up
        // from the preview's bottom edge.
        QCOMPARE(s.u.frame->geometry(), QRect(454, 119, 264, 351));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("8"));
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 119, 264, 351));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("8"));

        for (int i = 0; i < 40; ++i)
            s.wheel(s.u.zoomBox, -120);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 119, 94, 125));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("-9"));
        QCOMPARE(s.frameScaleValue, -9.0);
    }

    void typedZoomWaitsForTheNextWheelOrSpin()
    {
        Station s;
        s.previewOn();
        s.u.zoomBox->setFocus();
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("３"));
        s.u.zoomBox->selectAll();
        QApplication::sendEvent(s.u.zoomBox, &typed);
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("３"));
        QCOMPARE(s.u.zoomCopy->text(), QStringLiteral("３"));
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 184, 245));
        QCOMPARE(s.frameScaleValue, 0.0);
        // The spin adds one and applies the whole difference: 4 x 8.
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 216, 287));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("4"));
        QCOMPARE(s.frameScaleValue, 4.0);
    }

    void spinAtTheLimitStillAppliesTheTypedValue()
    {
        Station s;
        s.previewOn();
        for (int i = 0; i < 8; ++i)
            s.wheel(s.u.zoomBox, 120);
        QCOMPARE(s.u.frame->size(), QSize(264, 351));
        s.u.zoomBox->setText(QStringLiteral("7"));
        // Too high to grow: the value stays 7 and its difference is applied.
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->size(), QSize(256, 340));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("7"));
        QCOMPARE(s.frameScaleValue, 7.0);
    }

    void typedZoomTooLargeIsRefused()
    {
        Station s;
        s.previewOn();
        s.u.zoomBox->setText(QStringLiteral("99999999999"));
        s.wheel(s.u.zoomBox, 120);
        QTest::keyClick(s.u.zoomBox, Qt::Key_Up);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 184, 245));
        QCOMPARE(s.frameScaleValue, 0.0);
        // Back to a sane value, the zoom works again.
        s.u.zoomBox->setText(QStringLiteral("0"));
        s.wheel(s.u.zoomBox, 120);
        QCOMPARE(s.u.frame->geometry(), QRect(454, 172, 194, 258));
    }

    void dragStopsAtEachLimit_data()
    {
        QTest::addColumn<bool>("byGrip");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QPoint>("stop");
        const struct {
            const char* name;
            QPoint by;
            QPoint stop;
        } moves[] = {
            {"within", QPoint(-40, 25), QPoint(414, 197)},
            {"past left", QPoint(-400, 0), QPoint(306, 172)},
            {"past right", QPoint(400, 0), QPoint(593, 172)},
            {"past top", QPoint(0, -300), QPoint(454, 115)},
            {"past bottom", QPoint(0, 300), QPoint(454, 218)},
            {"past top left", QPoint(-500, -500), QPoint(306, 115)},
            {"past bottom right", QPoint(500, 500), QPoint(593, 218)},
        };
        for (const auto& m : moves) {
            QTest::addRow("outline %s", m.name) << false << m.by << m.stop;
            QTest::addRow("grip %s", m.name) << true << m.by << m.stop;
        }
    }
    void dragStopsAtEachLimit()
    {
        QFETCH(bool, byGrip);
        QFETCH(QPoint, by);
        QFETCH(QPoint, stop);
        Station s;
        s.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        s.previewOn();
        QWidget* handle = byGrip ? static_cast<QWidget*>(s.u.grip) : s.u.frame;
        const QPoint grab = byGrip ? QPoint(90, 120) : QPoint(1, 1);
        s.drag(handle, grab, by);
        QCOMPARE(s.u.frame->pos(), stop);
        QCOMPARE(s.u.frame->size(), QSize(184, 245));
        QCOMPARE(s.u.grip->geometry(), s.u.frame->geometry());
        QVERIFY(!s.u.frame->dragging());
    }

    void dragKeepsAZoomedSize()
    {
        Station s;
        s.previewOn();
        s.vf->wheelZoom(120);
        s.drag(s.u.grip, QPoint(10, 10), QPoint(600, 600));
        QCOMPARE(s.u.frame->geometry(), QRect(777 - 194, 463 - 258, 194, 258));
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
        const qreal dpr = shot.devicePixelRatio();
        auto at = [&](int x, int y) { return shot.pixelColor(QPoint(x, y) * dpr).rgb(); };
        QCOMPARE(at(f.center().x(), f.center().y()), kPreviewColour.rgb());
        // Two pixels of outline, then the preview.
        QCOMPARE(at(f.left(), f.top()), kLineColour.rgb());
        QCOMPARE(at(f.left() + 1, f.top() + 1), kLineColour.rgb());
        QCOMPARE(at(f.left() + 2, f.top() + 2), kPreviewColour.rgb());
        QCOMPARE(at(f.right() - 1, f.bottom() - 1), kLineColour.rgb());
        QCOMPARE(at(f.right() - 2, f.bottom() - 2), kPreviewColour.rgb());
        QCOMPARE(at(f.left() - 1, f.top() + 10), kPreviewColour.rgb());
        // The preview toggle recolours the outline.
        s.u.frame->setLineColour(Qt::green);
        const QImage again = s.window.grab().toImage();
        QCOMPARE(again.pixelColor(QPoint(f.left(), f.center().y()) * dpr).rgb(), QColor(Qt::green).rgb());
    }

    void onlyTheOutlineTakesTheMouse()
    {
        Station s;
        s.previewOn();
        const QRect f = s.u.frame->geometry();
        // The frame lies over the grip, but its interior lets clicks through.
        QCOMPARE(s.window.childAt(f.center()), s.u.grip);
        QCOMPARE(s.window.childAt(f.topLeft() + QPoint(1, 30)), s.u.frame);
    }

    void frameIsRaisedOnlyWhileTheHelpIsHidden()
    {
        Station s;
        const QPoint onOutline(455, 200);
        s.u.helpLabel->show();
        s.u.helpLabel->raise();
        s.vf->showFrame();
        s.vf->RefreshFrameShape();
        QCOMPARE(s.window.childAt(onOutline), s.u.helpLabel);
        s.u.helpLabel->hide();
        s.vf->RefreshFrameShape();
        QCOMPARE(s.window.childAt(onOutline), s.u.frame);
    }

    void rightClickOnGripReadiesTheWheel()
    {
        Station s;
        s.window.show();
        QApplication::setActiveWindow(&s.window);
        QVERIFY(QTest::qWaitForWindowActive(&s.window));
        s.previewOn();
        s.u.widthBox->setFocus();
        // Without the focus on the zoom box, the wheel over the frame is not a zoom.
        s.wheel(s.u.grip, 120);
        QCOMPARE(s.u.frame->size(), QSize(184, 245));
        QTest::mouseClick(s.u.grip, Qt::RightButton, {}, QPoint(50, 50));
        QVERIFY(s.u.zoomBox->hasFocus());
        s.wheel(s.u.grip, 120);
        QCOMPARE(s.u.frame->size(), QSize(194, 258));
        QCOMPARE(s.u.zoomBox->text(), QStringLiteral("1"));
    }

    void focusOnAResolutionBoxDisablesTheStatusLine()
    {
        Station s;
        s.window.show();
        QApplication::setActiveWindow(&s.window);
        QVERIFY(QTest::qWaitForWindowActive(&s.window));
        s.u.zoomBox->setFocus();
        QVERIFY(s.u.statusLabel->isEnabled());
        s.u.heightBox->setFocus();
        QVERIFY(!s.u.statusLabel->isEnabled());
        s.u.zoomBox->setFocus();
        QVERIFY(!s.u.statusLabel->isEnabled());
    }
};

QTEST_MAIN(ViewfinderTest)
#include "tst_viewfinder.moc"
