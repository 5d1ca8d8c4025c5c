#pragma once
#include <QString>

class RosterModel;

// The rows a scanned or typed code names.
struct CodeMatch {
    int row = -1;  // the first matching row; -1 when none
    int count = 0;  // how many rows match in the column that matched
    int column = -1;
};

// Looks a code up by exact text: first in the photo-name column (student
// numbers usually name the photos), then in the other imported columns in
// their order. Blanks a scanner adds around the code are ignored; an empty
// code matches nothing.
CodeMatch findCode(const RosterModel& roster, int photoNameColumn, const QString& code);
