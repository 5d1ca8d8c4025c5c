#pragma once
#include "result.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

// The first worksheet of a workbook, read into memory as cell texts.
namespace workbook {

constexpr int maxRows = 1048576;
constexpr int maxColumns = 16384;
// A part of a workbook that inflates past this is refused.
constexpr qint64 maxPartBytes = qint64(256) * 1024 * 1024;
// Cells kept in memory at most; hostile files cannot make the reader grow past it.
constexpr size_t maxCells = 4u * 1024 * 1024;

// 0-based column of "A", "AB", "xfd"; -1 when the text is not a column name.
int columnIndex(QStringView letters);
QString columnName(int column);

// Which columns a reader keeps; the rest are skipped while reading.
struct ReadOptions {
    std::vector<int> columns;  // empty keeps every column
    // Set from another thread to stop a read early; it then fails with cancelledText().
    const std::atomic<bool>* cancel = nullptr;

    bool keeps(int column) const
    {
        for (int c : columns) {
            if (c == column)
                return true;
        }
        return columns.empty();
    }
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

// The reason a cancelled read gives.
QString cancelledText();

class Sheet {
public:
    struct Cell {
        int32_t row = 0;  // 1-based
        int32_t column = 0;  // 0-based
        QString text;
    };

    // "" for a cell that is empty or was not kept.
    QString cell(int column, int row) const;
    QString cell(QStringView letters, int row) const;
    // Cells ordered by row, then column; empty texts are not stored.
    const std::vector<Cell>& cells() const { return cells_; }
    int lastRow() const { return cells_.empty() ? 0 : cells_.back().row; }
    // The cells handed over without copying their texts; the sheet is left empty.
    std::vector<Cell> takeCells() { return std::exchange(cells_, {}); }

    // Building. A later cell at the same place replaces an earlier one.
    // False when the sheet is already full (maxCells).
    bool add(int row, int column, QString&& text)
    {
        if (cells_.size() >= maxCells)
            return false;
        if (!cells_.empty()) {
            const Cell& last = cells_.back();
            if (row < last.row || (row == last.row && column <= last.column))
                ordered_ = false;
        }
        Cell& cell = cells_.emplace_back();
        cell.row = row;
        cell.column = column;
        cell.text = std::move(text);
        return true;
    }
    // Room for this many cells at once (capped at maxCells): growing a large
    // sheet step by step copies it several times.
    void reserve(size_t cells);
    // Fills in a cell added with empty text; position counts from the first add.
    void setText(size_t position, QString text) { cells_[position].text = std::move(text); }
    size_t size() const { return cells_.size(); }
    void finish();

private:
    std::vector<Cell> cells_;
    bool ordered_ = true;
};

}  // namespace workbook
