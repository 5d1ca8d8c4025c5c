// The command line, run as the operator runs it.
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

class CommandLineTest : public QObject {
    Q_OBJECT

    struct Run {
        int code;
        QByteArray out;
        QByteArray err;
    };

    // Every file under folder with a digest of its bytes.
    static QMap<QString, QByteArray> filesUnder(const QString& folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            files.insert(it.filePath(), file.open(QIODevice::ReadOnly)
                                            ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                            : QByteArray());
        }
        return files;
    }

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

    void checkIdsNamesEachBadRow()
    {
        const Run damaged = run({"--dump-roster", STATION_TEST_DATA "/roster/ids-xlwt.xls", "--check-ids"});
        QCOMPARE(damaged.code, 1);
        const QStringList lines = QString::fromUtf8(damaged.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[0].startsWith(QStringLiteral("3\t4.40304198506123E+17\t科学计数法")), qPrintable(lines[0]));
        QVERIFY(lines[4].startsWith(QStringLiteral("8\t440304198506123451\t校验位不对")));
        // A roster without identity numbers has nothing to report, and says so.
        const Run none = run({"--dump-roster", STATION_TEST_DATA "/roster/class.xlsx", "--check-ids"});
        QCOMPARE(none.code, 0);
        QVERIFY(none.out.isEmpty());
        QVERIFY(QString::fromUtf8(none.err).contains(QStringLiteral("没有一列是身份证号")));
    }

    void listPresetsPrintsOneALine()
    {
        const Run r = run({"--list-presets"});
        QCOMPARE(r.code, 0);
        const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[0], QStringLiteral("学籍\t358×441 像素，350 dpi，不超过 60 KB，背景 #A0C8F0"));
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
            QVERIFY2(help.out.contains("--dump-roster") && help.out.contains("--list-devices") &&
                         help.out.contains("--export") && help.out.contains("--fallback"),
                     option);
        }
    }

    // The report commands refuse an output that would take the place of the
    // workbook they read or of a photo, or that is not of their kind: with
    // a reason and exit status 2, and no file touched.
    void reportsNeverReplaceTheirInputs_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("output");  // in the sandbox
        QTest::newRow("list over the workbook") << "--missing"
                                                << "R.xlsx";
        QTest::newRow("list over the workbook by another path") << "--missing"
                                                                << "./photos/../R.xlsx";
        QTest::newRow("list over a hard link of the workbook") << "--missing"
                                                               << "link.xlsx";
        QTest::newRow("list of another kind") << "--missing"
                                              << "R.txt";
        QTest::newRow("list among the photos") << "--missing"
                                               << "photos/未照名单.csv";
        QTest::newRow("sheet over a photo") << "--contact-sheet"
                                            << "photos/张三.jpg";
        QTest::newRow("sheet among the photos") << "--contact-sheet"
                                                << "photos/总览.pdf";
        QTest::newRow("sheet under a picture's name") << "--contact-sheet"
                                                      << "总览.jpg";
        QTest::newRow("sheet over the workbook") << "--contact-sheet"
                                                 << "R.xlsx";
    }
    void reportsNeverReplaceTheirInputs()
    {
        QFETCH(QString, report);
        QFETCH(QString, output);
        QTemporaryDir sandbox;
        const QDir dir(sandbox.path());
        QVERIFY(dir.mkdir("photos"));
        QVERIFY(QFile::copy(STATION_TEST_DATA "/roster/class.xlsx", dir.filePath("R.xlsx")));
        QVERIFY(QFile::link(dir.filePath("R.xlsx"), dir.filePath("symlink.xlsx")));
        QCOMPARE(::link(QFile::encodeName(dir.filePath("R.xlsx")).constData(),
                        QFile::encodeName(dir.filePath("link.xlsx")).constData()),
                 0);
        QFile photo(dir.filePath("photos/张三.jpg"));
        QVERIFY(photo.open(QIODevice::WriteOnly));
        photo.write("a photo");
        photo.close();
        const auto before = filesUnder(dir.path());

        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(PHOTOSTATION_EXECUTABLE, {report, "symlink.xlsx", "--folder", "photos", "-o", output});
        QVERIFY(p.waitForFinished(60000));
        const QString reason = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(reason.contains(QFileInfo(output).fileName()), qPrintable(reason));
        QCOMPARE(filesUnder(dir.path()), before);
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
