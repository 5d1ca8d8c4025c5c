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

    static Run run(const QStringList& arguments, const QString& program = PHOTOSTATION_EXECUTABLE)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));  // these options need no display
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(program, arguments);
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
        for (const char* option : {"--help", "-h", "--help-all"}) {
            const Run help = run({option});
            QCOMPARE(help.code, 0);
            QVERIFY2(help.out.contains("--dump-roster") && help.out.contains("--list-devices"), option);
        }
    }

    // The program alone answers what needs no module and names the module a
    // command lacks, with its own exit status.
    void missingModuleIsNamed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("module");
        QTest::newRow("version") << QStringList{"--version"} << 0 << QString();
        QTest::newRow("bad option") << QStringList{"--no-such-option"} << 2 << QString();
        QTest::newRow("dump") << QStringList{"--dump-roster", STATION_TEST_DATA "/roster/class.xlsx"} << 3
                              << "photostation-roster";
        QTest::newRow("devices") << QStringList{"--list-devices"} << 3 << "photostation-camera";
        QTest::newRow("sheet") << QStringList{"--contact-sheet", "x.xlsx", "--folder", ".", "-o", "x.pdf"} << 3
                               << "photostation-reports";
        QTest::newRow("window") << QStringList{} << 3 << "photostation-window";
    }
    void missingModuleIsNamed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, module);
        QTemporaryDir alone;
        const QString program = alone.filePath("photostation");
        QVERIFY(QFile::copy(PHOTOSTATION_EXECUTABLE, program));
        const Run r = run(arguments, program);
        QCOMPARE(r.code, code);
        if (!module.isEmpty()) {
            QVERIFY(r.out.isEmpty());
            QVERIFY2(QString::fromUtf8(r.err).contains(module), r.err.constData());
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
