// The one way files reach the disk: whole or not at all, never over a file
// nobody compared, never lost when two writers race for one name.
#include "safewrite.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace safewrite;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs `work(i)` on n threads released together.
template <class F> void race(int n, F work)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < n)
                std::this_thread::yield();
            work(i);
        });
    for (std::thread& t : threads)
        t.join();
}

}  // namespace

class SafeWriteTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString folder;
    QString keep;
    QString target;

    WriteTarget to(Existing existing, std::optional<FileIdentity> expected = std::nullopt)
    {
        WriteTarget t;
        t.path = target;
        t.existing = existing;
        t.expected = expected;
        t.keepFolder = keep;
        t.when = QDateTime(QDate(2026, 9, 1), QTime(8, 30, 0));
        t.what = QStringLiteral("照片");
        return t;
    }

private slots:
    void init()
    {
        folder = dir.path() + "/" + QString::number(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(folder));
        keep = folder + "/已替换";
        target = folder + "/张三.jpg";
    }

    void aFileAppearsWholeAndNeverOverAnUncomparedOne()
    {
        const Result<Published> first = writeFile(to(Existing::Refuse), "first");
        QVERIFY2(first.ok(), qPrintable(first.error()));
        QVERIFY(first->written());
        QCOMPARE(readAll(target), QByteArray("first"));
        QCOMPARE(identityOf(target), first->identity);
        QCOMPARE(entries(folder), QStringList{"张三.jpg"});  // no temporary left

        // Refused, or compared with another version: the file stays as it is.
        const Result<Published> refused = writeFile(to(Existing::Refuse), "second");
        QCOMPARE(int(refused->outcome), int(Published::Outcome::Exists));
        QCOMPARE(refused->identity, first->identity);
        FileIdentity other = first->identity;
        other.mtimeNs += 1;
        const Result<Published> stale = writeFile(to(Existing::ReplaceIfUnchanged, other), "second");
        QCOMPARE(int(stale->outcome), int(Published::Outcome::Changed));
        QCOMPARE(readAll(target), QByteArray("first"));
        QCOMPARE(entries(folder), QStringList{"张三.jpg"});
        QVERIFY(!QFileInfo::exists(keep));

        // The compared version is replaced and kept first.
        const Result<Published> replaced = writeFile(to(Existing::ReplaceIfUnchanged, first->identity), "third");
        QVERIFY(replaced->written());
        QCOMPARE(readAll(target), QByteArray("third"));
        QCOMPARE(replaced->keptCopy, keep + "/张三-20260901-083000.jpg");
        QCOMPARE(readAll(replaced->keptCopy), QByteArray("first"));
        // A second replacement in the same second gets a name of its own.
        const Result<Published> again = writeFile(to(Existing::Replace), "fourth");
        QCOMPARE(again->keptCopy, keep + "/张三-20260901-083000-2.jpg");
        QCOMPARE(readAll(again->keptCopy), QByteArray("third"));
    }

    void racingWritersNeverOverwriteEachOther()
    {
        // Eight stations save the same new name at once: one wins, the
        // others are told the file exists.
        constexpr int n = 8;
        std::vector<std::optional<Published>> results(n);
        race(n, [&](int i) {
            Result<Published> r = writeFile(to(Existing::Refuse), QByteArray::number(i));
            if (r)
                results[size_t(i)] = r.value();
        });
        int winner = -1;
        for (int i = 0; i < n; ++i) {
            QVERIFY(results[size_t(i)].has_value());
            if (results[size_t(i)]->written()) {
                QCOMPARE(winner, -1);
                winner = i;
            } else {
                QCOMPARE(int(results[size_t(i)]->outcome), int(Published::Outcome::Exists));
            }
        }
        QVERIFY(winner >= 0);
        QCOMPARE(readAll(target), QByteArray::number(winner));

        // All compared the same version and replace it: one replaces it, the
        // others see that it changed; the old version is kept exactly once.
        const FileIdentity compared = *identityOf(target);
        race(n, [&](int i) {
            Result<Published> r = writeFile(to(Existing::ReplaceIfUnchanged, compared), "new" + QByteArray::number(i));
            results[size_t(i)] = r ? std::optional<Published>(r.value()) : std::nullopt;
        });
        int written = 0;
        for (const auto& r : results) {
            QVERIFY(r.has_value());
            written += r->written() ? 1 : 0;
            QVERIFY(r->written() || r->outcome == Published::Outcome::Changed);
        }
        QCOMPARE(written, 1);
        QCOMPARE(entries(keep).size(), 1);
        QCOMPARE(readAll(keep + "/" + entries(keep).constFirst()), QByteArray::number(winner));
        QCOMPARE(entries(folder), QStringList{"张三.jpg"});
    }

    void aFailedWriteNamesTheTargetAndChangesNothing()
    {
        QVERIFY(writeFile(to(Existing::Refuse), "old").ok());
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Result<Published> full = writeFile(to(Existing::Replace), QByteArray(5000, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!full.ok());
        QVERIFY2(full.error().contains(QDir::toNativeSeparators(target)) && !full.error().contains(".tmp") &&
                     full.error().contains("文件太大"),
                 qPrintable(full.error()));
        QCOMPARE(readAll(target), QByteArray("old"));
        QCOMPARE(entries(folder), QStringList{"张三.jpg"});

        WriteTarget nowhere;
        nowhere.path = folder + "/nowhere/x.jpg";
        const Result<Published> noFolder = writeFile(nowhere, "x");
        QVERIFY(!noFolder.ok() && noFolder.error().contains("nowhere"));
    }

    void anUndoBringsBackWhatWasReplacedOnlyWhileTheFileIsUnchanged()
    {
        QVERIFY(writeFile(to(Existing::Refuse), "old").ok());
        const Result<Published> replaced = writeFile(to(Existing::Replace), "new");
        QVERIFY(replaced->written());
        const QDateTime later = QDateTime(QDate(2026, 9, 1), QTime(9, 0, 0));

        const Result<QString> undone = undoWrite(target, replaced->identity, replaced->keptCopy, keep, later, "照片");
        QVERIFY2(undone.ok(), qPrintable(undone.error()));
        QCOMPARE(readAll(target), QByteArray("old"));
        QCOMPARE(readAll(undone.value()), QByteArray("new"));  // set aside, not deleted
        QVERIFY(!QFileInfo::exists(replaced->keptCopy));  // it is back in its place
        QCOMPARE(entries(folder), QStringList{"张三.jpg"});

        // Once changed (here: by the undo itself), a write cannot be undone.
        const Result<QString> twice = undoWrite(target, replaced->identity, QString(), keep, later, "照片");
        QVERIFY(!twice.ok() && twice.error().contains("不能撤销"));
        QCOMPARE(readAll(target), QByteArray("old"));

        // A first photo undone leaves the name free; the photo is kept aside.
        QFile::remove(target);
        const Result<Published> first = writeFile(to(Existing::Refuse), "first");
        const Result<QString> freed = undoWrite(target, first->identity, QString(), keep, later, "照片");
        QVERIFY(freed.ok());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(readAll(freed.value()), QByteArray("first"));
    }

    void temporariesOfKilledWritersAreRemoved()
    {
        // A writer of this computer that is gone, one that still runs (this
        // test), and an old one of unknown origin.
        const Result<StagedWrite> running = StagedWrite::create(target, "照片");
        QVERIFY(running.ok());
        QString deadName = QFileInfo(running->temporaryPath()).fileName();
        deadName.replace(QStringLiteral("-%1-").arg(QCoreApplication::applicationPid()),
                         QStringLiteral("-%1-").arg(999999));
        writeAll(folder + "/" + deadName, "half");
        writeAll(folder + "/.李四.jpg.abc.tmp", "half");
        QFile old(folder + "/.李四.jpg.abc.tmp");
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
        old.close();
        writeAll(folder + "/.王五.jpg.abc.tmp", "recent, of another computer");

        QCOMPARE(removeStaleTemporaries(folder), 2);
        QVERIFY(QFileInfo::exists(running->temporaryPath()));
        QVERIFY(QFileInfo::exists(folder + "/.王五.jpg.abc.tmp"));
    }
};

QTEST_GUILESS_MAIN(SafeWriteTest)
#include "tst_safewrite.moc"
