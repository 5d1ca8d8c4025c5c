#include "searchlogic.h"
#include "searchscan.h"

#include <QtTest>

using namespace search;

class SearchLogicTest : public QObject {
    Q_OBJECT
private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("matches");
        QTest::newRow("contains the middle") << "张三丰"
                                             << "三" << modeContains << true;
        QTest::newRow("contains never folds case") << "Wang Li"
                                                   << "LI" << modeContains << false;
        QTest::newRow("full-width is not half-width") << "A1" << QStringLiteral("Ａ1") << modeEqual << false;
        QTest::newRow("unknown mode") << "张三"
                                      << "张三"
                                      << "等于" << false;
        // A match may not begin inside a character made of two code units.
        QTest::newRow("no start inside a pair")
            << QString::fromUcs4(U"\U00020000") << QString(QChar(0xDC00)) << modeContains << false;
        QTest::newRow("whole pair matches")
            << QString::fromUcs4(U"a\U00020000b") << QString::fromUcs4(U"\U00020000b") << modeContains << true;
    }
    void matching()
    {
        QFETCH(QString, cell);
        QFETCH(QString, condition);
        QFETCH(QString, mode);
        QFETCH(bool, matches);
        QCOMPARE(ConditionMatches(cell, condition, mode), matches);
    }

    void reports_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("single");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("green");
        const int both = int(SearchKind::BothConditions);
        const int one = int(SearchKind::Condition1);
        const int one7 = int(SearchKind::Condition1FromBox7);
        QTest::newRow("both, single, found")
            << both << true << true << 0 << QStringLiteral("已找到:  第 1 列 等同“张三” | 第 3 列 包含“二班” 项")
            << true;
        QTest::newRow("both, multi, found")
            << both << false << false << 12
            << QStringLiteral("已找到:  第 1 列 等同“张三” | 第 3 列 包含“二班” 共： 12  项") << true;
        QTest::newRow("both, single, not found")
            << both << true << false << 0 << QStringLiteral("未找到:  第 1 列 等同“张三” | 第 3 列 包含“二班” 项")
            << false;
        QTest::newRow("both, multi, none")
            << both << false << false << 0 << QStringLiteral("未找到: 1 列 等同“张三” | 第 3 列 包含“二班” 项")
            << false;
        QTest::newRow("one, single, found")
            << one << true << true << 0 << QStringLiteral("第 1  已找到: 等同“张三”") << true;
        QTest::newRow("one, multi, found")
            << one << false << false << 3 << QStringLiteral("已找到:  第 1 列 等同“张三”  共：3  项") << true;
        QTest::newRow("one, single, not found")
            << one << true << false << 0 << QStringLiteral("第 1 列 未找到: “张三”") << false;
        QTest::newRow("one, multi, none")
            << one << false << false << 0 << QStringLiteral("第 1 列 未找到: “张三”") << false;
        QTest::newRow("from box 7, single, not found")
            << one7 << true << false << 0 << QStringLiteral("第 1 列  未找到: “张三”") << false;
        QTest::newRow("from box 7, multi, none")
            << one7 << false << false << 0 << QStringLiteral("第 1 列 未找到: “张三”") << false;
    }
    void reports()
    {
        QFETCH(int, kind);
        QFETCH(bool, single);
        QFETCH(bool, found);
        QFETCH(int, count);
        QFETCH(QString, text);
        QFETCH(bool, green);
        const ReportInput in{"1", "3", modeEqual, modeContains, QStringLiteral("张三"), QStringLiteral("二班")};
        const Report r = makeReport(SearchKind(kind), single, found, count, in);
        QCOMPARE(r.text, text);
        QCOMPARE(r.colour, green ? QColor(0x00, 0x80, 0x00) : QColor(0xFF, 0x00, 0x00));
    }

    // A long roster is scanned in slices: the first slice reports nothing yet,
    // the event loop finishes it, and the hits come in ascending order.
    void scanRunsInSlices()
    {
        constexpr int rows = 20000;
        Conditions c;
        c.mode1 = modeEqual;
        c.text1 = QStringLiteral("甲");
        c.single = false;
        c.multi = true;
        SearchScan scan;
        scan.setSliceMs(0);
        QList<int> hits;
        connect(&scan, &SearchScan::rowMatched, this, [&](int r) { hits << r; });
        QSignalSpy finished(&scan, &SearchScan::finished);
        auto cell = [](int r, int col) { return col == 0 && r % 1000 == 7 ? QStringLiteral("甲") : QString(); };
        scan.start(rows, false, c, cell);
        QVERIFY(scan.running());
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toInt(), -1);
        QCOMPARE(finished.at(0).at(1).toInt(), rows / 1000);
        QCOMPARE(hits.size(), rows / 1000);
        QVERIFY(std::is_sorted(hits.begin(), hits.end()));
        QVERIFY(!scan.running());

        // Single-item mode stops at the first hit, even past the first slice.
        c.single = true;
        c.multi = false;
        hits.clear();
        scan.start(rows, false, c,
                   [](int r, int col) { return col == 0 && r >= 15000 ? QStringLiteral("甲") : QString(); });
        QTRY_VERIFY(!scan.running());
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(1).at(0).toInt(), 15000);
        QVERIFY(hits.isEmpty());

        // A cancelled scan reports nothing more; a restart drops the running one.
        c.text1 = QStringLiteral("乙");
        scan.start(rows, false, c, cell);
        QVERIFY(scan.running());
        scan.cancel();
        scan.start(rows, false, c, cell);
        scan.start(3, false, c, [](int, int col) { return col == 0 ? QStringLiteral("乙") : QString(); });
        QCOMPARE(finished.size(), 3);  // three rows fit in the first slice
        QCOMPARE(finished.at(2).at(0).toInt(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 3);
    }

    // Typed column numbers outside 1..4 address no cell, even at the int limits.
    void columnsOutsideTheRosterMatchNothing()
    {
        Conditions c;
        c.mode1 = modeContains;
        c.text1 = QStringLiteral("乙");
        for (int column : {0, 5, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
            c.column1 = column;
            QVERIFY(!rowMatches(c, false, [](int col) { return col >= 0 && col < 4 ? QString("乙") : QString(); }));
        }
        c.column1 = 4;
        QVERIFY(rowMatches(c, false, [](int col) { return col >= 0 && col < 4 ? QString("乙") : QString(); }));
    }
};

QTEST_GUILESS_MAIN(SearchLogicTest)
#include "tst_searchlogic.moc"
