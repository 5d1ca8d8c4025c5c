#include "cellcolours.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "searchwindow.h"
#include "spinedit.h"
#include "translabel.h"

#include <QCheckBox>
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
        {"姓名", "学号", "班级", "照片"}, {"张三", "1001", "一班", ""},     {"李四", "1002", "二班", ""},
        {"张三丰", "1003", "一班", ""},   {"张三", "1004", "二班", "已照"}, {"Li", "1005", "二班", ""},
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
        QKeyEvent press(QEvent::KeyPress, ch.isDigit() ? Qt::Key_0 + ch.digitValue() : 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
    }
}

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        model = std::make_unique<RosterModel>();
        model->setRoster(testRoster());
        list = std::make_unique<RosterListView>();
        list->setModel(model.get());
        colours = std::make_unique<CellColours>(model.get());
        fileName.clear();
        SearchHooks hooks{
            [this](int r) { return list->roster()->cell(r, 1); }, [this](const QString& t) { fileName = t; }, {}};
        win = std::make_unique<SearchWindow>(list.get(), colours.get(), hooks);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
    }
    void cleanup()
    {
        win.reset();
        colours.reset();
        list.reset();
        model.reset();
    }

    void startsAsTheFormSays()
    {
        const std::pair<const char*, QRect> places[] = {
            {"透明标签1", {14, 8, 216, 24}},    {"编辑框1", {124, 8, 82, 24}},        {"选择框2", {263, 8, 176, 24}},
            {"编辑框2", {338, 8, 82, 24}},      {"编辑框6", {14, 36, 192, 24}},       {"编辑框8", {206, 36, 24, 24}},
            {"编辑框7", {262, 36, 157, 24}},    {"编辑框9", {419, 36, 24, 24}},       {"透明标签3", {43, 65, 56, 24}},
            {"分组框1", {115, 61, 224, 32}},    {"单选框1", {8, 12, 96, 16}},         {"单选框2", {120, 12, 96, 16}},
            {"透明标签4", {355, 65, 56, 24}},   {"透明标签2", {14, 96, 370, 24}},     {"超级按钮1", {395, 96, 50, 24}},
            {"透明标签15", {461, 113, 13, 13}}, {"超级列表框1", {14, 128, 446, 120}}, {"透明标签5", {461, 248, 13, 13}},
        };
        for (const auto& [name, place] : places) {
            QVERIFY2(unit(name), name);
            QCOMPARE(unit(name)->geometry(), place);
        }
        QCOMPARE(win->windowTitle(), QStringLiteral("查询数据"));
        QCOMPARE(win->size(), QSize(481, 155));
        QCOMPARE(box("编辑框1")->text(), QStringLiteral("姓名"));  // headings from the first row
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("学号"));
        for (const char* off : {"选择框2", "编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(!unit(off)->isEnabled(), off);
        const QStringList heads{"原行", "", "列1", "列2", "列3", "列4"};
        const int widths[] = {50, 50, 70, 70, 70, 70};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(results()->headerItem()->text(c), heads[c]);
            QCOMPARE(results()->columnWidth(c), widths[c]);
        }
    }

    void singleSearch_data()
    {
        QTest::addColumn<bool>("contains");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::newRow("first match wins") << false << QStringLiteral("张三") << 1;
        QTest::newRow("equal, prefix only") << false << QStringLiteral("张") << -1;
        QTest::newRow("contains, prefix") << true << QStringLiteral("张") << 1;
        QTest::newRow("contains, other case") << true << "LI" << -1;
        QTest::newRow("equal, trailing space kept") << false << "li " << 6;
        QTest::newRow("equal, without the space") << false << "li" << -1;
    }
    void singleSearch()
    {
        QFETCH(bool, contains);
        QFETCH(QString, text);
        QFETCH(int, row);
        if (contains) {
            QTest::mousePress(label("透明标签3"), Qt::LeftButton);
            QCOMPARE(label("透明标签3")->textColour(), QColor(0, 0, 255));
        }
        const QString mode = label("透明标签3")->text();
        QCOMPARE(mode, contains ? QStringLiteral("包含") : QStringLiteral("等同"));
        for (int repeat = 0; repeat < 2; ++repeat) {  // never starts from the current row
            list->setCurrentRow(5);
            type(box("编辑框6"), text);
            QTest::keyClick(box("编辑框6"), Qt::Key_Return);
            QCOMPARE(list->currentRow(), row < 0 ? 5 : row);
        }
        if (row < 0) {
            QCOMPARE(message(), QStringLiteral("第 1 列 未找到: “") + text + QStringLiteral("”"));
            QCOMPARE(label("透明标签2")->textColour(), QColor(255, 0, 0));
        } else {
            QCOMPARE(message(), QStringLiteral("第 1  已找到: ") + mode + "“" + text + "”");
            QCOMPARE(label("透明标签2")->textColour(), QColor(0x00, 0x80, 0x00));
            QCOMPARE(fileName, list->roster()->cell(row, 1) + ".jpg");
        }
        QVERIFY(box("编辑框6")->text().isEmpty());
        QVERIFY(!check()->isEnabled());
    }

    void columnNumbersClampToFour()
    {
        auto* c1 = win->findChild<SpinEdit*>("编辑框8");
        c1->clear();
        type(c1, "7");
        QCOMPARE(c1->text(), "4");
        QCOMPARE(box("编辑框1")->text(), QStringLiteral("照片"));
        QTest::keyClick(c1, Qt::Key_Up);  // the spinner keeps to its range
        QCOMPARE(c1->text(), "4");
        auto* c2 = win->findChild<SpinEdit*>("编辑框9");
        c2->setText("1");  // no heading for 1
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("学号"));
        c2->setText("3");
        QCOMPARE(box("编辑框2")->text(), QStringLiteral("班级"));
    }

    void equalColumnsDisableConditionTwo()
    {
        type(box("编辑框6"), QStringLiteral("张"));
        QTest::mouseClick(check(), Qt::LeftButton);
        for (const char* on : {"编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(unit(on)->isEnabled(), on);
        box("编辑框9")->setText("1");
        for (const char* off : {"选择框2", "编辑框2", "编辑框7"})
            QVERIFY2(!unit(off)->isEnabled(), off);
        box("编辑框9")->setText("3");
        for (const char* on : {"选择框2", "编辑框2", "编辑框7"})
            QVERIFY2(unit(on)->isEnabled(), on);
        // Unchecked: different numbers again enable nothing.
        QTest::mouseClick(check(), Qt::LeftButton);
        box("编辑框8")->setText("3");
        box("编辑框8")->setText("1");
        QVERIFY(!check()->isEnabled());
        QVERIFY(!box("编辑框7")->isEnabled());
    }

    void multiSearchListsEveryMatch()
    {
        list->setCurrentRow(1);
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        QCOMPARE(win->height(), 155 + 120 + 13);
        QCOMPARE(label("透明标签15")->text(), QStringLiteral("△"));
        box("编辑框8")->setText("3");
        const int before = results()->columnWidth(0);
        type(box("编辑框6"), QStringLiteral("二班"));
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);

        QCOMPARE(results()->topLevelItemCount(), 3);
        const QStringList numbers{"3", "5", "6"};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(results()->topLevelItem(i)->text(0), numbers[i]);
        const QStringList copied{"5", "", "张三", "1004", "二班", "已照"};
        for (int c = 0; c < 6; ++c)
            QCOMPARE(results()->topLevelItem(1)->text(c), copied[c]);
        QCOMPARE(message(), QStringLiteral("已找到:  第 3 列 等同“二班”  共：3  项"));
        QCOMPARE(results()->columnWidth(0), before + 10);
        QCOMPARE(list->currentRow(), 1);  // the roster's selection is left alone

        type(box("编辑框6"), QStringLiteral("三班"));  // no match: column 0 keeps its width
        QTest::keyClick(box("编辑框6"), Qt::Key_Return);
        QCOMPARE(results()->topLevelItemCount(), 0);
        QCOMPARE(results()->columnWidth(0), before + 10);
    }

    void chosenResultRowIsRedUntilAKey_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<int>("key");
        QTest::newRow("letter in condition 1") << "编辑框6" << int(Qt::Key_A);
        QTest::newRow("arrow in condition 1") << "编辑框6" << int(Qt::Key_Left);
        QTest::newRow("letter in condition 2") << "编辑框7" << int(Qt::Key_A);
    }
    void chosenResultRowIsRedUntilAKey()
    {
        QFETCH(QString, boxName);
        QFETCH(int, key);
        QTest::mouseClick(win->findChild<QRadioButton*>("单选框2"), Qt::LeftButton);
        type(box("编辑框6"), QStringLiteral("张三"));
        QTest::keyClick(box("编辑框6"), Qt::Key_Return);
        clickResult(0);
        clickResult(1);  // the earlier row loses its colours
        QCOMPARE(list->currentRow(), 4);
        QCOMPARE(fileName, QStringLiteral("1004.jpg"));
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(colour(4, k, Qt::ForegroundRole), QColor(255, 0, 0));
            QCOMPARE(colour(4, k, Qt::BackgroundRole), colours->listBackgroundColour());
            QVERIFY(!colour(1, k, Qt::ForegroundRole).isValid());
        }
        // A click that selects no result row changes nothing.
        results()->clearSelection();
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, QPoint(5, results()->viewport()->height() - 3));
        QCOMPARE(colours->records().size(), size_t(4));

        QTest::keyClick(box(boxName), Qt::Key(key));
        QCOMPARE(results()->topLevelItemCount(), 0);
        QVERIFY(!colour(4, 0, Qt::ForegroundRole).isValid());
    }

    void bothConditions()
    {
        type(box("编辑框6"), QStringLiteral("张三"));
        QTest::mouseClick(check(), Qt::LeftButton);
        box("编辑框9")->setText("3");
        QTest::keyClick(box("编辑框6"), Qt::Key_Return);
        QVERIFY(message().isEmpty());  // Enter only moves on to condition 2
        QCOMPARE(win->focusWidget(), unit("编辑框7"));
        type(box("编辑框7"), QStringLiteral("二班"));
        QTest::keyClick(box("编辑框7"), Qt::Key_Return);
        QCOMPARE(list->currentRow(), 4);
        QCOMPARE(message(), QStringLiteral("已找到:  第 1 列 等同“张三” | 第 3 列 等同“二班” 项"));
        QVERIFY(box("编辑框6")->text().isEmpty() && box("编辑框7")->text().isEmpty());
        QVERIFY(check()->isChecked());
        for (const char* off : {"选择框2", "编辑框2", "编辑框7", "编辑框9"})
            QVERIFY2(!unit(off)->isEnabled(), off);

        // Condition 2 blank: condition 1 alone, with its own not-found text.
        type(box("编辑框6"), QStringLiteral("王"));
        box("编辑框7")->setText(QStringLiteral("　"));
        QTest::keyClick(box("编辑框7"), Qt::Key_Return);
        QCOMPARE(message(), QStringLiteral("第 1 列  未找到: “王”"));
        QCOMPARE(box("编辑框7")->text(), QStringLiteral("　"));
    }

    void blankConditionsStartNothing()
    {
        type(box("编辑框6"), QStringLiteral(" 　 "));
        QTest::keyClick(box("编辑框6"), Qt::Key_Return);
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QVERIFY(message().isEmpty());
        // Condition 2 filled while condition 1 went blank: still nothing.
        type(box("编辑框6"), QStringLiteral("张"));
        QTest::mouseClick(check(), Qt::LeftButton);
        type(box("编辑框7"), QStringLiteral("一班"));
        box("编辑框6")->setText(" ");
        QTest::mouseClick(win->findChild<QPushButton*>("超级按钮1"), Qt::LeftButton);
        QVERIFY(message().isEmpty());
    }

    void closingOnlyHides()
    {
        QSignalSpy closed(win.get(), &SearchWindow::closedByUser);
        type(box("编辑框6"), QStringLiteral("张"));
        QTest::mousePress(label("透明标签15"), Qt::LeftButton);
        QTest::mousePress(label("透明标签5"), Qt::LeftButton);
        QTest::mousePress(label("透明标签5"), Qt::LeftButton);  // only collapses
        QTest::mousePress(label("透明标签15"), Qt::LeftButton);
        QCOMPARE(win->height(), 288);
        QVERIFY(!win->close());
        QVERIFY(win->isHidden());
        QCOMPARE(closed.size(), 1);

        QVERIFY(win->toggleUnder(QRect(200, 100, 988, 560)));
        QCOMPARE(box("编辑框6")->text(), QStringLiteral("张"));
        QCOMPARE(win->height(), 288);
    }

private:
    QWidget* unit(const char* name) const { return win->findChild<QWidget*>(QString::fromUtf8(name)); }
    QLineEdit* box(const QString& name) const { return win->findChild<QLineEdit*>(name); }
    MouseLabel* label(const char* name) const { return win->findChild<MouseLabel*>(QString::fromUtf8(name)); }
    QString message() const { return win->findChild<QLabel*>("透明标签2")->text(); }
    QCheckBox* check() const { return win->findChild<QCheckBox*>("选择框2"); }
    QTreeWidget* results() const { return win->findChild<QTreeWidget*>("超级列表框1"); }
    QColor colour(int row, int column, int role) const
    {
        return list->roster()->index(row, column).data(role).value<QColor>();
    }
    void clickResult(int i)
    {
        const QRect rect = results()->visualItemRect(results()->topLevelItem(i));
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::unique_ptr<RosterModel> model;
    std::unique_ptr<RosterListView> list;
    std::unique_ptr<CellColours> colours;
    std::unique_ptr<SearchWindow> win;
    QString fileName;
};

QTEST_MAIN(SearchWindowTest)
#include "tst_searchwindow.moc"
