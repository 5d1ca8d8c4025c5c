#include "rosterlistview.h"

#include "rostermodel.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The list shows its selection only while it has the focus, so a row picked
// from elsewhere (a search result) shows its own cell colours.
class FocusSelectionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto* view = qobject_cast<const QAbstractItemView*>(parent());
        if (view && !view->hasFocus())
            option->state &= ~QStyle::State_Selected;
    }
};

}  // namespace

RosterListView::RosterListView(QWidget* parent)
    : QTreeView(parent)
{
    setItemDelegate(new FocusSelectionDelegate(this));
    QPalette quiet = palette();
    quiet.setBrush(QPalette::Inactive, QPalette::Highlight, quiet.brush(QPalette::Inactive, QPalette::Base));
    quiet.setBrush(QPalette::Inactive, QPalette::HighlightedText, quiet.brush(QPalette::Inactive, QPalette::Text));
    setPalette(quiet);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
}

void RosterListView::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    lastReported_ = -1;
    if (!selectionModel())
        return;
    // A click moves the focus before it selects; the row is reported once
    // the selection has followed, so handlers read the new current row.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection&, const QItemSelection&) {
                const int row = currentRow();
                if (row != lastReported_) {
                    lastReported_ = row;
                    emit currentRowChanged(row);
                }
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { lastReported_ = -1; });
}

RosterModel* RosterListView::roster() const
{
    return qobject_cast<RosterModel*>(model());
}

int RosterListView::currentRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    int first = rows.constFirst().row();
    for (const QModelIndex& i : rows)
        first = std::min(first, i.row());
    return first;
}

void RosterListView::setCurrentRow(int row)
{
    if (!model() || row >= model()->rowCount())
        return;
    if (row < 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int RosterListView::rowCount() const
{
    return model() ? model()->rowCount() : 0;
}

void RosterListView::scrollToRow(int row)
{
    if (row >= 0 && row < rowCount())
        scrollTo(model()->index(row, 0));
}

void RosterListView::mouseReleaseEvent(QMouseEvent* e)
{
    QTreeView::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton)
        emit listClicked();
}

void RosterListView::mouseDoubleClickEvent(QMouseEvent* e)
{
    QTreeView::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton && !indexAt(e->position().toPoint()).isValid())
        emit emptyAreaDoubleClicked();
}

void RosterListView::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void RosterListView::dragMoveEvent(QDragMoveEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void RosterListView::dropEvent(QDropEvent* e)
{
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    e->acceptProposedAction();
    if (!paths.isEmpty())
        emit filesDropped(paths);
}

void RosterListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QTreeView::drawRow(painter, option, index);
    // Grid lines, as the report view shows them.
    painter->save();
    painter->setPen(QColor(0xd0, 0xd0, 0xd0));
    const QRect r = option.rect;
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    const QHeaderView* h = header();
    for (int i = 0; i < h->count(); ++i) {
        const int x = h->sectionViewportPosition(h->logicalIndex(i)) + h->sectionSize(h->logicalIndex(i)) - 1;
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}
