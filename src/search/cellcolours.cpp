#include "cellcolours.h"

#include <algorithm>

namespace {

bool sameColour(const QColor& a, const QColor& b)
{
    return a.rgba() == b.rgba();
}

}  // namespace

CellColours::CellColours(RosterModel* roster)
{
    setRoster(roster);
}

CellColours::~CellColours()
{
    QObject::disconnect(rosterGone_);
    // The model must not ask a store that is gone.
    if (roster_)
        roster_->setCellColours(nullptr);
}

void CellColours::setRoster(RosterModel* roster)
{
    if (roster_ == roster)
        return;
    QObject::disconnect(rosterGone_);
    if (roster_)
        roster_->setCellColours(nullptr);
    records_.clear();
    hooked_ = false;
    markColumn_ = -1;
    markedRows_.clear();
    roster_ = roster;
    if (roster_) {
        roster_->setCellColours(this);
        // Records belong to the roster: when it goes, nothing is left hooked.
        rosterGone_ = QObject::connect(roster_, &QObject::destroyed, roster_, [this] {
            records_.clear();
            hooked_ = false;
        });
    }
}

void CellColours::setListColours(std::function<QColor()> text, std::function<QColor()> background)
{
    listText_ = std::move(text);
    listBackground_ = std::move(background);
}

QColor CellColours::listTextColour() const
{
    return listText_ ? listText_() : QColor(Qt::black);
}

QColor CellColours::listBackgroundColour() const
{
    return listBackground_ ? listBackground_() : QColor(Qt::white);
}

void CellColours::SetCellColour(int row, int column, const QColor& textColour, const QColor& background,
                                bool backgroundGiven)
{
    if (!roster_)
        return;
    hooked_ = true;

    const QColor listText = listTextColour();
    const QColor listBack = listBackgroundColour();
    const QColor back = backgroundGiven ? background : listBack;
    const bool asList = sameColour(textColour, listText) && sameColour(back, listBack);

    auto found = std::find_if(records_.begin(), records_.end(),
                              [&](const CellColour& c) { return c.row == row && c.column == column; });
    if (found != records_.end()) {
        if (asList) {
            records_.erase(found);
        } else {
            found->text = textColour;
            found->background = back;
        }
    } else if (!asList) {
        records_.push_back({row, column, textColour, back});
    }
    repaint();
}

void CellColours::ClearCellColours()
{
    if (!hooked_)
        return;
    records_.clear();
    hooked_ = false;
    repaint();
}

void CellColours::setMarks(int column, const std::vector<int>& rows, const QColor& background)
{
    const bool hadMarks = markColumn_ >= 0;
    markColumn_ = rows.empty() ? -1 : column;
    markedRows_.clear();
    for (const int row : rows) {
        if (row < 0)
            continue;
        if (size_t(row) >= markedRows_.size())
            markedRows_.resize(size_t(row) + 1);
        markedRows_[size_t(row)] = true;
    }
    markBackground_ = background;
    if (hadMarks || markColumn_ >= 0)
        repaint();
}

bool CellColours::marked(int row, int column) const
{
    return column == markColumn_ && row >= 0 && size_t(row) < markedRows_.size() && markedRows_[size_t(row)];
}

bool CellColours::colourOf(int row, int column, QColor* text, QColor* background) const
{
    const bool isMarked = marked(row, column);
    // Never more than a row's worth of records: a linear scan is enough.
    for (const CellColour& c : records_) {
        if (c.row == row && c.column == column) {
            if (text)
                *text = c.text;
            if (background)
                *background = isMarked ? markBackground_ : c.background;
            return true;
        }
    }
    if (!isMarked)
        return false;
    if (text)
        *text = listTextColour();
    if (background)
        *background = markBackground_;
    return true;
}

void CellColours::repaint()
{
    if (roster_)
        roster_->coloursChanged();
}
