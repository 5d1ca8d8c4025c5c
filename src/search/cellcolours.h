#pragma once
#include "rostermodel.h"

#include <QColor>
#include <QPointer>

#include <functional>
#include <vector>

// One cell with colours of its own.
struct CellColour {
    int row = 0;
    int column = 0;
    QColor text;
    QColor background;
};

// Single cells of the roster with their own text and background colours,
// handed to the roster model as item roles. Cells without a record paint in
// the list's colours, asked for each time they are needed, so they follow a
// palette change.
class CellColours final : public CellColourSource {
public:
    explicit CellColours(RosterModel* roster = nullptr);
    ~CellColours() override;
    CellColours(const CellColours&) = delete;
    CellColours& operator=(const CellColours&) = delete;

    // The roster whose cells are coloured; it asks this store for colours.
    void setRoster(RosterModel* roster);
    RosterModel* roster() const { return roster_; }
    // Where the list's own colours come from (its palette); black on white
    // until set.
    void setListColours(std::function<QColor()> text, std::function<QColor()> background);

    // Gives one cell its colours, or drops its record when they are the list's
    // own. Without a given background the list's background is used.
    void SetCellColour(int row, int column, const QColor& textColour, const QColor& background, bool backgroundGiven);
    // Drops every record and repaints; does nothing (no repaint) when nothing is hooked.
    void ClearCellColours();

    // Rows of one column marked by a background of their own (identity
    // numbers that look wrong), kept apart from the search's records: a
    // search neither clears them nor hides them, its text colour shows on
    // them. New marks replace the old ones; an empty list drops them.
    void setMarks(int column, const std::vector<int>& rows, const QColor& background);
    bool marked(int row, int column) const;

    bool colourOf(int row, int column, QColor* text, QColor* background) const override;

    bool hooked() const { return hooked_; }
    const std::vector<CellColour>& records() const { return records_; }

    // The list's own colours, as they are now.
    QColor listTextColour() const;
    QColor listBackgroundColour() const;

private:
    void repaint();

    QPointer<RosterModel> roster_;
    QMetaObject::Connection rosterGone_;
    std::function<QColor()> listText_;
    std::function<QColor()> listBackground_;
    std::vector<CellColour> records_;
    bool hooked_ = false;
    int markColumn_ = -1;
    std::vector<bool> markedRows_;  // by row
    QColor markBackground_;
};
