#pragma once
#include <QStringList>
#include <QTreeView>

class RosterModel;

// The roster list: a report view over its own RosterModel, with single
// whole-row selection. The current row is the first selected row, or -1.
class RosterListView : public QTreeView {
    Q_OBJECT
public:
    explicit RosterListView(QWidget* parent = nullptr);

    RosterModel* roster() const { return model_; }

    int currentRow() const;
    // r >= 0 selects and focuses row r; a negative value deselects.
    void setCurrentRow(int row);
    int rowCount() const;
    void scrollToRow(int row);

signals:
    // A row newly gained the focus, by mouse, keyboard or program.
    void currentRowChanged(int row);
    // A left click anywhere on the list.
    void listClicked();
    // Local files dropped on the list, in the order they were dragged.
    void filesDropped(const QStringList& paths);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    RosterModel* model_;
    int lastCurrent_ = -1;
};
