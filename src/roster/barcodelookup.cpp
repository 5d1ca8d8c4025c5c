#include "barcodelookup.h"

#include "rostermodel.h"

CodeMatch findCode(const RosterModel& roster, int photoNameColumn, const QString& code)
{
    CodeMatch match;
    const QString wanted = code.trimmed();
    if (wanted.isEmpty())
        return match;
    int order[3] = {photoNameColumn, 0, 1};
    for (int c = 0, k = 1; c < 3; ++c)
        if (c != photoNameColumn)
            order[k++] = c;
    for (const int column : order) {
        for (int row = 0; row < roster.size(); ++row) {
            if (roster.entry(row).cells[size_t(column)] != wanted)
                continue;
            if (match.row < 0)
                match.row = row;
            ++match.count;
        }
        if (match.row >= 0) {
            match.column = column;
            return match;
        }
    }
    return match;
}
