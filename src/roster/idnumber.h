#pragma once
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// Resident identity numbers (GB 11643) as rosters hold them: 18 characters
// whose last is a check digit, or the old 15 digits. A roster that went
// through Excel often holds them damaged: a number cell keeps 15 significant
// digits, so an 18-digit number comes out in scientific notation or with its
// last three digits 000, and a number written out again as text gains a
// trailing ".0". Such a number cannot name a photo the registry will match.
namespace idnumber {

enum class Kind {
    None,  // empty, or no digit at all ("无"): no number given
    Valid,  // 18 characters with the right check digit, or 15 digits with a birth date
    ExcelDamaged,  // scientific notation, a trailing ".0", or 000 at the end with a wrong check digit
    Invalid,  // a wrong check digit, length, birth date or character
};

struct Check {
    Kind kind = Kind::None;
    QString reason;  // why not Valid (ExcelDamaged, Invalid)
    // Valid: the number as it names a file (half-width, trimmed, capital X).
    QString number;
};

Check check(QStringView text);

// The check digit of the first 17 digits: weights 7 9 10 5 8 4 2 1 6 3 7 9
// 10 5 8 4 2, the sum modulo 11 picks from "10X98765432".
QChar checkDigit(QStringView first17);

// A problem found in one row of a column.
struct Problem {
    int row = 0;  // 0-based roster row
    QString value;  // the cell as it reads
    Kind kind = Kind::Invalid;
    QString reason;
};

struct ColumnCheck {
    // Whether the column holds identity numbers at all (see checkColumn).
    bool holdsIds = false;
    int filled = 0;  // non-empty cells
    int shaped = 0;  // cells that look like identity numbers, right or wrong
    int without = 0;  // rows with no number (None); counted when holdsIds
    std::vector<Problem> problems;  // in row order; only when holdsIds

    // For the operator, once: the count and the first rows of each kind,
    // "第 12、31 行的身份证号可能被 Excel 改坏…". Empty without problems.
    QString summary() const;
};

// Checks one column of a roster, cell(row) for rows 0..rows-1. A column
// holds identity numbers when more than half of its non-empty cells look like
// one (15 to 18 digits, an X at the end, or Excel's damaged forms of them):
// a header row or a few notes do not hide it, and columns of names, student
// numbers or phone numbers never qualify.
ColumnCheck checkColumn(int rows, const std::function<QString(int row)>& cell);

}  // namespace idnumber
