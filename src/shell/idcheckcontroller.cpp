#include "idcheckcontroller.h"

#include "cellcolours.h"
#include "dialogs.h"
#include "rosterstate.h"

IdCheckController::IdCheckController(RosterState& roster, CellColours& colours, QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , colours_(colours)
{
    // Marks follow every new roster; the message comes with the import's end.
    connect(&roster_, &RosterState::rosterReplaced, this, &IdCheckController::check);
    connect(&roster_, &RosterState::importFinished, this, [this](bool rowsRead) {
        if (rowsRead)
            tell();
    });
    connect(&roster_, &RosterState::photoNameColumnChanged, this, [this] {
        check();
        tell();
    });
}

QColor IdCheckController::markColour()
{
    return QColor(255, 200, 120);
}

void IdCheckController::check()
{
    const int column = roster_.photoNameColumn();
    last_ = idnumber::checkColumn(roster_.rowCount(), [this, column](int row) { return roster_.cell(row, column); });
    std::vector<int> rows;
    rows.reserve(last_.problems.size());
    for (const idnumber::Problem& p : last_.problems)
        rows.push_back(p.row);
    colours_.setMarks(column, rows, markColour());
}

void IdCheckController::tell() const
{
    if (!last_.problems.empty())
        Dialogs::current().message(last_.summary(), dialogtitle::reminder, Dialogs::Icon::Warning);
}
