// The search window opened from the main window and working on its roster list.
#include "rosterlistview.h"
#include "rostermodel.h"
#include "searchcontroller.h"
#include "searchwindow.h"
#include "stationfixture.h"

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
        QPushButton* button = f.ui()->超级按钮3;
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
        RosterListView* list = f.ui()->超级列表框1;
        list->roster()->setRoster({{{"姓名", "学号", "", ""}}, {{"张三", "1001", "", ""}}, {{"李四", "1002", "", ""}}});
        f.window->show();
        QTest::mouseClick(f.ui()->超级按钮3, Qt::LeftButton);
        SearchWindow* win = f.window->search->searchWindow();

        auto* condition = win->findChild<QLineEdit*>(QStringLiteral("编辑框6"));
        condition->setText(QStringLiteral("李四"));
        QTest::keyClick(condition, Qt::Key_Return);
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(f.ui()->透明标签3->text(), QStringLiteral("李四.jpg"));
        QCOMPARE(f.ui()->编辑框1->text(), QStringLiteral("李四.jpg"));

        // A chosen result paints its roster row red.
        win->findChild<QRadioButton*>(QStringLiteral("单选框2"))->setChecked(true);
        condition->setText(QStringLiteral("张三"));
        QTest::keyClick(condition, Qt::Key_Return);
        auto* results = win->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        QCOMPARE(results->topLevelItemCount(), 1);
        const QRect row = results->visualItemRect(results->topLevelItem(0));
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(list->roster()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    }
};

QTEST_MAIN(SearchControllerTest)
#include "tst_searchcontroller.moc"
