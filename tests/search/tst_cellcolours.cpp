#include "cellcolours.h"
#include "rosterlistview.h"
#include "rostermodel.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

Roster threeRows()
{
    Roster r(3);
    for (int i = 0; i < 3; ++i)
        r[size_t(i)].cells = {QString("名%1").arg(i), QString::number(i), "一班", ""};
    return r;
}

QVariant roleOf(RosterListView& list, int row, int column, int role)
{
    return list.roster()->data(list.roster()->index(row, column), role);
}

}  // namespace

class CellColoursTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        list = std::make_unique<RosterListView>();
        list->roster()->setRoster(threeRows());
        colours = std::make_unique<CellColours>(list.get());
    }
    void cleanup()
    {
        colours.reset();
        list.reset();
    }

    void recordRules()
    {
        const QColor text = colours->listTextColour();
        const QColor back = colours->listBackgroundColour();
        const QColor red(255, 0, 0);

        // Both colours the list's own: nothing is added, but it hooks.
        colours->SetCellColour(1, 2, text, back, true);
        QVERIFY(colours->records().empty());
        QVERIFY(colours->hooked());

        colours->SetCellColour(1, 2, red, QColor(), false);
        QCOMPARE(colours->records().size(), size_t(1));
        QCOMPARE(colours->records()[0].background, back);  // no background given: the list's
        QCOMPARE(roleOf(*list, 1, 2, Qt::ForegroundRole).value<QColor>(), red);
        QCOMPARE(roleOf(*list, 1, 2, Qt::BackgroundRole).value<QColor>(), back);
        QVERIFY(!roleOf(*list, 1, 1, Qt::ForegroundRole).isValid());
        QVERIFY(!roleOf(*list, 2, 2, Qt::ForegroundRole).isValid());

        // Same cell again: overwritten, never a second record.
        colours->SetCellColour(1, 2, Qt::blue, Qt::yellow, true);
        QCOMPARE(colours->records().size(), size_t(1));
        QCOMPARE(roleOf(*list, 1, 2, Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));

        // Back to exactly the list's colours: the record goes.
        colours->SetCellColour(1, 2, text, QColor(), false);
        QVERIFY(colours->records().empty());
        QVERIFY(!roleOf(*list, 1, 2, Qt::ForegroundRole).isValid());

        // The list's text on another background is still a colour of its own.
        colours->SetCellColour(0, 0, text, Qt::green, true);
        QCOMPARE(colours->records().size(), size_t(1));
        colours->SetCellColour(1, 0, red, QColor(), false);
        QCOMPARE(colours->records().size(), size_t(2));
        QCOMPARE(colours->records()[0].row, 0);
        QCOMPARE(colours->records()[1].row, 1);
    }

    void everyChangeRepaints()
    {
        QSignalSpy changed(list->roster(), &QAbstractItemModel::dataChanged);
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);
        QCOMPARE(changed.size(), 1);
        const auto roles = changed.at(0).at(2).value<QList<int>>();
        QVERIFY(roles.contains(Qt::ForegroundRole));
        colours->SetCellColour(0, 0, colours->listTextColour(), QColor(), false);
        QCOMPARE(changed.size(), 2);
        colours->ClearCellColours();
        QCOMPARE(changed.size(), 3);
    }

    void clearWithNothingHookedDoesNothing()
    {
        QSignalSpy changed(list->roster(), &QAbstractItemModel::dataChanged);
        colours->ClearCellColours();
        QCOMPARE(changed.size(), 0);

        colours->SetCellColour(2, 3, Qt::red, QColor(), false);
        colours->ClearCellColours();
        QVERIFY(colours->records().empty());
        QVERIFY(!colours->hooked());
        QVERIFY(!roleOf(*list, 2, 3, Qt::ForegroundRole).isValid());
        changed.clear();
        colours->ClearCellColours();
        QCOMPARE(changed.size(), 0);
    }

    // The list's colours are read when needed: after a palette change the
    // new colours are "the list's own".
    void listColoursAreReadEachTime()
    {
        QPalette p = list->palette();
        p.setColor(QPalette::Text, QColor(10, 20, 30));
        p.setColor(QPalette::Base, QColor(240, 230, 220));
        list->setPalette(p);
        QCOMPARE(colours->listTextColour(), QColor(10, 20, 30));

        colours->SetCellColour(0, 1, QColor(10, 20, 30), QColor(240, 230, 220), true);
        QVERIFY(colours->records().empty());
        // Cells without a record carry no colour of their own: the view paints
        // them in whatever its palette says now.
        QVERIFY(!roleOf(*list, 0, 1, Qt::BackgroundRole).isValid());

        colours->SetCellColour(0, 1, Qt::red, QColor(), false);
        QCOMPARE(colours->records()[0].background, QColor(240, 230, 220));
    }

    void storeGoneBeforeList()
    {
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);
        colours.reset();
        // The model no longer asks the destroyed store.
        QVERIFY(!roleOf(*list, 0, 0, Qt::ForegroundRole).isValid());
    }

    void listGoneBeforeStore()
    {
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);
        list.reset();
        QVERIFY(!colours->hooked());
        QVERIFY(colours->records().empty());
        colours->ClearCellColours();
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);  // no list: ignored
        QVERIFY(colours->records().empty());
    }

private:
    std::unique_ptr<RosterListView> list;
    std::unique_ptr<CellColours> colours;
};

QTEST_MAIN(CellColoursTest)
#include "tst_cellcolours.moc"
