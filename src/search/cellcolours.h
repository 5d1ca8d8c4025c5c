#pragma once
#include "rosterlistview.h"
#include "rostermodel.h"

#include <QColor>
#include <QPointer>

#include <vector>

// One cell with colours of its own.
struct CellColour {
    int row = 0;
    int column = 0;
    QColor text;
    QColor background;
};

// Single cells of the roster list with their own text and background colours.
// Cells without a record paint in the list's colours, read from the view's
// palette each time they are needed, so they follow a palette change.
class CellColours final : public CellColourSource {
public:
    explicit CellColours(RosterListView* list = nullptr);
    ~CellColours() override;
    CellColours(const CellColours&) = delete;
    CellColours& operator=(const CellColours&) = delete;

    // The list whose cells are coloured; its model asks this store for colours.
    void setList(RosterListView* list);
    RosterListView* list() const { return list_; }

    // Gives one cell its colours, or drops its record when they are the list's
    // own. Without a given background the list's background is used.
    void SetCellColour(int row, int column, const QColor& textColour, const QColor& background, bool backgroundGiven);
    // Drops every record and repaints; does nothing (no repaint) when nothing is hooked.
    void ClearCellColours();

    bool colourOf(int row, int column, QColor* text, QColor* background) const override;

    bool hooked() const { return hooked_; }
    const std::vector<CellColour>& records() const { return records_; }

    // The list's own colours, as they are now.
    QColor listTextColour() const;
    QColor listBackgroundColour() const;

private:
    void attachModel();
    void repaint();

    QPointer<RosterListView> list_;
    QPointer<RosterModel> attachedModel_;
    QMetaObject::Connection listGone_;
    std::vector<CellColour> records_;
    bool hooked_ = false;
};
