// Names that are not regular files (a FIFO, a link to a device, a folder) are
// refused at once, by the reader and by the command line alike: a read would
// block on them or never end.
#include "rosterread.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class TestRosterFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString fifo() const { return dir_.filePath(QStringLiteral("x.xlsx")); }
    QString deviceLink() const { return dir_.filePath(QStringLiteral("zero.xlsx")); }
    QString folder() const { return dir_.filePath(QStringLiteral("folder.xls")); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QCOMPARE(::mkfifo(QFile::encodeName(fifo()).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), deviceLink()));
        QVERIFY(QDir().mkdir(folder()));
    }

    void refusedByTheReader_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("fifo") << fifo();
        QTest::newRow("link to /dev/zero") << deviceLink();
        QTest::newRow("folder") << folder();
    }

    void refusedByTheReader()
    {
        QFETCH(QString, path);
        // Read on a detached worker: a reader that blocks must fail the test, not hang it.
        struct Outcome {
            std::mutex lock;
            std::optional<Result<Roster>> result;
        };
        const auto outcome = std::make_shared<Outcome>();
        std::thread([outcome, path] {
            Result<Roster> r = readRosterRows(path, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
            const std::lock_guard<std::mutex> hold(outcome->lock);
            outcome->result.emplace(std::move(r));
        }).detach();
        const auto finished = [&outcome] {
            const std::lock_guard<std::mutex> hold(outcome->lock);
            return outcome->result.has_value();
        };
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 1000);
        const Result<Roster> r = *outcome->result;
        QVERIFY(!r.ok());
        QCOMPARE(r.error(), QStringLiteral("“%1”不是普通文件").arg(QDir::toNativeSeparators(path)));
    }

    void refusedByTheCommandLine_data() { refusedByTheReader_data(); }

    void refusedByTheCommandLine()
    {
        QFETCH(QString, path);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), {QStringLiteral("--dump-roster"), path});
        const bool finished = p.waitForFinished(10000);
        if (!finished)
            p.kill();
        QVERIFY2(finished, "the dump did not end");
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("“%1”不是普通文件").arg(path)), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestRosterFiles)
#include "tst_rosterfiles.moc"
