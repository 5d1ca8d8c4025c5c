#include "sheet.h"

#include <algorithm>

namespace workbook {

int columnIndex(QStringView letters)
{
    if (letters.isEmpty() || letters.size() > 3)
        return -1;
    int column = 0;
    for (QChar c : letters) {
        const char16_t u = c.unicode();
        int v;
        if (u >= u'A' && u <= u'Z')
            v = u - u'A';
        else if (u >= u'a' && u <= u'z')
            v = u - u'a';
        else
            return -1;
        column = column * 26 + v + 1;
    }
    return column <= maxColumns ? column - 1 : -1;
}

QString columnName(int column)
{
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

QString cancelledText()
{
    return QStringLiteral("读取已取消");
}

QString Sheet::cell(int column, int row) const
{
    const auto it = std::lower_bound(
        cells_.begin(), cells_.end(), std::pair(row, column),
        [](const Cell& c, const std::pair<int, int>& key) { return std::pair(c.row, c.column) < key; });
    if (it != cells_.end() && it->row == row && it->column == column)
        return it->text;
    return {};
}

QString Sheet::cell(QStringView letters, int row) const
{
    const int column = columnIndex(letters);
    return column < 0 ? QString() : cell(column, row);
}

void Sheet::finish()
{
    if (!ordered_) {
        std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
            return std::pair(a.row, a.column) < std::pair(b.row, b.column);
        });
        // Of two cells at one place the later one wins.
        std::vector<Cell> unique;
        unique.reserve(cells_.size());
        for (Cell& c : cells_) {
            if (!unique.empty() && unique.back().row == c.row && unique.back().column == c.column)
                unique.back() = std::move(c);
            else
                unique.push_back(std::move(c));
        }
        cells_.swap(unique);
        ordered_ = true;
    }
    cells_.erase(std::remove_if(cells_.begin(), cells_.end(), [](const Cell& c) { return c.text.isEmpty(); }),
                 cells_.end());
}

void Sheet::reserve(size_t cells)
{
    // Pages of the reserve that are never written cost no memory.
    cells_.reserve(std::min(cells, maxCells));
}

}  // namespace workbook
