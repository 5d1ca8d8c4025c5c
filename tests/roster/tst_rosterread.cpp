// Roster rows read out of a workbook, and the roster dump.
#include "rosterread.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(STATION_TEST_DATA "/workbooks/") + name;
}

using Rows = QList<QStringList>;

Rows rowsOf(const Roster& roster)
{
    Rows rows;
    for (const RosterEntry& e : roster) {
        rows.append({e.cells[0], e.cells[1], e.cells[2]});
        if (!e.cells[3].isEmpty())
            rows.last().append(e.cells[3]);  // the photographed mark is never imported
    }
    return rows;
}

}  // namespace

class TestRosterRead : public QObject {
    Q_OBJECT
private slots:
    void blankRows_data();
    void blankRows();
    void columnChoice_data();
    void columnChoice();
    void unreadableFileNamesFileAndReason();
    void dumpFormat();
    void dumpColumnsAndErrors();
};

// Rows 1, 2, 4, 7, 8 and 10 of the sheet; blanks at 3, 5, 6 (D only), 9 and
// 11, where the read ends although row 12 holds a person.
static const Rows blankFixtureRoster = {
    {"姓名", "学号", "班级"}, {"张三", "20120001", "一班"}, {"李四", "20120002", "一班"}, {"王五", "", ""},
    {"", "", "二班"},         {"赵六", "20120004", "二班"},
};

void TestRosterRead::blankRows_data()
{
    QTest::addColumn<QString>("file");
    // Macro workbooks, templates and CSV files read like their .xlsx twin.
    for (const char* f : {"blanks-openpyxl.xlsx", "blanks-xlsxwriter.xlsx", "blanks-xlwt.xls", "blanks-libreoffice.xls",
                          "blanks-openpyxl.xlsm", "blanks-openpyxl.xltx", "blanks-openpyxl.xltm", "blanks-utf8.csv",
                          "blanks-utf8-bom.csv", "blanks-gbk.csv"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestRosterRead::blankRows()
{
    QFETCH(QString, file);
    const Result<Roster> r = readRosterRows(fixture(file), {"A", "B", "C"});
    QVERIFY2(r.ok(), qPrintable(r.error()));
    QCOMPARE(rowsOf(r.value()), blankFixtureRoster);
}

void TestRosterRead::columnChoice_data()
{
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<Rows>("expected");
    QTest::newRow("lower case letters") << QStringList{"a", "b", "c"} << blankFixtureRoster;
    // Row 8 holds only C, so with A alone it is the fourth blank and row 9 the fifth.
    QTest::newRow("refused and empty boxes give empty columns")
        << QStringList{"A", "错", ""} << Rows{{"姓名", "", ""}, {"张三", "", ""}, {"李四", "", ""}, {"王五", "", ""}};
    // Rows 2, 3, 5, 6, 7 are blank in AB: the fifth of them ends the read.
    QTest::newRow("two-letter column") << QStringList{"AB", "", ""} << Rows{{"AB1", "", ""}, {"AB4", "", ""}};
    QTest::newRow("columns in another order")
        << QStringList{"C", "A", "A"}
        << Rows{{"班级", "姓名", "姓名"}, {"一班", "张三", "张三"}, {"一班", "李四", "李四"},
                {"", "王五", "王五"},     {"二班", "", ""},         {"二班", "赵六", "赵六"}};
    // Column D holds a cell only in row 6, after five blank rows.
    QTest::newRow("blanks before the first cell") << QStringList{"D", "", ""} << Rows{};
    QTest::newRow("no column named") << QStringList{"错", "", ""} << Rows{};
}

void TestRosterRead::columnChoice()
{
    QFETCH(QStringList, columns);
    QFETCH(Rows, expected);
    for (const char* f : {"blanks-xlsxwriter.xlsx", "blanks-xlwt.xls", "blanks-gbk.csv"}) {
        const Result<Roster> r = readRosterRows(fixture(QString::fromLatin1(f)), {columns[0], columns[1], columns[2]});
        QVERIFY2(r.ok(), qPrintable(r.error()));
        QCOMPARE(rowsOf(r.value()), expected);
    }
}

void TestRosterRead::unreadableFileNamesFileAndReason()
{
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"password.xls", "密码"}, {"bad-xml.xlsx", "XML"}, {"missing.xlsx", "无法打开"}};
    for (const auto& c : cases) {
        const Result<Roster> r = readRosterRows(fixture(QString::fromLatin1(c.file)), {"A", "B", "C"});
        QVERIFY(!r.ok());
        QVERIFY2(r.error().contains(QString::fromLatin1(c.file)), qPrintable(r.error()));
        QVERIFY2(r.error().contains(QString::fromUtf8(c.reason)), qPrintable(r.error()));
    }
    const Result<Roster> bad = readRosterRows(fixture(QStringLiteral("blanks-xlwt.xls")), {"A1", "B", "C"});
    QVERIFY(!bad.ok());
    QVERIFY2(bad.error().contains(QStringLiteral("A1")), qPrintable(bad.error()));
}

void TestRosterRead::dumpFormat()
{
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(dumpRoster(fixture(QStringLiteral("blanks-xlwt.xls")), QString(), o, e), 0);
    QCOMPARE(out, QStringLiteral("姓名\t学号\t班级\n张三\t20120001\t一班\n李四\t20120002\t一班\n"
                                 "王五\t\t\n\t\t二班\n赵六\t20120004\t二班\n"));
    QVERIFY(err.isEmpty());

    // Backslash, TAB, CR and LF inside cells are escaped; every line ends with LF.
    out.clear();
    QCOMPARE(dumpRoster(fixture(QStringLiteral("structure.xlsx")), QStringLiteral("B"), o, e), 0);
    const QStringList lines = out.split(u'\n');
    QCOMPARE(lines.size(), 15);  // 14 rows with a value in B (an error and a bad index are empty), then nothing
    QCOMPARE(lines.last(), QString());
    QVERIFY(lines.contains(QStringLiteral("line\\r\\nbreak\t\t")));
    QVERIFY(lines.contains(QStringLiteral("a\\tb\t\t")));
    out.clear();
    QCOMPARE(dumpRoster(fixture(QStringLiteral("cells-openpyxl.xlsx")), QStringLiteral("B,,A"), o, e), 0);
    QVERIFY2(out.contains(QStringLiteral("\na\\\\b\\tc\t\tbackslash and tab\n")), qPrintable(out));
}

void TestRosterRead::dumpColumnsAndErrors()
{
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(dumpRoster(fixture(QStringLiteral("blanks-xlsxwriter.xlsx")), QStringLiteral("AB"), o, e), 0);
    QCOMPARE(out, QStringLiteral("AB1\t\t\nAB4\t\t\n"));

    out.clear();
    QVERIFY(dumpRoster(fixture(QStringLiteral("too-many-rows.xlsx")), QString(), o, e) != 0);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains(QStringLiteral("too-many-rows.xlsx")) && err.endsWith(u'\n'), qPrintable(err));

    err.clear();
    QVERIFY(dumpRoster(fixture(QStringLiteral("blanks-xlwt.xls")), QStringLiteral("A,B,C,D"), o, e) != 0);
    QVERIFY(out.isEmpty());
    QVERIFY(!err.isEmpty());
}

QTEST_GUILESS_MAIN(TestRosterRead)
#include "tst_rosterread.moc"
