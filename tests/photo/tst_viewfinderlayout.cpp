#include "viewfinderlayout.h"

#include <QtTest>

using namespace viewfinder;

Q_DECLARE_METATYPE(viewfinder::TargetShape)

namespace {
const QRect kPreview(306, 115, 480, 360);
const QRect kStrip(794, 424, 184, 16);
const QRect kCentred(454, 172, 184, 245);
}  // namespace

class ViewfinderLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void layout_data()
    {
        QTest::addColumn<int>("tw");
        QTest::addColumn<int>("th");
        QTest::addColumn<TargetShape>("shape");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("pane");
        // The initial resolution equals the reference aspect within the tolerance.
        QTest::newRow("151x201 reference") << 151 << 201 << TargetShape::Reference
                                           << kCentred << QRect(794, 172, 184, 245);
        QTest::newRow("302x402 same ratio") << 302 << 402 << TargetShape::Reference
                                            << kCentred << QRect(794, 172, 184, 245);
        // Odd widths centre with the half pixel truncated away.
        QTest::newRow("300x400 tall") << 300 << 400 << TargetShape::Tall
                                      << QRect(454, 172, 183, 245) << QRect(794, 172, 183, 245);
        QTest::newRow("640x480 wide") << 640 << 480 << TargetShape::Wide
                                      << QRect(454, 226, 184, 138) << QRect(794, 226, 184, 138);
        // 184 / 152 * 202 = 244.53: truncated, not rounded.
        QTest::newRow("152x202 barely wide") << 152 << 202 << TargetShape::Wide
                                             << QRect(454, 173, 184, 244) << QRect(794, 173, 184, 244);
        // 245 / 200 * 150 = 183.75.
        QTest::newRow("150x200 barely tall") << 150 << 200 << TargetShape::Tall
                                             << QRect(454, 172, 183, 245) << QRect(794, 172, 183, 245);
        QTest::newRow("1x1 square") << 1 << 1 << TargetShape::Wide
                                    << QRect(454, 203, 184, 184) << QRect(794, 203, 184, 184);
        QTest::newRow("1x10000 needle") << 1 << 10000 << TargetShape::Tall
                                        << QRect(546, 172, 0, 245) << QRect(886, 172, 0, 245);
    }
    void layout()
    {
        QFETCH(int, tw);
        QFETCH(int, th);
        QFETCH(TargetShape, shape);
        QFETCH(QRect, frame);
        QFETCH(QRect, pane);
        const ResolutionLayout l = layoutForTarget(tw, th, kPreview, kStrip);
        QVERIFY(l.ok);
        QVERIFY(l.error.isEmpty());
        QCOMPARE(l.shape, shape);
        QCOMPARE(l.frame, frame);
        QCOMPARE(l.pane, pane);
    }

    void unusableTargetsAreRefused_data()
    {
        QTest::addColumn<int>("tw");
        QTest::addColumn<int>("th");
        QTest::newRow("zero width") << 0 << 201;
        QTest::newRow("zero height") << 151 << 0;
        QTest::newRow("both zero") << 0 << 0;
        QTest::newRow("negative") << -151 << 201;
        QTest::newRow("width too large") << 10001 << 201;
        QTest::newRow("height too large") << 151 << 10001;
    }
    void unusableTargetsAreRefused()
    {
        QFETCH(int, tw);
        QFETCH(int, th);
        QVERIFY(!usableTarget(tw, th));
        const ResolutionLayout l = layoutForTarget(tw, th, kPreview, kStrip);
        QVERIFY(!l.ok);
        QVERIFY(!l.error.isEmpty());
        const ZoomResult z = zoomFrame(kCentred, 1, 0, kWheelStep, tw, th, kPreview);
        QVERIFY(!z.ok);
        QCOMPARE(z.frame, kCentred);
    }

    void clamp_data()
    {
        QTest::addColumn<QRect>("proposed");
        QTest::addColumn<QPoint>("allowed");
        QTest::newRow("inside") << QRect(400, 200, 184, 245) << QPoint(400, 200);
        QTest::newRow("on all limits") << QRect(306, 115, 471, 348) << QPoint(306, 115);
        QTest::newRow("past left") << QRect(100, 200, 184, 245) << QPoint(306, 200);
        QTest::newRow("past top") << QRect(400, -50, 184, 245) << QPoint(400, 115);
        QTest::newRow("past right") << QRect(700, 200, 184, 245) << QPoint(593, 200);
        QTest::newRow("past bottom") << QRect(400, 400, 184, 245) << QPoint(400, 218);
        QTest::newRow("past right and bottom") << QRect(900, 500, 184, 245) << QPoint(593, 218);
        // Wider than the limits: the right edge rule comes last and wins.
        QTest::newRow("too wide") << QRect(400, 200, 500, 100) << QPoint(277, 200);
        QTest::newRow("too high") << QRect(400, 200, 100, 400) << QPoint(400, 63);
    }
    void clamp()
    {
        QFETCH(QRect, proposed);
        QFETCH(QPoint, allowed);
        const QRect r = clampFrame(proposed);
        QCOMPARE(r.topLeft(), allowed);
        QCOMPARE(r.size(), proposed.size());
    }

    void zoomLimits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("grow");
        QTest::addColumn<bool>("shrink");
        QTest::newRow("reference") << QSize(184, 245) << true << true;
        QTest::newRow("339 high") << QSize(255, 339) << true << true;
        QTest::newRow("340 high") << QSize(255, 340) << false << true;
        QTest::newRow("459 wide") << QSize(459, 344) << false << true;
        QTest::newRow("460 wide") << QSize(460, 300) << false << true;
        QTest::newRow("101 square") << QSize(101, 101) << true << true;
        QTest::newRow("100 wide") << QSize(100, 200) << true << false;
        QTest::newRow("100 high") << QSize(200, 100) << true << false;
    }
    void zoomLimits()
    {
        QFETCH(QSize, size);
        QFETCH(bool, grow);
        QFETCH(bool, shrink);
        QCOMPARE(canGrow(size), grow);
        QCOMPARE(canShrink(size), shrink);
    }

    void zoom_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("tw");
        QTest::addColumn<int>("th");
        QTest::addColumn<QRect>("expected");
        // 194 / (151 / 201) = 258.24
        QTest::newRow("wheel notch") << kCentred << 1 << 0.0 << kWheelStep << 151 << 201
                                     << QRect(454, 172, 194, 258);
        QTest::newRow("spin click") << kCentred << 1 << 0.0 << kSpinStep << 151 << 201
                                    << QRect(454, 172, 192, 255);
        QTest::newRow("wheel back") << kCentred << -1 << 0.0 << kWheelStep << 151 << 201
                                    << QRect(454, 172, 174, 231);
        QTest::newRow("wide ratio") << QRect(454, 226, 184, 138) << 1 << 0.0 << kWheelStep << 640 << 480
                                    << QRect(454, 226, 194, 145);
        // A typed value applies its whole difference from the last applied one.
        QTest::newRow("typed jump") << kCentred << 5 << 2.0 << kWheelStep << 151 << 201
                                    << QRect(454, 172, 214, 284);
        // Same value: only the height is brought back to the ratio.
        QTest::newRow("no change") << QRect(454, 172, 184, 200) << 3 << 3.0 << kSpinStep << 151 << 201
                                   << QRect(454, 172, 184, 244);
        // Right edge reaches the preview's (786): pushed back by the change.
        QTest::newRow("at right edge") << QRect(593, 172, 184, 245) << 1 << 0.0 << kWheelStep << 151 << 201
                                       << QRect(583, 172, 194, 258);
        // Bottom edge reaches the preview's (475): pushed up by the growth.
        QTest::newRow("at bottom edge") << QRect(454, 218, 184, 245) << 1 << 0.0 << kWheelStep << 151 << 201
                                        << QRect(454, 205, 194, 258);
        // Shrinking never pushes: it moves away from the edges.
        QTest::newRow("shrink at right") << QRect(593, 218, 184, 245) << -1 << 0.0 << kWheelStep << 151 << 201
                                         << QRect(593, 218, 174, 231);
    }
    void zoom()
    {
        QFETCH(QRect, frame);
        QFETCH(int, value);
        QFETCH(double, scale);
        QFETCH(int, step);
        QFETCH(int, tw);
        QFETCH(int, th);
        QFETCH(QRect, expected);
        const ZoomResult z = zoomFrame(frame, value, scale, step, tw, th, kPreview);
        QVERIFY2(z.ok, qPrintable(z.error));
        QCOMPARE(z.frame, expected);
    }

    void zoomOutsideThePreviewIsRefused_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("tw");
        QTest::addColumn<int>("th");
        QTest::newRow("typed huge") << 1000 << 151 << 201;
        QTest::newRow("int max") << 2147483647 << 151 << 201;
        QTest::newRow("typed very negative") << -100 << 151 << 201;
        QTest::newRow("int min") << -2147483647 - 1 << 151 << 201;
        // Fits in width but the needle ratio makes it far too high.
        QTest::newRow("too high for the ratio") << 1 << 1 << 20;
        // The wide ratio makes it less than a pixel high.
        QTest::newRow("flattened to nothing") << 1 << 10000 << 1;
    }
    void zoomOutsideThePreviewIsRefused()
    {
        QFETCH(int, value);
        QFETCH(int, tw);
        QFETCH(int, th);
        const ZoomResult z = zoomFrame(kCentred, value, 0, kWheelStep, tw, th, kPreview);
        QVERIFY(!z.ok);
        QVERIFY(!z.error.isEmpty());
        QCOMPARE(z.frame, kCentred);
    }
};

QTEST_APPLESS_MAIN(ViewfinderLayoutTest)
#include "tst_viewfinderlayout.moc"
