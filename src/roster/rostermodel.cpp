#include "rostermodel.h"

RosterModel::RosterModel(QObject* parent)
    : QAbstractTableModel(parent)
    , headers_{QStringLiteral("列1"), QStringLiteral("列2"), QStringLiteral("列3"), QStringLiteral("列4")}
{
    alignment_.fill(Qt::AlignLeft | Qt::AlignVCenter);
}

int RosterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int RosterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant RosterModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()) || index.column() >= columns)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return rows_[size_t(index.row())].cells[size_t(index.column())];
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment_[size_t(index.column())]);
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        QColor text, background;
        if (colours_ && colours_->colourOf(index.row(), index.column(), &text, &background))
            return role == Qt::ForegroundRole ? text : background;
        return {};
    }
    default:
        return {};
    }
}

QVariant RosterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns)
        return {};
    if (role == Qt::DisplayRole)
        return headers_[size_t(section)];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment_[size_t(section)]);
    return {};
}

QString RosterModel::cell(int row, int column) const
{
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= columns)
        return {};
    return rows_[size_t(row)].cells[size_t(column)];
}

void RosterModel::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= columns)
        return;
    QString& c = rows_[size_t(row)].cells[size_t(column)];
    if (c == text)
        return;
    c = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void RosterModel::setRoster(Roster rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void RosterModel::clear()
{
    setRoster({});
}

void RosterModel::appendRow(const RosterEntry& row)
{
    const int r = int(rows_.size());
    beginInsertRows({}, r, r);
    rows_.push_back(row);
    endInsertRows();
}

void RosterModel::setHeader(int column, const QString& text)
{
    if (column < 0 || column >= columns)
        return;
    headers_[size_t(column)] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

QString RosterModel::header(int column) const
{
    return column >= 0 && column < columns ? headers_[size_t(column)] : QString();
}

void RosterModel::setColumnAlignment(int column, Qt::Alignment alignment)
{
    if (column < 0 || column >= columns)
        return;
    alignment_[size_t(column)] = alignment;
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (!rows_.empty())
        emit dataChanged(index(0, column), index(int(rows_.size()) - 1, column), {Qt::TextAlignmentRole});
}

void RosterModel::clearColumn(int column)
{
    setColumn(column, std::vector<QString>(rows_.size()));
}

void RosterModel::setColumn(int column, const std::vector<QString>& values)
{
    if (column < 0 || column >= columns || rows_.empty())
        return;
    bool changed = false;
    for (size_t r = 0; r < rows_.size(); ++r) {
        const QString v = r < values.size() ? values[r] : QString();
        if (rows_[r].cells[size_t(column)] != v) {
            rows_[r].cells[size_t(column)] = v;
            changed = true;
        }
    }
    if (changed)
        emit dataChanged(index(0, column), index(int(rows_.size()) - 1, column), {Qt::DisplayRole});
}

void RosterModel::setCellColours(const CellColourSource* source)
{
    colours_ = source;
    coloursChanged();
}

void RosterModel::coloursChanged()
{
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, columns - 1),
                         {Qt::ForegroundRole, Qt::BackgroundRole});
}
