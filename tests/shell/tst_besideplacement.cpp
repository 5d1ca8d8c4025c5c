// A settings window placed beside the main window: on the screen, off the
// main window's controls, clear of the banner.
#include "besideplacement.h"

#include <QtTest>

class BesidePlacementTest : public QObject {
    Q_OBJECT
private slots:
    void placement_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QList<QRect>>("occupied");
        QTest::addColumn<QPoint>("expected");
        const QRect main(50, 50, 996, 558);
        QTest::newRow("right, bottoms aligned")
            << main << QRect(0, 0, 1920, 1080) << QList<QRect>{} << QPoint(1046, 448);
        QTest::newRow("left when the right is off screen")
            << QRect(600, 50, 996, 558) << QRect(0, 0, 1600, 1080) << QList<QRect>{} << QPoint(249, 448);
        QTest::newRow("below when neither side has room")
            << main << QRect(0, 0, 1280, 1024) << QList<QRect>{} << QPoint(50, 608);
        QTest::newRow("below the banner under the main window")
            << main << QRect(0, 0, 1280, 1024) << QList<QRect>{QRect(50, 608, 996, 100)} << QPoint(50, 708);
        QTest::newRow("above when nothing fits below") << QRect(50, 400, 996, 558) << QRect(0, 0, 1280, 1024)
                                                       << QList<QRect>{QRect(50, 958, 996, 60)} << QPoint(50, 240);
    }

    void placement()
    {
        QFETCH(QRect, main);
        QFETCH(QRect, screen);
        QFETCH(QList<QRect>, occupied);
        QFETCH(QPoint, expected);
        const QSize settings(351, 160);
        const QPoint at = placeBeside(main, settings, screen, occupied);
        QCOMPARE(at, expected);
        const QRect placed(at, settings);
        QVERIFY(!placed.intersects(main));
        for (const QRect& o : occupied)
            QVERIFY(!placed.intersects(o));
    }

    void noRoomAnywhereStaysOnScreen()
    {
        // A screen hardly larger than the main window.
        const QRect screen(0, 0, 1024, 600);
        const QSize settings(351, 160);
        QVERIFY(screen.contains(QRect(placeBeside(QRect(10, 10, 996, 558), settings, screen), settings)));
        QVERIFY(screen.contains(QRect(placeBeside(QRect(-300, 200, 996, 558), settings, screen), settings)));
    }
};

QTEST_APPLESS_MAIN(BesidePlacementTest)
#include "tst_besideplacement.moc"
