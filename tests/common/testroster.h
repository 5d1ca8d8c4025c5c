#pragma once
// A roster written out in a test: a row a list of its first cells.
#include "rostermodel.h"

#include <QStringList>

inline Roster rosterOf(const QList<QStringList>& rows)
{
    Roster roster;
    for (const QStringList& row : rows)
        roster.push_back({{row.value(0), row.value(1), row.value(2), row.value(3)}});
    return roster;
}
