#include "dialogs.h"
#include "texttoint.h"

#include <QtTest>

class TextTest : public QObject {
    Q_OBJECT
private slots:
    void toInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "151" << 151;
        QTest::newRow("full-width digits") << QStringLiteral("１５１") << 151;
        QTest::newRow("full-width sign") << QStringLiteral("－１２") << -12;
        QTest::newRow("leading number only") << "12abc" << 12;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("sign alone") << "-" << 0;
        QTest::newRow("leading blank") << " 7" << 7;
        QTest::newRow("saturates") << "99999999999" << 2147483647;
    }
    void toInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(text::toInt(text), value);
    }
    void toByteKeepsLowBits()
    {
        QCOMPARE(int(text::toByte("300")), 44);
        QCOMPARE(int(text::toByte("8")), 8);
    }
    void storedFilterBecomesQtFilter()
    {
        QCOMPARE(qtFileFilter(QStringLiteral("AVI文件|*.avi")), QStringLiteral("AVI文件 (*.avi)"));
        QCOMPARE(qtFileFilter("A|*.x|B|*.y"), QString("A (*.x);;B (*.y)"));
    }
};

QTEST_GUILESS_MAIN(TextTest)
#include "tst_text.moc"
