#pragma once
#include <QStringList>
#include <QTreeView>

class RosterModel;

// The roster list: a report view with single whole-row selection over a
// RosterModel that its owner keeps. The selected row shows the current row;
// a row the operator picks is reported, the owner decides what is current.
class RosterListView : public QTreeView {
    Q_OBJECT
public:
    explicit RosterListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    RosterModel* roster() const;

    // The selected row, or -1.
    int currentRow() const;
    // r >= 0 selects and focuses row r; a negative value deselects.
    void setCurrentRow(int row);
    int rowCount() const;
    void scrollToRow(int row);

signals:
    // The selection moved to `row` (-1: none), by mouse, keyboard or program.
    void currentRowChanged(int row);
    // A left click anywhere on the list.
    void listClicked();
    // A double click where no row is.
    void emptyAreaDoubleClicked();
    // Local files dropped on the list, in the order they were dragged.
    void filesDropped(const QStringList& paths);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int lastReported_ = -1;
};
