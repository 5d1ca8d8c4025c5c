// The command line, run as the operator runs it.
#include <QProcess>
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT

    struct Run {
        int code;
        QByteArray out;
        QByteArray err;
    };

    static Run run(const QStringList& arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));  // these options need no display
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), arguments);
        if (!p.waitForFinished(30000))
            return {-1, {}, {}};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

private slots:
    void dumpRosterPrintsTheStoredRows()
    {
        const Run r = run({"--dump-roster", STATION_TEST_DATA "/roster/class.xlsx", "--columns", "C,A"});
        QCOMPARE(r.code, 0);
        const QString out = QString::fromUtf8(r.out);
        QVERIFY(out.endsWith('\n'));
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[1], QStringLiteral("一班\t张三\t"));
    }

    void unreadableWorkbookFailsWithItsReason()
    {
        const Run r = run({"--dump-roster", STATION_TEST_DATA "/roster/broken.xlsx"});
        QVERIFY(r.code != 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("broken.xlsx")));
    }

    void listDevicesEndsWithTheTestCamera()
    {
        const Run r = run({"--list-devices"});
        QCOMPARE(r.code, 0);
        const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY(lines[i].startsWith(QString::number(i + 1) + '\t'));
        QCOMPARE(lines.last().section('\t', 1), QStringLiteral("内置测试图像"));
    }

    void versionAndHelp()
    {
        QCOMPARE(run({"--version"}).code, 0);
        const Run help = run({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("--dump-roster") && help.out.contains("--list-devices"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
