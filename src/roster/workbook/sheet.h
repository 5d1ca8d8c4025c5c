#pragma once
#include "result.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
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
        int32_t row;  // 1-based
        int32_t column;  // 0-based
        QString text;
    };

    // "" for a cell that is empty or was not kept.
    QString cell(int column, int row) const;
    QString cell(QStringView letters, int row) const;
    // Cells ordered by row, then column; empty texts are not stored.
    const std::vector<Cell>& cells() const { return cells_; }
    int lastRow() const { return cells_.empty() ? 0 : cells_.back().row; }

    // Building. A later cell at the same place replaces an earlier one.
    // False when the sheet is already full (maxCells).
    bool add(int row, int column, QString text);
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
