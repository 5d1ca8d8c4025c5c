#include "cellcolours.h"

#include "rosterlistview.h"

#include <algorithm>

namespace {

bool sameColour(const QColor& a, const QColor& b)
{
    return a.rgba() == b.rgba();
}

}  // namespace

CellColours::CellColours(RosterListView* list)
{
    setList(list);
}

CellColours::~CellColours()
{
    QObject::disconnect(listGone_);
    // The model must not ask a store that is gone.
    if (attachedModel_)
        attachedModel_->setCellColours(nullptr);
}

void CellColours::setList(RosterListView* list)
{
    if (list_ == list)
        return;
    QObject::disconnect(listGone_);
    if (attachedModel_)
        attachedModel_->setCellColours(nullptr);
    attachedModel_ = nullptr;
    records_.clear();
    hooked_ = false;
    list_ = list;
    if (list_) {
        attachModel();
        // Records belong to the list: when it goes, nothing is left hooked.
        listGone_ = QObject::connect(list_, &QObject::destroyed, list_, [this] {
            records_.clear();
            hooked_ = false;
        });
    }
}

void CellColours::attachModel()
{
    if (list_ && attachedModel_ != list_->roster()) {
        attachedModel_ = list_->roster();
        attachedModel_->setCellColours(this);
    }
}

QColor CellColours::listTextColour() const
{
    return list_ ? list_->palette().color(QPalette::Active, QPalette::Text) : QColor(Qt::black);
}

QColor CellColours::listBackgroundColour() const
{
    return list_ ? list_->palette().color(QPalette::Active, QPalette::Base) : QColor(Qt::white);
}

void CellColours::SetCellColour(int row, int column, const QColor& textColour, const QColor& background,
                                bool backgroundGiven)
{
    if (!list_)
        return;
    attachModel();
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

bool CellColours::colourOf(int row, int column, QColor* text, QColor* background) const
{
    // Never more than a row's worth of records: a linear scan is enough.
    for (const CellColour& c : records_) {
        if (c.row == row && c.column == column) {
            if (text)
                *text = c.text;
            if (background)
                *background = c.background;
            return true;
        }
    }
    return false;
}

void CellColours::repaint()
{
    if (list_ && list_->roster())
        list_->roster()->coloursChanged();
}
