#include "rosterread.h"

#include "workbookfile.h"

#include <QDir>
#include <QStringConverter>

namespace {

constexpr int blankRowsThatEndTheRoster = 5;

QString fileError(const QString& path, const QString& reason)
{
    return QStringLiteral("无法读取名单文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
}

QString escaped(const QString& cell)
{
    QString out;
    out.reserve(cell.size());
    for (QChar c : cell) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\";
            break;
        case u'\t':
            out += u"\\t";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\r':
            out += u"\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

}  // namespace

bool isRosterFileName(const QString& path)
{
    return workbook::isWorkbookFileName(path);
}

Result<Roster> readRosterRows(const QString& path, const std::array<QString, 3>& columns,
                              const std::atomic<bool>* cancel)
{
    // Refused before anything else: such a read would block or never end.
    if (const Status regular = workbook::checkRegularFile(path); !regular)
        return failure(regular.error());
    std::array<int, 3> index{-1, -1, -1};
    workbook::ReadOptions options;
    options.cancel = cancel;
    for (size_t k = 0; k < 3; ++k) {
        const QString name = columns[k].trimmed();
        if (name.isEmpty() || name == refusedColumnText())
            continue;
        index[k] = workbook::columnIndex(name);
        if (index[k] < 0)
            return failure(fileError(path, QStringLiteral("“%1”不是列名（应为 A–XFD 的字母）").arg(name)));
        options.columns.push_back(index[k]);
    }
    Roster result;
    if (options.columns.empty())  // nothing to read: every row would be blank
        return result;
    Result<workbook::Sheet> book = workbook::readWorkbook(path, options);
    if (!book)
        return failure(fileError(path, book.error()));

    // Walk the sheet rows in order; rows without kept cells are blank. The
    // texts move into the roster: the sheet is dropped right after.
    std::vector<workbook::Sheet::Cell> cells = book.value().takeCells();
    result.reserve(cells.size() / options.columns.size());
    int blanks = 0;
    size_t next = 0;
    for (int row = 1;; ++row) {
        if (next == cells.size()) {
            break;  // only blank rows remain, and the fifth of them ends the read anyway
        }
        if (cells[next].row > row) {
            // The rows up to the next stored cell are blank.
            const int gap = cells[next].row - row;
            if (blanks + gap >= blankRowsThatEndTheRoster)
                break;
            blanks += gap;
            row = cells[next].row;
        }
        RosterEntry& entry = result.emplace_back();
        bool any = false;
        for (; next < cells.size() && cells[next].row == row; ++next) {
            const QString* first = nullptr;  // one sheet column may feed several roster columns
            for (size_t k = 0; k < 3; ++k) {
                if (index[k] == cells[next].column) {
                    if (first) {
                        entry.cells[k] = *first;
                    } else {
                        entry.cells[k] = std::move(cells[next].text);
                        first = &entry.cells[k];
                    }
                    any = true;
                }
            }
        }
        if (!any) {
            result.pop_back();
            if (++blanks >= blankRowsThatEndTheRoster)
                break;
            continue;
        }
    }
    return result;
}

std::optional<std::array<QString, 3>> columnsFromList(const QString& list)
{
    std::array<QString, 3> columns{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    if (list.isEmpty())
        return columns;
    const QStringList parts = list.split(u',');
    if (parts.size() > 3)
        return std::nullopt;
    for (size_t k = 0; k < 3; ++k)
        columns[k] = k < size_t(parts.size()) ? parts[qsizetype(k)].trimmed() : QString();
    return columns;
}

int dumpRoster(const QString& path, const QString& columnList, QTextStream& out, QTextStream& err)
{
    const std::optional<std::array<QString, 3>> chosen = columnsFromList(columnList);
    if (!chosen) {
        err << QStringLiteral("列设置“%1”多于三列\n").arg(columnList);
        err.flush();
        return 2;
    }
    const std::array<QString, 3>& columns = *chosen;
    const Result<Roster> result = readRosterRows(path, columns);
    if (!result) {
        err << result.error() << '\n';
        err.flush();
        return 1;
    }
    out.setEncoding(QStringConverter::Utf8);
    for (const RosterEntry& row : result.value())
        out << escaped(row.cells[0]) << '\t' << escaped(row.cells[1]) << '\t' << escaped(row.cells[2]) << '\n';
    out.flush();
    return 0;
}
