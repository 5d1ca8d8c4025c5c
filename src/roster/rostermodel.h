#pragma once
#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <array>
#include <vector>

// One roster row: three imported cells and the "已照" mark.
struct RosterEntry {
    std::array<QString, 4> cells;
};

using Roster = std::vector<RosterEntry>;

// Colours of single cells; cells without their own follow the list's colours.
class CellColourSource {
public:
    virtual ~CellColourSource() = default;
    // False when the cell has no colours of its own.
    virtual bool colourOf(int row, int column, QColor* text, QColor* background) const = 0;
};

// The roster list's store: the rows live here and nowhere else.
class RosterModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int columns = 4;
    static constexpr int photographedColumn = 3;

    explicit RosterModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text of a cell; "" outside the list.
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text);
    const RosterEntry& entry(int row) const { return rows_[size_t(row)]; }
    int size() const { return int(rows_.size()); }

    void setRoster(Roster rows);
    void clear();
    void appendRow(const RosterEntry& row);

    void setHeader(int column, const QString& text);
    QString header(int column) const;
    void setColumnAlignment(int column, Qt::Alignment alignment);
    // Drops every cell of a column (the column is made anew, empty).
    void clearColumn(int column);
    // Rewrites a whole column at once (one change notification).
    void setColumn(int column, const std::vector<QString>& values);

    void setCellColours(const CellColourSource* source);
    // Repaint after the cell colours changed.
    void coloursChanged();

private:
    Roster rows_;
    std::array<QString, columns> headers_;
    std::array<Qt::Alignment, columns> alignment_;
    const CellColourSource* colours_ = nullptr;
};
