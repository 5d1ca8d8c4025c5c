// Identity numbers in a roster: the check digit, the old 15-digit numbers,
// the forms Excel leaves them in, and which columns hold them at all.
#include "idnumber.h"
#include "rosterread.h"

#include <QtTest>

using idnumber::Kind;

Q_DECLARE_METATYPE(idnumber::Kind)

class IdNumberTest : public QObject {
    Q_OBJECT

    static idnumber::ColumnCheck checkList(const QStringList& cells)
    {
        return idnumber::checkColumn(int(cells.size()), [&cells](int row) { return cells[row]; });
    }

private slots:
    void eachNumberIsJudged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("said");  // part of the reason, or the valid number
        QTest::newRow("valid") << "440304198506123455" << Kind::Valid << "440304198506123455";
        QTest::newRow("check digit X") << "11010519491231002X" << Kind::Valid << "11010519491231002X";
        QTest::newRow("small x, spaces") << " 11010519491231002x " << Kind::Valid << "11010519491231002X";
        QTest::newRow("full-width") << "４４０３０４１９８５０６１２３４５５" << Kind::Valid << "440304198506123455";
        QTest::newRow("wrong check digit") << "440304198506123451" << Kind::Invalid << "应为 5";
        QTest::newRow("X where a digit belongs") << "44030419850612345X" << Kind::Invalid << "应为 5";
        QTest::newRow("no such birth date") << with("44030419851332123") << Kind::Invalid << "19851332";
        QTest::newRow("15 digits") << "110101900307123" << Kind::Valid << "110101900307123";
        QTest::newRow("15 digits, bad date") << "110101901307123" << Kind::Invalid << "出生日期";
        QTest::newRow("17 digits") << "44030419850612345" << Kind::Invalid << "17 位";
        QTest::newRow("000 at the end") << "320106200809150000" << Kind::ExcelDamaged << "000";
        QTest::newRow("scientific") << "4.40304198506124E+17" << Kind::ExcelDamaged << "科学计数法";
        QTest::newRow("scientific, short") << "1.10101e17" << Kind::ExcelDamaged << "科学计数法";
        QTest::newRow("trailing .0") << "440304198506123455.0" << Kind::ExcelDamaged << ".0";
        QTest::newRow("letters") << "A4030419850612345" << Kind::Invalid << "格式";
        QTest::newRow("none") << "无" << Kind::None << "";
        QTest::newRow("empty") << "  " << Kind::None << "";
    }
    void eachNumberIsJudged()
    {
        QFETCH(QString, text);
        QFETCH(Kind, kind);
        QFETCH(QString, said);
        const idnumber::Check c = idnumber::check(text);
        QCOMPARE(c.kind, kind);
        if (kind == Kind::Valid) {
            QCOMPARE(c.number, said);
            QVERIFY(c.reason.isEmpty());
        } else {
            QVERIFY2(c.reason.contains(said), qPrintable(c.reason));
        }
    }

    void excelsDamageFromRealWritersIsFound_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* file : {"ids-openpyxl.xlsx", "ids-xlsxwriter.xlsx", "ids-xlwt.xls"})
            QTest::newRow(file) << QString::fromLatin1(file);
    }
    void excelsDamageFromRealWritersIsFound()
    {
        QFETCH(QString, file);
        const Result<Roster> read = readRosterRows(QStringLiteral(STATION_TEST_DATA "/roster/") + file,
                                                   {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const Roster& rows = read.value();
        const auto column = [&rows](int c) {
            return idnumber::checkColumn(int(rows.size()),
                                         [&rows, c](int row) { return rows[size_t(row)].cells[size_t(c)]; });
        };
        const idnumber::ColumnCheck ids = column(0);
        QVERIFY(ids.holdsIds);
        QList<int> damaged, wrong;
        for (const idnumber::Problem& p : ids.problems)
            (p.kind == Kind::ExcelDamaged ? damaged : wrong) << p.row;
        // The number cell, the notation kept as text, the 000 and the ".0".
        QCOMPARE(damaged, QList<int>({2, 4, 5, 6}));
        QCOMPARE(wrong, QList<int>({7}));
        QCOMPARE(ids.without, 2);  // the heading and the student without one
        QVERIFY2(ids.summary().contains(
                     QStringLiteral("名单中有 5 个身份证号有问题：第 3、5、6、7 行的身份证号可能被 Excel 改坏")),
                 qPrintable(ids.summary()));
        QVERIFY(ids.summary().contains(QStringLiteral("第 8 行的身份证号有误")));
        // Names and classes are no identity numbers.
        QVERIFY(!column(1).holdsIds && column(1).problems.empty());
        QVERIFY(!column(2).holdsIds);
    }

    void aColumnHoldsNumbersWhenMostOfItsCellsLookLikeThem()
    {
        // A few notes or a heading among them: still numbers, the notes are problems.
        const idnumber::ColumnCheck mostly = checkList(
            {"身份证号", "440304198506123455", "", "", "待补 2 号", "320106200809150025", "11010519491231002X"});
        QVERIFY(mostly.holdsIds);
        QCOMPARE(mostly.problems.size(), size_t(1));
        QCOMPARE(mostly.problems[0].row, 4);
        QCOMPARE(mostly.without, 3);
        // Student numbers, phone numbers, names: never, and nothing is reported.
        for (const QStringList& other : {QStringList{"20120001", "20120002", "440304198506123455"},
                                         QStringList{"13812345678", "13912345678"}, QStringList{"张三", "李四"}}) {
            const idnumber::ColumnCheck c = checkList(other);
            QVERIFY2(!c.holdsIds, qPrintable(other.join(',')));
            QVERIFY(c.problems.empty() && c.summary().isEmpty());
        }
        // Many rows: the summary names the first five and the count.
        QStringList many(12, QStringLiteral("1.10101E+17"));
        QVERIFY(checkList(many).summary().contains(QStringLiteral("第 1、2、3、4、5 行等 12 行")));
    }

private:
    static QString with(const QString& first17) { return first17 + idnumber::checkDigit(first17); }
};

QTEST_MAIN(IdNumberTest)
#include "tst_idnumber.moc"
