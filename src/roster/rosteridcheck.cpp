#include "rosteridcheck.h"

#include "idnumber.h"
#include "rosterread.h"

#include <QTextStream>

#include <algorithm>

namespace {

// One line per problem: the cell's own line breaks and tabs are written out.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

}  // namespace

int checkRosterIds(const QString& path, const QString& columnList, QTextStream& out, QTextStream& err)
{
    const auto columns = columnsFromList(columnList);
    if (!columns) {
        err << QStringLiteral("列设置“%1”多于三列").arg(columnList) << "\n";
        return 2;
    }
    const Result<Roster> read = readRosterRows(path, *columns);
    if (!read) {
        err << read.error() << "\n";
        return 2;
    }
    const Roster& rows = read.value();
    std::vector<idnumber::Problem> problems;
    bool anyColumn = false;
    for (size_t c = 0; c < columns->size(); ++c) {
        const idnumber::ColumnCheck check =
            idnumber::checkColumn(int(rows.size()), [&rows, c](int row) { return rows[size_t(row)].cells[c]; });
        anyColumn = anyColumn || check.holdsIds;
        problems.insert(problems.end(), check.problems.begin(), check.problems.end());
    }
    if (!anyColumn)
        err << QStringLiteral("没有一列是身份证号") << "\n";
    std::stable_sort(problems.begin(), problems.end(),
                     [](const idnumber::Problem& a, const idnumber::Problem& b) { return a.row < b.row; });
    for (const idnumber::Problem& p : problems)
        out << p.row + 1 << '\t' << oneLine(p.value) << '\t' << p.reason << '\n';
    out.flush();
    return problems.empty() ? 0 : 1;
}
