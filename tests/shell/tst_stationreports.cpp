// The reports, the scan box and several stations on one folder, driven
// through the main window's units.
#include "barcodecontroller.h"
#include "findunit.h"
#include "jpegcodec.h"
#include "photopath.h"
#include "reportcontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterread.h"
#include "rosterstate.h"
#include "stationfixture.h"
#include "testfiles.h"
#include "testroster.h"
#include "translabel.h"

#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {

void putPhoto(const QString& folder, const QString& name)
{
    QVERIFY(QDir().mkpath(folder));
    QImage picture(151, 201, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 160));
    QFile file(QDir(folder).filePath(photopath::fileName(name).path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpeg::encode(picture, 90).value());
}

// Present: S001 and a/b (its photo is a_b.jpg); missing: S002 (only another
// letter case is there) and S004.
const QList<QStringList> classRows{{QStringLiteral("S001"), QStringLiteral("张三"), QStringLiteral("一班")},
                                   {QStringLiteral("S002"), QStringLiteral("李四"), QStringLiteral("一班")},
                                   {QStringLiteral("a/b"), QStringLiteral("王五"), QStringLiteral("二班")},
                                   {QStringLiteral("S004"), QStringLiteral("赵六"), QStringLiteral("二班")}};

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
}

}  // namespace

class StationReportsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    QPushButton* button(const char* name) { return f->window->findChild<QPushButton*>(QString::fromUtf8(name)); }

    void loadClass()
    {
        putPhoto(f->photoFolder(), QStringLiteral("S001"));
        putPhoto(f->photoFolder(), QStringLiteral("a_b"));
        putPhoto(f->photoFolder(), QStringLiteral("s002"));
        f->window->rosterState().setRows(rosterOf(classRows));
    }

    // Clicks a report button and answers its save dialog; the report's outcome.
    bool runReport(const char* unit, const QString& path)
    {
        f->dialogs.saveAnswers.enqueue(path);
        QSignalSpy finished(f->window->reports, &ReportController::reportFinished);
        button(unit)->click();
        if (!finished.wait(60000))
            return false;
        return finished.constFirst().constFirst().toBool();
    }

