#include "cellcolours.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "searchwindow.h"
#include "spinedit.h"
#include "translabel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

// Row 0 holds the headings; the people follow.
Roster testRoster()
{
    const QStringList rows[] = {
        {"姓名", "学号", "班级", "照片"},
        {"张三", "1001", "一班", ""},
        {"李四", "1002", "二班", ""},
        {"张三丰", "1003", "一班", ""},
        {"张三", "1004", "二班", "已照"},
        {"Li", "1005", "二班", ""},
        {"li ", "1006", "一班", ""},
    };
    Roster r;
    for (const QStringList& row : rows)
        r.push_back({{row[0], row[1], row[2], row[3]}});
    return r;
}

// Typing through key events, as the keyboard would (Chinese text included).
void type(QWidget* w, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, ch.isDigit() ? Qt::Key_0 + ch.digitValue() : 0, Qt::NoModifier,
                        QString(ch));
        QApplication::sendEvent(w, &press);
    }
}

void enter(QWidget* w)
{
    QTest::keyClick(w, Qt::Key_Return);
}

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        list = std::make_unique<RosterListView>();
        list->roster()->setRoster(testRoster());
        colours = std::make_unique<CellColours>(list.get());
        fileName.clear();
        SearchHooks hooks;
        hooks.photoName = [this](int r) { return list->roster()->cell(r, 1); };
        hooks.showFileName = [this](const QString& t) { fileName = t; };
        win = std::make_unique<SearchWindow>(list.get(), colours.get(), hooks);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
    }
    void cleanup()
    {
        win.reset();
        colours.reset();
        list.reset();
    }

    void unitsInPlace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::newRow("透明标签1") << "透明标签1" << QRect(14, 8, 216, 24);
        QTest::newRow("编辑框1") << "编辑框1" << QRect(124, 8, 82, 24);
        QTest::newRow("选择框2") << "选择框2" << QRect(263, 8, 176, 24);
        QTest::newRow("编辑框2") << "编辑框2" << QRect(338, 8, 82, 24);
        QTest::newRow("编辑框6") << "编辑框6" << QRect(14, 36, 192, 24);
        QTest::newRow("编辑框8") << "编辑框8" << QRect(206, 36, 24, 24);
        QTest::newRow("编辑框7") << "编辑框7" << QRect(262, 36, 157, 24);
        QTest::newRow("编辑框9") << "编辑框9" << QRect(419, 36, 24, 24);
        QTest::newRow("透明标签3") << "透明标签3" << QRect(43, 65, 56, 24);
        QTest::newRow("分组框1") << "分组框1" << QRect(115, 61, 224, 32);
        QTest::newRow("单选框1") << "单选框1" << QRect(8, 12, 96, 16);
        QTest::newRow("单选框2") << "单选框2" << QRect(120, 12, 96, 16);
        QTest::newRow("透明标签4") << "透明标签4" << QRect(355, 65, 56, 24);
        QTest::newRow("透明标签2") << "透明标签2" << QRect(14, 96, 370, 24);
        QTest::newRow("超级按钮1") << "超级按钮1" << QRect(395, 96, 50, 24);
        QTest::newRow("透明标签15") << "透明标签15" << QRect(461, 113, 13, 13);
        QTest::newRow("超级列表框1") << "超级列表框1" << QRect(14, 128, 446, 120);
        QTest::newRow("透明标签5") << "透明标签5" << QRect(461, 248, 13, 13);
    }
    void unitsInPlace()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QWidget* unit = win->findChild<QWidget*>(name);
        QVERIFY(unit);
        QCOMPARE(unit->geometry(), place);
    }

    void startsAsTheFormSays()
    {
        QCOMPARE(win->windowTitle(), QStringLiteral("查询数据"));
        QCOMPARE(win->size(), QSize(481, 155));
        QCOMPARE(label("透明标签1")->text(), QStringLiteral("   查询条件1(必需)               列"));
        QCOMPARE(box("编辑框1")->text(), QStringLiteral("姓名"));
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("学号"));
        QCOMPARE(box("编辑框8")->text(), "1");
        QCOMPARE(box("编辑框9")->text(), "2");
        for (const char* off : {"选择框2", "编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(!unit(off)->isEnabled(), off);
        QVERIFY(!check()->isChecked());
        QVERIFY(win->findChild<QRadioButton*>("单选框1")->isChecked());
        QCOMPARE(label("透明标签3")->text(), QStringLiteral("等同"));
        QCOMPARE(label("透明标签3")->textColour(), QColor(255, 0, 0));
        QCOMPARE(label("透明标签15")->text(), QStringLiteral("▽"));
        QCOMPARE(win->findChild<QPushButton*>("超级按钮1")->text(), QStringLiteral("查 询"));

        QTreeWidget* r = results();
        const QStringList heads{"原行", "", "列1", "列2", "列3", "列4"};
        const int widths[] = {50, 50, 70, 70, 70, 70};
        QCOMPARE(r->columnCount(), 6);
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(r->headerItem()->text(c), heads[c]);
            QCOMPARE(r->columnWidth(c), widths[c]);
        }
    }

    void singleSearchFirstMatchWins()
    {
        list->setCurrentRow(5);
        type(box("编辑框6"), QStringLiteral("张三"));
        enter(box("编辑框6"));
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(fileName, QStringLiteral("1001.jpg"));
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("第 1  已找到: 等同“张三”"));
        QCOMPARE(label("透明标签2")->textColour(), QColor(0x00, 0x80, 0x00));
        QVERIFY(box("编辑框6")->text().isEmpty());
        QVERIFY(!check()->isEnabled());

        // Every search starts from the first row: the same person again.
        type(box("编辑框6"), QStringLiteral("张三"));
        enter(box("编辑框6"));
        QCOMPARE(list->currentRow(), 1);
    }

    void matchModes_data()
    {
        QTest::addColumn<bool>("contains");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::newRow("equal, prefix only") << false << QStringLiteral("张") << -1;
        QTest::newRow("contains, prefix") << true << QStringLiteral("张") << 1;
        QTest::newRow("contains, end") << true << QStringLiteral("三丰") << 3;
        QTest::newRow("equal, other case") << false << "LI" << -1;
        QTest::newRow("contains, other case") << true << "LI" << -1;
        QTest::newRow("equal, exact case") << false << "Li" << 5;
        QTest::newRow("equal, trailing space kept") << false << "li " << 6;
        QTest::newRow("equal, without the space") << false << "li" << -1;
    }
    void matchModes()
    {
        QFETCH(bool, contains);
        QFETCH(QString, text);
        QFETCH(int, row);
        if (contains) {
            QTest::mousePress(label("透明标签3"), Qt::LeftButton);
            QCOMPARE(label("透明标签3")->text(), QStringLiteral("包含"));
            QCOMPARE(label("透明标签3")->textColour(), QColor(0, 0, 255));
        }
        list->setCurrentRow(0);
        type(box("编辑框6"), text);
        enter(box("编辑框6"));
        if (row < 0) {
            QCOMPARE(label("透明标签2")->text(), QStringLiteral("第 1 列 未找到: “") + text + QStringLiteral("”"));
            QCOMPARE(label("透明标签2")->textColour(), QColor(255, 0, 0));
            QCOMPARE(list->currentRow(), 0);
        } else {
            QCOMPARE(list->currentRow(), row);
        }
    }

    void columnNumbersClampToFour()
    {
        SpinEdit* c1 = win->findChild<SpinEdit*>("编辑框8");
        c1->clear();
        type(c1, "7");
        QCOMPARE(c1->text(), "4");
        QCOMPARE(box("编辑框1")->text(), QStringLiteral("照片"));
        c1->stepBy(1);
        QCOMPARE(c1->text(), "4");
        QTest::keyClick(c1, Qt::Key_Down);
        QCOMPARE(c1->text(), "3");
        QCOMPARE(box("编辑框1")->text(), QStringLiteral("班级"));

        SpinEdit* c2 = win->findChild<SpinEdit*>("编辑框9");
        c2->setText("12");
        QCOMPARE(c2->text(), "4");
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("照片"));
        c2->setText("1");  // no heading for 1
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("照片"));
        c2->stepBy(-5);
        QCOMPARE(c2->text(), "2");
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("学号"));
    }

    void equalColumnsDisableConditionTwo()
    {
        type(box("编辑框6"), QStringLiteral("张"));
        QVERIFY(check()->isEnabled());
        QVERIFY(!box("编辑框7")->isEnabled());
        QTest::mouseClick(check(), Qt::LeftButton);
        QVERIFY(check()->isChecked());
        for (const char* on : {"编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(unit(on)->isEnabled(), on);

        box("编辑框9")->setText("1");
        for (const char* off : {"选择框2", "编辑框2", "编辑框7"})
            QVERIFY2(!unit(off)->isEnabled(), off);
        QVERIFY(box("编辑框9")->isEnabled());
        box("编辑框9")->setText("3");
        for (const char* on : {"选择框2", "编辑框2", "编辑框7"})
            QVERIFY2(unit(on)->isEnabled(), on);

        // Unchecked: going back to different numbers enables nothing.
        QTest::mouseClick(check(), Qt::LeftButton);
        QVERIFY(!box("编辑框7")->isEnabled());
        QVERIFY(!box("编辑框9")->isEnabled());
        box("编辑框8")->setText("3");
        QVERIFY(!check()->isEnabled());
        box("编辑框8")->setText("1");
        QVERIFY(!check()->isEnabled());
        QVERIFY(!box("编辑框7")->isEnabled());
    }

    void multiSearchListsEveryMatch()
    {
        list->setCurrentRow(1);
        QRadioButton* multi = win->findChild<QRadioButton*>("单选框2");
        QTest::mouseClick(multi, Qt::LeftButton);
        QVERIFY(win->expanded());
        QCOMPARE(win->height(), 155 + 120 + 13);
        QCOMPARE(label("透明标签15")->text(), QStringLiteral("△"));

        box("编辑框8")->setText("3");
        const int before = results()->columnWidth(0);
        type(box("编辑框6"), QStringLiteral("二班"));
        enter(box("编辑框6"));

        QTreeWidget* r = results();
        QCOMPARE(r->topLevelItemCount(), 3);
        const QStringList numbers{"3", "5", "6"};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(r->topLevelItem(i)->text(0), numbers[i]);
        QCOMPARE(r->topLevelItem(1)->text(1), QString());
        QCOMPARE(r->topLevelItem(1)->text(2), QStringLiteral("张三"));
        QCOMPARE(r->topLevelItem(1)->text(3), "1004");
        QCOMPARE(r->topLevelItem(1)->text(5), QStringLiteral("已照"));
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("已找到:  第 3 列 等同“二班”  共：3  项"));
        QCOMPARE(label("透明标签2")->textColour(), QColor(0x00, 0x80, 0x00));
        QCOMPARE(r->columnWidth(0), before + 10);
        QCOMPARE(list->currentRow(), 1);  // the roster's selection is left alone
        QVERIFY(box("编辑框6")->text().isEmpty());

        // No match: the red message, and column 0 keeps its width.
        type(box("编辑框6"), QStringLiteral("三班"));
        enter(box("编辑框6"));
        QCOMPARE(r->topLevelItemCount(), 0);
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("第 3 列 未找到: “三班”"));
        QCOMPARE(r->columnWidth(0), before + 10);
    }

    void chosenResultRowIsPaintedRed()
    {
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        type(box("编辑框6"), QStringLiteral("张三"));
        enter(box("编辑框6"));
        QCOMPARE(results()->topLevelItemCount(), 2);

        clickResult(1);
        QCOMPARE(list->currentRow(), 4);
        QCOMPARE(fileName, QStringLiteral("1004.jpg"));
        QCOMPARE(colours->records().size(), size_t(4));
        for (int k = 0; k < 4; ++k) {
            const QModelIndex i = list->roster()->index(4, k);
            QCOMPARE(i.data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
            QCOMPARE(i.data(Qt::BackgroundRole).value<QColor>(), colours->listBackgroundColour());
        }

        clickResult(0);
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(colours->records().size(), size_t(4));
        QVERIFY(!list->roster()->index(4, 0).data(Qt::ForegroundRole).isValid());
        QVERIFY(list->roster()->index(1, 3).data(Qt::ForegroundRole).isValid());

        // A click below the last row selects nothing and changes nothing.
        results()->clearSelection();
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, QPoint(5, results()->viewport()->height() - 3));
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(colours->records().size(), size_t(4));
    }

    void anyKeyInAConditionBoxClearsResults_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<int>("key");
        QTest::newRow("letter in condition 1") << "编辑框6" << int(Qt::Key_A);
        QTest::newRow("arrow in condition 1") << "编辑框6" << int(Qt::Key_Left);
        QTest::newRow("letter in condition 2") << "编辑框7" << int(Qt::Key_A);
    }
    void anyKeyInAConditionBoxClearsResults()
    {
        QFETCH(QString, boxName);
        QFETCH(int, key);
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        type(box("编辑框6"), QStringLiteral("张三"));
        enter(box("编辑框6"));
        clickResult(0);
        QVERIFY(!colours->records().empty());

        QSignalSpy repaint(list->roster(), &QAbstractItemModel::dataChanged);
        QTest::keyClick(box(boxName), Qt::Key(key));
        QCOMPARE(results()->topLevelItemCount(), 0);
        QVERIFY(colours->records().empty());
        QVERIFY(!list->roster()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(repaint.size(), 1);
    }

    void bothConditions()
    {
        type(box("编辑框6"), QStringLiteral("张三"));
        QTest::mouseClick(check(), Qt::LeftButton);
        box("编辑框9")->setText("3");
        enter(box("编辑框6"));
        QVERIFY(label("透明标签2")->text().isEmpty());  // Enter only moves on to condition 2
        QCOMPARE(win->focusWidget(), unit("编辑框7"));

        type(box("编辑框7"), QStringLiteral("二班"));
        enter(box("编辑框7"));
        QCOMPARE(list->currentRow(), 4);
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("已找到:  第 1 列 等同“张三” | 第 3 列 等同“二班” 项"));
        QVERIFY(box("编辑框6")->text().isEmpty());
        QVERIFY(box("编辑框7")->text().isEmpty());
        QVERIFY(check()->isChecked());
        for (const char* off : {"选择框2", "编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(!unit(off)->isEnabled(), off);

        // Condition 2 left blank: condition 1 alone, with its own not-found text.
        type(box("编辑框6"), QStringLiteral("王"));
        QVERIFY(box("编辑框7")->isEnabled());
        box("编辑框7")->setText(QStringLiteral("　"));
        enter(box("编辑框7"));
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("第 1 列  未找到: “王”"));
        QVERIFY(box("编辑框6")->text().isEmpty());
        QCOMPARE(box("编辑框7")->text(), QStringLiteral("　"));

        // The button runs the two-condition search.
        type(box("编辑框6"), QStringLiteral("张三"));
        box("编辑框7")->setText(QStringLiteral("三班"));
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("未找到:  第 1 列 等同“张三” | 第 3 列 等同“三班” 项"));
    }

    void blankConditionsStartNothing()
    {
        type(box("编辑框6"), QStringLiteral(" 　 "));
        enter(box("编辑框6"));
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QVERIFY(label("透明标签2")->text().isEmpty());
        QCOMPARE(box("编辑框6")->text(), QStringLiteral(" 　 "));

        // Condition 2 filled while condition 1 went blank: still nothing.
        type(box("编辑框6"), QStringLiteral("张"));
        QTest::mouseClick(check(), Qt::LeftButton);
        type(box("编辑框7"), QStringLiteral("一班"));
        box("编辑框6")->setText(" ");
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QVERIFY(label("透明标签2")->text().isEmpty());
    }

    void queryButtonSearchesConditionOne()
    {
        type(box("编辑框6"), QStringLiteral("李四"));
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(fileName, QStringLiteral("1002.jpg"));
    }

    void emptyRosterReportsNotFound()
    {
        list->roster()->clear();
        type(box("编辑框6"), QStringLiteral("张三"));
        enter(box("编辑框6"));
        QCOMPARE(label("透明标签2")->text(), QStringLiteral("第 1 列 未找到: “张三”"));
        QCOMPARE(list->currentRow(), -1);
    }

    void expandAndCollapse()
    {
        QTest::mousePress(label("透明标签15"), Qt::LeftButton);
        QCOMPARE(win->height(), 288);
        QTest::mousePress(label("透明标签15"), Qt::LeftButton);
        QCOMPARE(win->height(), 155);
        QCOMPARE(label("透明标签15")->text(), QStringLiteral("▽"));
        QTest::mousePress(label("透明标签5"), Qt::LeftButton);  // only collapses
        QCOMPARE(win->height(), 155);
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        QCOMPARE(win->height(), 288);
        QTest::mousePress(label("透明标签15"), Qt::LeftButton);
        QCOMPARE(win->height(), 155);
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框1"), Qt::LeftButton);
        QCOMPARE(win->height(), 155);  // already collapsed: never shrinks twice
    }

    void closingOnlyHides()
    {
        QSignalSpy closed(win.get(), &SearchWindow::closedByUser);
        type(box("编辑框6"), QStringLiteral("张"));
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        QVERIFY(!win->close());
        QVERIFY(win->isHidden());
        QCOMPARE(closed.size(), 1);

        const QRect mainFrame(200, 100, 988, 560);
        QVERIFY(win->toggleUnder(mainFrame));
        QVERIFY(win->isVisible());
        QCOMPARE(win->frameGeometry().top(), 660);
        QCOMPARE(win->frameGeometry().left(), 200 + (988 - win->frameGeometry().width()) / 2);
        QCOMPARE(box("编辑框6")->text(), QStringLiteral("张"));
        QVERIFY(win->expanded());
        QVERIFY(!win->toggleUnder(mainFrame));
        QVERIFY(win->isHidden());
    }

private:
    QWidget* unit(const char* name) const { return win->findChild<QWidget*>(QString::fromUtf8(name)); }
    QLineEdit* box(const QString& name) const { return win->findChild<QLineEdit*>(name); }
    MouseLabel* label(const char* name) const { return win->findChild<MouseLabel*>(QString::fromUtf8(name)); }
    QCheckBox* check() const { return win->findChild<QCheckBox*>("选择框2"); }
    QTreeWidget* results() const { return win->findChild<QTreeWidget*>("超级列表框1"); }
    void clickResult(int i)
    {
        QTreeWidget* r = results();
        const QRect rect = r->visualItemRect(r->topLevelItem(i));
        QTest::mouseClick(r->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::unique_ptr<RosterListView> list;
    std::unique_ptr<CellColours> colours;
    std::unique_ptr<SearchWindow> win;
    QString fileName;
};

QTEST_MAIN(SearchWindowTest)
#include "tst_searchwindow.moc"
