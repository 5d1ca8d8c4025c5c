// Qt's own dialogs speak Chinese, like the rest of the program.
#include "translations.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

class TranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(translations::installChinese(*qApp).ok(), "Qt's Chinese translation is missing"); }

    void dialogButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("cancel") << int(QDialogButtonBox::Cancel) << QStringLiteral("取消");
        QTest::newRow("ok") << int(QDialogButtonBox::Ok) << QStringLiteral("确定");
        QTest::newRow("open") << int(QDialogButtonBox::Open) << QStringLiteral("打开");
        QTest::newRow("yes") << int(QDialogButtonBox::Yes) << QStringLiteral("是");
    }
    void dialogButtons()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        QDialogButtonBox box{QDialogButtonBox::StandardButton(button)};
        // Without the mnemonic ("取消(&C)" reads 取消).
        QString shown = box.button(QDialogButtonBox::StandardButton(button))->text();
        shown.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
        QCOMPARE(shown, text);
    }
};

QTEST_MAIN(TranslationsTest)
#include "tst_translations.moc"