private slots:
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void buttonsNeedARoster()
    {
        QVERIFY(!button("按钮未照名单")->isEnabled());
        QVERIFY(!button("按钮相片总览")->isEnabled());
        f->window->rosterState().setRows(rosterOf(classRows));
        QVERIFY(button("按钮未照名单")->isEnabled());
        QVERIFY(button("按钮相片总览")->isEnabled());
        f->window->rosterState().setRows({});
        QVERIFY(!button("按钮未照名单")->isEnabled());
    }

    void missingListFromTheButton()
    {
        loadClass();
        const QString csv = f->folder.filePath(QStringLiteral("missing.csv"));
        QVERIFY(runReport("按钮未照名单", csv));
        QCOMPARE(f->dialogs.saveRequests.constLast().filter, QStringLiteral("Excel 工作簿|*.xlsx|CSV 文件|*.csv"));
        QCOMPARE(readAll(csv), QByteArray("\xEF\xBB\xBF"
                                          "S002,李四,一班\r\n"
                                          "S004,赵六,二班\r\n"
                                          "共 4 人，已照 2 人，未照 2 人\r\n"));
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 未照名单已保存，未照 2 人"));
        QVERIFY(f->dialogs.texts().constLast().contains(QStringLiteral("共 4 人，已照 2 人，未照 2 人")));

        // The photo-name column chosen on the window decides: by column 2 nobody has a photo.
        f->window->rosterState().setPhotoNameColumn(1);
        const QString xlsx = f->folder.filePath(QStringLiteral("missing.xlsx"));
        QVERIFY(runReport("按钮未照名单", xlsx));
        const Result<Roster> read =
            readRosterRows(xlsx, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.value().size(), size_t(5));
        QCOMPARE(read.value()[2].cells[0], QStringLiteral("a/b"));
        QCOMPARE(read.value()[4].cells[0], QStringLiteral("共 4 人，已照 0 人，未照 4 人"));

        // A name the writers cannot take fails with the reason and writes nothing.
        const QString text = f->folder.filePath(QStringLiteral("missing.txt"));
        QVERIFY(!runReport("按钮未照名单", text));
        QVERIFY(!QFile::exists(text));
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 未照名单保存失败!"));
        QVERIFY(f->dialogs.texts().constLast().contains(QStringLiteral(".xlsx 或 .csv")));
    }

    void contactSheetFromTheButton()
    {
        loadClass();
        const QString pdf = f->folder.filePath(QStringLiteral("sheet"));
        QVERIFY(runReport("按钮相片总览", pdf));
        // The name gets its .pdf; one page per class.
        QFile file(pdf + QStringLiteral(".pdf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 相片总览已保存，共 2 页"));
        QVERIFY(button("按钮相片总览")->isEnabled());
        // Saved again: the first one is kept in "已替换", and the message says where.
        QVERIFY(runReport("按钮相片总览", pdf));
        const QStringList kept = QDir(f->folder.filePath(QStringLiteral("已替换"))).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(f->dialogs.texts().constLast().contains(kept.constFirst()),
                 qPrintable(f->dialogs.texts().constLast()));
    }

    void cancelLeavesNoFile_data()
    {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("name");
        QTest::newRow("missing list") << QByteArray("按钮未照名单") << QStringLiteral("old.xlsx");
        QTest::newRow("contact sheet") << QByteArray("按钮相片总览") << QStringLiteral("old.pdf");
    }

    void cancelLeavesNoFile()
    {
        QFETCH(QByteArray, unit);
        QFETCH(QString, name);
        // A big class, so that the sheet is still being drawn when cancelled.
        QList<QStringList> rows = classRows;
        for (int i = 0; i < 200; ++i)
            rows << QStringList{QStringLiteral("T%1").arg(i), QStringLiteral("学生%1").arg(i), QStringLiteral("三班")};
        putPhoto(f->photoFolder(), QStringLiteral("S001"));
        f->window->rosterState().setRows(rosterOf(rows));
        const QString fresh = f->folder.filePath(QStringLiteral("new-") + name);
        const QString old = f->folder.filePath(name);
        QFile previous(old);
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("an older report");
        previous.close();

        for (const QString& path : {fresh, old}) {
            f->dialogs.saveAnswers.enqueue(path);
            QSignalSpy finished(f->window->reports, &ReportController::reportFinished);
            button(unit.constData())->click();
            QVERIFY(f->window->reports->progressDialog());
            QVERIFY(!button("按钮未照名单")->isEnabled());
            // The dialog's own button.
            f->window->reports->progressDialog()->findChild<QPushButton*>()->click();
            QVERIFY(finished.wait(60000));
            QCOMPARE(finished.constFirst().constFirst().toBool(), false);
            QCOMPARE(f->window->status(), QStringLiteral("当前状态: 已取消，未保存文件"));
        }
        QVERIFY(!QFile::exists(fresh));
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("an older report"));
        QCOMPARE(leftovers(f->folder.path()), QStringList());
        QVERIFY(button("按钮未照名单")->isEnabled());
    }

    void scanLocatesARow_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("row");  // -1: no match, the current row stays
        QTest::addColumn<QString>("status");
        QTest::newRow("exact") << "S004" << 3 << "当前状态: 已定位到第 4 行";
        QTest::newRow("scanner blanks") << " S004 " << 3 << "当前状态: 已定位到第 4 行";
        QTest::newRow("duplicate number") << "S001" << 0 << "当前状态: 有 2 行相符，已定位到第 1 行";
        QTest::newRow("photo-name column first") << "王五" << 5 << "当前状态: 已定位到第 6 行";
        QTest::newRow("other column") << "赵六" << 3 << "当前状态: 已定位到第 4 行";
        QTest::newRow("absent") << "S999" << -1 << "当前状态: 未找到“S999”";
        QTest::newRow("part of a number") << "S00" << -1 << "当前状态: 未找到“S00”";
    }

    void scanLocatesARow()
    {
        QFETCH(QString, code);
        QFETCH(int, row);
        QFETCH(QString, status);
        QList<QStringList> rows = classRows;
        rows << QStringList{QStringLiteral("S001"), QStringLiteral("钱七"), QStringLiteral("三班")}
             << QStringList{QStringLiteral("王五"), QStringLiteral("孙八"), QStringLiteral("三班")};
        RosterState& state = f->window->rosterState();
        state.setRows(rosterOf(rows));
        state.setCurrentRow(2);
        auto* box = f->window->findChild<QLineEdit*>(QStringLiteral("编辑框扫码"));
        box->setText(code);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(state.currentRow(), row < 0 ? 2 : row);
        auto* list = findUnit<RosterListView>(f->window.get(), "超级列表框1");
        QCOMPARE(list->currentIndex().row(), row < 0 ? 2 : row);
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), row < 0 ? 2 : row);
        QCOMPARE(box->text(), QString());
        QCOMPARE(f->window->status(), status);
        QCOMPARE(findUnit<TransLabel>(f->window.get(), "透明标签1")->textColour(),
                 row < 0 ? QColor(Qt::red) : QColor(Qt::black));
    }

    void scanBoxKeepsTheFocusWhileShooting()
    {
        f->window->rosterState().setRows(rosterOf(classRows));
        f->window->show();
        QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
        auto* box = f->window->findChild<QLineEdit*>(QStringLiteral("编辑框扫码"));
        QPushButton* save = findUnit<QPushButton>(f->window.get(), "保存按钮");
        // Pressed without a take: refused, and the save moves nothing on.
        save->setEnabled(true);
        box->setFocus();
        QTest::mouseClick(save, Qt::LeftButton);
        QTRY_VERIFY(box->hasFocus());
        QVERIFY(!f->dialogs.messages.isEmpty());

        // The operator clicks the roster list: the focus stays where it was put.
        QWidget* list = findUnit<RosterListView>(f->window.get(), "超级列表框1")->viewport();
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, 10));
        QTRY_VERIFY(!box->hasFocus());
        save->setEnabled(true);
        QTest::mouseClick(save, Qt::LeftButton);
        StationFixture::runQueued();
        QVERIFY(!box->hasFocus());
    }

    void marksFollowAnotherStation()
    {
        // Two stations on one shared folder, with the same class.
        const QString folder = f->photoFolder();
        putPhoto(folder, QStringLiteral("S001"));
        MainWindow first;
        MainWindow other;
        QCOMPARE(other.appState().photoFolder(), first.appState().photoFolder());
        for (MainWindow* station : {&first, &other}) {
            station->rosterState().setRows(rosterOf(classRows));
            QSignalSpy checked(&station->rosterState(), &RosterState::photosChecked);
            station->rosterState().startPhotoCheck(folder);
            QVERIFY(checked.wait(10000));
        }
        auto mark = [](MainWindow& station, int row) {
            return station.rosterState().cell(row, RosterModel::photographedColumn);
        };
        const QString done = QStringLiteral("已照");
        QCOMPARE(mark(other, 0), done);

        // The other station saves S004: both lists mark it within two seconds.
        putPhoto(folder, QStringLiteral("S004"));
        QTRY_COMPARE_WITH_TIMEOUT(mark(first, 3), done, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(mark(other, 3), done, 2000);
        // Removed, and moved into the replaced copies' subfolder: no longer photographed.
        QVERIFY(QFile::remove(QDir(folder).filePath(QStringLiteral("S004.jpg"))));
        QVERIFY(QDir(folder).mkdir(QStringLiteral("已替换")));
        QVERIFY(QFile::rename(QDir(folder).filePath(QStringLiteral("S001.jpg")),
                              QDir(folder).filePath(QStringLiteral("已替换/S001.jpg"))));
        QTRY_COMPARE_WITH_TIMEOUT(mark(other, 3), QString(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(mark(other, 0), QString(), 2000);
        QCOMPARE(mark(other, 1), QString());
        // Another folder chosen, one that no station has made yet: the watch
        // follows it, and its periodic re-check finds the folder once made.
        const QString second = f->folder.filePath(QStringLiteral("second"));
        QSignalSpy checked(&other.rosterState(), &RosterState::photosChecked);
        other.appState().setPhotoFolder(second);
        QVERIFY(checked.wait(10000));
        putPhoto(second, QStringLiteral("S002"));
        QTRY_COMPARE_WITH_TIMEOUT(mark(other, 1), done, 2000);
        QCOMPARE(mark(first, 1), QString());
    }
};

QTEST_MAIN(StationReportsTest)
#include "tst_stationreports.moc"
