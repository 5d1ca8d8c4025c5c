// What the operator has in hand on picture day: one key per student, the
// job kept between starts, the status line's history, and no photo lost
// without a word.
#include "jobcontroller.h"
#include "presetchooser.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "shotkeys.h"
#include "shotkeysdialog.h"
#include "stationfixture.h"
#include "statushistory.h"
#include "testfiles.h"
#include "viewfinder.h"

#include <QCheckBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class OperatorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    MainWindow& w() { return *f->window; }
    template <class T = QWidget> T* unit(const char* name) { return f->unit<T>(name); }
    QString photo(const QString& name) { return f->photoFolder() + "/" + name + ".jpg"; }
    QStringList photos() { return QDir(f->photoFolder()).entryList(QDir::Files, QDir::Name); }
    RosterListView* list() { return unit<RosterListView>("超级列表框1"); }

    void startDay()
    {
        w().roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        QTRY_VERIFY(!w().rosterState().importing());
        unit<QPushButton>("预览按钮")->click();
        f->nextPicture();
    }
    // A key pressed where the focus is, then the save it may start to its end.
    void press(QWidget* where, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        f->nextPicture();
        QTest::keyClick(where, Qt::Key(key), modifiers);
        f->waitForSave();
    }

    void restart()
    {
        f.reset();
        f = std::make_unique<StationFixture>(MainWindow::CameraStart::WithTheWindow, StationFixture::KeepSettings);
    }

