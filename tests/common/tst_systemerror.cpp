// System error reasons read Chinese first, the system's own words after.
#include "systemerror.h"

#include <QFile>
#include <QtTest>

#include <cerrno>

class SystemErrorTest : public QObject {
    Q_OBJECT
private slots:
    void reasons_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full disk") << "No space left on device"
                                   << QStringLiteral("磁盘空间已满（No space left on device）");
        QTest::newRow("read-only disk") << "Read-only file system"
                                        << QStringLiteral("磁盘是只读的（Read-only file system）");
        QTest::newRow("unknown") << "Broken pipe to nowhere" << QStringLiteral("系统错误（Broken pipe to nowhere）");
        QTest::newRow("already Chinese") << QStringLiteral("设备未打开") << QStringLiteral("设备未打开");
        QTest::newRow("empty") << ""
                               << "";
    }
    void reasons()
    {
        QFETCH(QString, reason);
        QFETCH(QString, expected);
        QCOMPARE(systemerror::withChinese(reason), expected);
    }

    void errnoValues()
    {
        QVERIFY(systemerror::fromErrno(EACCES).startsWith(QStringLiteral("没有访问权限（")));
        QVERIFY(systemerror::fromErrno(EFBIG).startsWith(QStringLiteral("文件太大（")));
    }

    void aRealFullDiskAsQtReportsIt()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("no /dev/full here");
        QVERIFY(full.write("x", 1) < 0);
        QVERIFY(systemerror::withChinese(full.errorString()).startsWith(QStringLiteral("磁盘空间已满（")));
    }
};

QTEST_APPLESS_MAIN(SystemErrorTest)
#include "tst_systemerror.moc"
