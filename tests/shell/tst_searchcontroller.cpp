// The search window opened from the main window and working on its roster list.
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "searchcontroller.h"
#include "searchwindow.h"
#include "stationfixture.h"
#include "translabel.h"

#include <QLabel>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

class SearchControllerTest : public QObject {
    Q_OBJECT
private slots:
    void buttonOpensAndHidesTheWindow()
    {
        StationFixture f;
        f.window->show();
        auto* button = f.window->findChild<QPushButton*>(QStringLiteral("超级按钮3"));
        QVERIFY(!f.window->search->searchWindow());
        QTest::mouseClick(button, Qt::LeftButton);
        SearchWindow* win = f.window->search->searchWindow();
        QVERIFY(win && win->isVisible());
        QCOMPARE(button->text(), QStringLiteral("关闭查询"));
        const QRect m = f.window->frameGeometry();
        QCOMPARE(win->frameGeometry().top(), m.top() + m.height());
        QCOMPARE(win->frameGeometry().left(), m.left() + (m.width() - win->frameGeometry().width()) / 2);

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(win->isHidden());
        QCOMPARE(button->text(), QStringLiteral("查询数据"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(win->close() == false && win->isHidden());
        QCOMPARE(button->text(), QStringLiteral("查询数据"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(f.window->search->searchWindow(), win);  // loaded once
        QVERIFY(win->isVisible());
    }

    void searchReachesTheRosterAndFileNameFields()
    {
        StationFixture f;
        RosterState& roster = f.window->rosterState();
        roster.setRows({{{"姓名", "学号", "", ""}}, {{"张三", "1001", "", ""}}, {{"李四", "1002", "", ""}}});
        f.window->show();
        QTest::mouseClick(f.window->findChild<QPushButton*>(QStringLiteral("超级按钮3")), Qt::LeftButton);
        SearchWindow* win = f.window->search->searchWindow();

        auto* condition = win->findChild<QLineEdit*>(QStringLiteral("编辑框6"));
        condition->setText(QStringLiteral("李四"));
        QTest::keyClick(condition, Qt::Key_Return);
        QCOMPARE(roster.currentRow(), 2);
        QCOMPARE(f.window->findChild<QLabel*>(QStringLiteral("透明标签3"))->text(), QStringLiteral("李四.jpg"));
        QCOMPARE(f.window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->text(), QStringLiteral("李四.jpg"));

        // A chosen result paints its roster row red.
        win->findChild<QRadioButton*>(QStringLiteral("单选框2"))->setChecked(true);
        condition->setText(QStringLiteral("张三"));
        QTest::keyClick(condition, Qt::Key_Return);
        auto* results = win->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        QCOMPARE(results->topLevelItemCount(), 1);
        const QRect row = results->visualItemRect(results->topLevelItem(0));
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(roster.currentRow(), 1);
        QCOMPARE(roster.model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    }

    // A hit is seen at once: the main window comes forward with the row
    // selected and in view. A new roster drops the red cells, the old result
    // rows and the old headings.
    void hitsShowAndANewRosterClearsTheSearch()
    {
        StationFixture f;
        RosterState& roster = f.window->rosterState();
        Roster rows;
        rows.push_back({{"姓名", "学号", "", ""}});
        for (int i = 1; i < 200; ++i)
            rows.push_back({{QStringLiteral("学生%1").arg(i), QString::number(1000 + i), "", ""}});
        roster.setRows(rows);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QTest::mouseClick(f.window->findChild<QPushButton*>(QStringLiteral("超级按钮3")), Qt::LeftButton);
        SearchWindow* win = f.window->search->searchWindow();
        auto* results = win->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        QVERIFY(!results->isVisible());  // collapsed: the condition area alone
        win->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(win));

        auto* condition = win->findChild<QLineEdit*>(QStringLiteral("编辑框6"));
        condition->setText(QStringLiteral("学生150"));
        QTest::keyClick(condition, Qt::Key_Return);
        auto* list = f.window->findChild<RosterListView*>(QStringLiteral("超级列表框1"));
        QCOMPARE(roster.currentRow(), 150);
        QTRY_VERIFY(f.window->isActiveWindow());
        QTRY_VERIFY(list->hasFocus());
        QVERIFY(list->viewport()->rect().intersects(list->visualRect(roster.model()->index(150, 0))));

        win->findChild<QRadioButton*>(QStringLiteral("单选框2"))->setChecked(true);
        QVERIFY(results->isVisible());
        QTest::mousePress(win->findChild<MouseLabel*>(QStringLiteral("透明标签3")), Qt::LeftButton);  // "包含"
        condition->setText(QStringLiteral("学生1"));
        QTest::keyClick(condition, Qt::Key_Return);
        QTRY_VERIFY(!win->searching());
        QVERIFY(results->topLevelItemCount() > 100);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                          results->visualItemRect(results->topLevelItem(0)).center());
        QCOMPARE(roster.model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));

        roster.setRows({{{"编号", "姓名", "", ""}}, {{"甲", "乙", "", ""}}});
        QCOMPARE(results->topLevelItemCount(), 0);
        QVERIFY(!roster.model()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(win->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->text(), QStringLiteral("编号"));
        QCOMPARE(win->findChild<QLineEdit*>(QStringLiteral("编辑框2"))->text(), QStringLiteral("姓名"));
    }
};

QTEST_MAIN(SearchControllerTest)
#include "tst_searchcontroller.moc"
