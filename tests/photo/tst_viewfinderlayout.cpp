#include "viewfinderlayout.h"

#include <QtTest>

using namespace viewfinder;

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
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<int>("paneLeft");
        // 151 x 201 equals the reference aspect within the tolerance.
        QTest::newRow("151x201") << 151 << 201 << kCentred << 794;
        // Odd widths centre with the half pixel truncated away.
        QTest::newRow("300x400 tall") << 300 << 400 << QRect(454, 172, 183, 245) << 794;
        QTest::newRow("640x480 wide") << 640 << 480 << QRect(454, 226, 184, 138) << 794;
        // 184 / 152 * 202 = 244.53 and 245 / 200 * 150 = 183.75: truncated, not rounded.
        QTest::newRow("152x202 barely wide") << 152 << 202 << QRect(454, 173, 184, 244) << 794;
        QTest::newRow("150x200 barely tall") << 150 << 200 << QRect(454, 172, 183, 245) << 794;
        QTest::newRow("1x10000 needle") << 1 << 10000 << QRect(546, 172, 0, 245) << 886;
    }
    void layout()
    {
        QFETCH(int, tw);
        QFETCH(int, th);
        QFETCH(QRect, frame);
        QFETCH(int, paneLeft);
        const Result<ResolutionLayout> l = layoutForTarget(tw, th, kPreview, kStrip);
        QVERIFY(l.ok());
        QCOMPARE(l->frame, frame);
        // The pane has the frame's size, centred on the strip and level with the frame.
        QCOMPARE(l->pane, QRect(QPoint(paneLeft, frame.top()), frame.size()));
    }

    void clampKeepsSizeAndOrder()
    {
        // {proposed rectangle, allowed top-left}
        const QPair<QRect, QPoint> cases[] = {
            {{306, 115, 471, 348}, {306, 115}},  // on all four limits
            {{100, -50, 184, 245}, {306, 115}},
            {{900, 500, 184, 245}, {593, 218}},
            // Wider or higher than the limits: the right and bottom rules come last and win.
            {{400, 200, 500, 100}, {277, 200}},
            {{400, 200, 100, 400}, {400, 63}},
        };
        for (const auto& [proposed, allowed] : cases)
            QCOMPARE(clampFrame(proposed), QRect(allowed, proposed.size()));
    }

    void zoomPushesBackOnlyAtThePreviewEdges()
    {
        // {frame before, zoom value, frame after}; one wheel notch from zoom 0, target 151 x 201.
        const struct {
            QRect before;
            int value;
            QRect after;
        } cases[] = {
            // The right edge reaches the preview's (786): pushed back by the change.
            {{593, 172, 184, 245}, 1, {583, 172, 194, 258}},
            // The bottom edge reaches the preview's (475): pushed up by the growth.
            {{454, 218, 184, 245}, 1, {454, 205, 194, 258}},
            {{593, 218, 184, 245}, -1, {593, 218, 174, 231}},
        };
        for (const auto& c : cases) {
            const Result<QRect> z = zoomFrame(c.before, c.value, 0, kWheelStep, 151, 201, kPreview);
            QVERIFY2(z.ok(), qPrintable(z.error()));
            QCOMPARE(z.value(), c.after);
        }
        // The height follows the target ratio: 194 / (640 / 480) = 145.5.
        QCOMPARE(zoomFrame({454, 226, 184, 138}, 1, 0, kWheelStep, 640, 480, kPreview).value(),
                 QRect(454, 226, 194, 145));
    }

    void zoomOutsideThePreviewIsRefused()
    {
        // {zoom value, target width, target height}
        const int cases[][3] = {
            {1000, 151, 201}, {2147483647, 151, 201}, {-2147483647 - 1, 151, 201},
            {1, 1, 20},  // far too high for the needle ratio
            {1, 10000, 1},  // flattened to less than a pixel
            {1, 0, 201},  // no usable target size
            {1, 151, 10001},
        };
        for (const auto& c : cases) {
            const Result<QRect> z = zoomFrame(kCentred, c[0], 0, kWheelStep, c[1], c[2], kPreview);
            QVERIFY2(!z.ok() && !z.error().isEmpty(), qPrintable(QString::number(c[0])));
        }
    }

    void typedTargetSizes_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QSize>("size");  // empty: refused
        QTest::newRow("form") << "151"
                              << "201" << QSize(151, 201);
        QTest::newRow("full-width digits") << "１５１"
                                           << "２０１" << QSize(151, 201);
        QTest::newRow("limits") << "1"
                                << "10000" << QSize(1, 10000);
        QTest::newRow("empty") << "151"
                               << "" << QSize();
        QTest::newRow("zero") << "151"
                              << "0" << QSize();
        QTest::newRow("negative") << "-5"
                                  << "201" << QSize();
        QTest::newRow("not a number") << "abc"
                                      << "201" << QSize();
        QTest::newRow("trailing letters") << "151"
                                          << "20x" << QSize();
        QTest::newRow("too large") << "10001"
                                   << "201" << QSize();
        QTest::newRow("huge") << "99999999999"
                              << "201" << QSize();
    }
    void typedTargetSizes()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QSize, size);
        const Result<QSize> typed = parseTargetSize(width, height);
        if (size.isEmpty()) {
            QVERIFY(!typed.ok());
            QVERIFY(typed.error().contains(QStringLiteral("1到10000")));
        } else {
            QVERIFY(typed.ok());
            QCOMPARE(typed.value(), size);
        }
    }
};

QTEST_APPLESS_MAIN(ViewfinderLayoutTest)
#include "tst_viewfinderlayout.moc"
