#include "cellcolours.h"
#include "rostermodel.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class CellColoursTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        roster = std::make_unique<RosterModel>();
        roster->setRoster(Roster(3));
        listText = Qt::black;
        listBack = Qt::white;
        colours = std::make_unique<CellColours>(roster.get());
        colours->setListColours([this] { return listText; }, [this] { return listBack; });
    }
    void cleanup()
    {
        colours.reset();
        roster.reset();
    }

    void recordRules()
    {
        const QColor text = colours->listTextColour();
        const QColor back = colours->listBackgroundColour();
        QSignalSpy repaint(roster.get(), &QAbstractItemModel::dataChanged);

        colours->SetCellColour(1, 2, text, back, true);  // the list's own: nothing added
        QVERIFY(colours->records().empty());
        colours->SetCellColour(1, 2, Qt::red, QColor(), false);
        QCOMPARE(colours->records().size(), size_t(1));
        QCOMPARE(colour(1, 2, Qt::ForegroundRole), QColor(Qt::red));
        QCOMPARE(colour(1, 2, Qt::BackgroundRole), back);  // none given: the list's
        QVERIFY(!colour(1, 1, Qt::ForegroundRole).isValid());

        colours->SetCellColour(1, 2, Qt::blue, Qt::yellow, true);  // overwritten, not added
        QCOMPARE(colours->records().size(), size_t(1));
        QCOMPARE(colour(1, 2, Qt::BackgroundRole), QColor(Qt::yellow));

        colours->SetCellColour(1, 2, text, QColor(), false);  // back to the list's: removed
        QVERIFY(colours->records().empty());
        QVERIFY(!colour(1, 2, Qt::ForegroundRole).isValid());
        colours->SetCellColour(1, 2, Qt::red, QColor(), false);
        QCOMPARE(colours->records().size(), size_t(1));
        QCOMPARE(repaint.size(), 5);  // every call repaints
    }

    void clearWithNothingHookedDoesNothing()
    {
        QSignalSpy repaint(roster.get(), &QAbstractItemModel::dataChanged);
        colours->ClearCellColours();
        QCOMPARE(repaint.size(), 0);

        colours->SetCellColour(2, 3, Qt::red, QColor(), false);
        colours->ClearCellColours();
        QVERIFY(colours->records().empty());
        QVERIFY(!colour(2, 3, Qt::ForegroundRole).isValid());
        QCOMPARE(repaint.size(), 2);
        colours->ClearCellColours();
        QCOMPARE(repaint.size(), 2);
    }

    // The list's colours are read when needed, so they follow a palette change.
    void listColoursAreReadEachTime()
    {
        listText = QColor(10, 20, 30);
        listBack = QColor(240, 230, 220);
        colours->SetCellColour(0, 1, QColor(10, 20, 30), QColor(240, 230, 220), true);
        QVERIFY(colours->records().empty());
        colours->SetCellColour(0, 1, Qt::red, QColor(), false);
        QCOMPARE(colours->records()[0].background, QColor(240, 230, 220));
    }

    void eitherSideMayGoFirst()
    {
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);
        colours.reset();
        QVERIFY(!colour(0, 0, Qt::ForegroundRole).isValid());  // the model no longer asks it

        colours = std::make_unique<CellColours>(roster.get());
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);
        roster.reset();
        QVERIFY(!colours->hooked());
        QVERIFY(colours->records().empty());
        colours->SetCellColour(0, 0, Qt::red, QColor(), false);  // no roster: ignored
        QVERIFY(colours->records().empty());
    }

private:
    QColor colour(int row, int column, int role) const { return roster->index(row, column).data(role).value<QColor>(); }

    std::unique_ptr<RosterModel> roster;
    QColor listText;
    QColor listBack;
    std::unique_ptr<CellColours> colours;
};

QTEST_GUILESS_MAIN(CellColoursTest)
#include "tst_cellcolours.moc"
