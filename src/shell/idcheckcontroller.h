#pragma once
#include "idnumber.h"

#include <QObject>

class CellColours;
class RosterState;

// Checks the identity numbers of the photo-name column when a roster is
// imported or another photo-name column is chosen: damaged or wrong numbers
// are marked in the list and the operator is told once, with the count and
// the first rows. Nothing is refused: the school decides what to mend.
class IdCheckController : public QObject {
    Q_OBJECT
public:
    IdCheckController(RosterState& roster, CellColours& colours, QObject* parent);

    // The check of the photo-name column as it is now.
    const idnumber::ColumnCheck& lastCheck() const { return last_; }
    static QColor markColour();

private:
    void check();
    void tell() const;

    RosterState& roster_;
    CellColours& colours_;
    idnumber::ColumnCheck last_;
};