private slots:
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void oneKeyPerStudentWithAutomaticSaving()
    {
        startDay();
        unit<QCheckBox>("选择框1")->click();
        // From the list and from the empty scan box alike; one row per press.
        press(list(), Qt::Key_PageDown);
        QCOMPARE(photos(), QStringList{"姓名.jpg"});
        QCOMPARE(w().rosterState().currentRow(), 1);
        press(unit<QLineEdit>("编辑框扫码"), Qt::Key_F8);
        QCOMPARE(photos(), (QStringList{"姓名.jpg", "张三.jpg"}));
        QCOMPARE(w().rosterState().currentRow(), 2);
        QTRY_COMPARE(unit<QLabel>("进度标签")->text(), QStringLiteral("已照 2 / 5"));

        // PageUp goes back one student; Ctrl+Z takes the last photo back.
        press(list(), Qt::Key_PageUp);
        QCOMPARE(w().rosterState().currentRow(), 1);
        press(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(photos(), QStringList{"姓名.jpg"});
        QCOMPARE(w().rosterState().currentRow(), 1);
    }

    void withoutAutomaticSavingASecondPressSaves()
    {
        startDay();
        press(list(), Qt::Key_PageDown);
        QVERIFY(f->photos().hasUnsavedTake());
        QVERIFY(photos().isEmpty());
        press(list(), Qt::Key_PageDown);
        QCOMPARE(photos(), QStringList{"姓名.jpg"});
        QCOMPARE(w().rosterState().currentRow(), 1);
        // A held key counts once.
        f->nextPicture();
        QTest::sendKeyEvent(QTest::KeyAction::Press, list(), Qt::Key_PageDown, QString(), Qt::NoModifier);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(list(), &repeat);
        f->waitForSave();
        QVERIFY(f->photos().hasUnsavedTake());
        QCOMPARE(photos(), QStringList{"姓名.jpg"});
    }

    void aChangedKeyIsKeptAndTypingStillTypes()
    {
        ShotKeysDialog* dialog = w().shotKeysDialog;
        unit<QPushButton>("按键按钮")->click();
        QVERIFY(dialog->isVisible());
        auto* first = dialog->findChild<QKeySequenceEdit*>("照相键1");
        QCOMPARE(first->keySequence(), QKeySequence(Qt::Key_PageDown));
        first->setKeySequence(QKeySequence(Qt::Key_Space));
        dialog->findChild<QPushButton*>("按键确定")->click();
        QVERIFY(!dialog->isVisible());

        // Kept for the next start.
        restart();
        QCOMPARE(w().shotKeys->keys().shoot.value(0), QKeySequence(Qt::Key_Space));

        // A name being typed keeps its space.
        startDay();
        unit<QCheckBox>("选择框2")->click();  // free shooting, manual naming
        QLineEdit* name = unit<QLineEdit>("编辑框1");
        name->setFocus();
        QTest::keyClicks(name, "li si");
        QCOMPARE(name->text(), QStringLiteral("li si"));
        QVERIFY(!f->photos().hasUnsavedTake());
        press(list(), Qt::Key_Space);
        QVERIFY(f->photos().hasUnsavedTake());
    }

    void theJobIsKeptFromOneStartToTheNext()
    {
        QVERIFY(w().presets->choose(QStringLiteral("学籍")));
        unit<QLineEdit>("大小上限编辑框")->setText("60");
        unit<QPushButton>("保存字幕")->click();
        unit<QCheckBox>("选择框4")->click();  // the first row holds the headings
        unit<QCheckBox>("选择框1")->click();
        w().rosterState().setDisplayNameColumn(0);
        QTRY_COMPARE(jobsettings::read().size, QSize(358, 441));

        restart();
        QCOMPARE(w().frame()->target(), QSize(358, 441));
        QCOMPARE(w().photo->session().preset().name, QStringLiteral("学籍"));
        QCOMPARE(unit<QLineEdit>("大小上限编辑框")->text(), QStringLiteral("60"));
        QVERIFY(!w().photo->captionOn());
        QVERIFY(unit<QCheckBox>("选择框1")->isChecked());
        QCOMPARE(w().rosterState().displayNameColumn(), 0);
        // The heading row kept out of the roster by the kept tick.
        w().importWorkbookAtStart(StationFixture::data("roster/class.xlsx"));
        QTRY_VERIFY(!w().rosterState().importing());
        QCOMPARE(w().rosterState().rowCount(), 4);
        QCOMPARE(w().rosterState().PhotoName(0), QStringLiteral("张三"));
    }

    void theStatusLineKeepsItsHistory()
    {
        const QString longest = QStringLiteral("照片检查未通过：未检测到人脸，请让学生正对镜头后重照，未自动保存");
        w().setStatus(QStringLiteral("当前状态: 第一条"));
        w().setStatus(longest);
        QLabel* line = unit<QLabel>("透明标签1");
        // Shortened in the middle: the end that matters stays in sight.
        QVERIFY(line->text().endsWith(QStringLiteral("未自动保存")));
        QCOMPARE(line->toolTip(), longest);
        QCOMPARE(w().status(), longest);
        QTest::mouseClick(line, Qt::LeftButton);
        auto* history = w().findChild<QListWidget*>("状态记录列表");
        QVERIFY(history->isVisible());
        QVERIFY(history->item(history->count() - 1)->text().endsWith(longest));
        QVERIFY(history->item(history->count() - 2)->text().endsWith(QStringLiteral("第一条")));
    }

    void closingWithAnUnsavedPhotoAsks()
    {
        startDay();
        press(list(), Qt::Key_PageDown);
        QVERIFY(f->photos().hasUnsavedTake());
        QVERIFY(!w().close());  // answered 否
        QCOMPARE(f->dialogs.questions.size(), 1);
        QVERIFY(f->dialogs.questions.first().contains(QStringLiteral("还没有保存")));
        f->dialogs.askAnswers.enqueue(true);
        QVERIFY(w().close());
    }

    void theFileNameShownIsTheFileSaved()
    {
        Roster rows;
        rows.push_back({{QStringLiteral("20120001"), QStringLiteral("李:四"), QStringLiteral("一班"), QString()}});
        w().rosterState().setRows(rows);
        unit<QPushButton>("超级按钮1")->click();  // the photo name from the second column
        QCOMPARE(unit<QLabel>("透明标签3")->text(), QStringLiteral("李_四.jpg"));
        QCOMPARE(unit<QLineEdit>("编辑框1")->text(), QStringLiteral("李_四.jpg"));
    }

    void theColumnBoxesNeverKeepTheFocus()
    {
        // Tabbing through leaves the letter as it was: never "错" with the focus held.
        QLineEdit* a = unit<QLineEdit>("编辑框6");
        QTest::keyClick(a, Qt::Key_Tab);
        QCOMPARE(a->text(), QStringLiteral("A"));
    }
};

QTEST_MAIN(OperatorTest)
#include "tst_operator.moc"
