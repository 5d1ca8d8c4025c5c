#include "reportcommands.h"

#include "contactsheet.h"
#include "missinglist.h"
#include "rosterread.h"
#include "safewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <optional>
#include <variant>

namespace {

struct Loaded {
    PhotoCensus census;
    std::array<QString, 3> columns;
};

// The output may be written: a name of the report's kind, not the workbook
// read, not among the photos (every file right in the photo folder is taken
// for one). The reason when not.
Status outputAllowed(const ReportCommand& command, Status (*nameAccepted)(const QString&))
{
    if (Status accepted = nameAccepted(command.output); !accepted)
        return accepted;
    const QString shown = QDir::toNativeSeparators(command.output);
    if (safewrite::sameFile(command.output, command.workbook))
        return failure(QStringLiteral("输出文件 %1 就是读取的名单，不能覆盖").arg(shown));
    if (safewrite::resolvedPath(QFileInfo(command.output).absolutePath()) ==
        QFileInfo(command.folder).canonicalFilePath())
        return failure(QStringLiteral("输出文件 %1 在照片文件夹里，那里只放照片").arg(shown));
    return Status::success();
}

// Reads the roster and checks the folder and the output; the exit status
// when that fails.
std::variant<Loaded, int> load(const ReportCommand& command, Status (*nameAccepted)(const QString&), QTextStream& err)
{
    const auto columns = columnsFromList(command.columns);
    if (!columns) {
        err << QStringLiteral("列设置“%1”多于三列").arg(command.columns) << "\n";
        return 2;
    }
    if (command.output.isEmpty()) {
        err << QStringLiteral("需要 -o 输出文件") << "\n";
        return 2;
    }
    if (command.folder.isEmpty() || !QDir(command.folder).exists()) {
        err << QStringLiteral("照片文件夹不存在：%1").arg(QDir::toNativeSeparators(command.folder)) << "\n";
        return 2;
    }
    if (const Status allowed = outputAllowed(command, nameAccepted); !allowed) {
        err << allowed.error() << "\n";
        return 2;
    }
    const Result<Roster> read = readRosterRows(command.workbook, *columns);
    if (!read) {
        err << read.error() << "\n";
        return 1;
    }
    return Loaded{takeCensus(read.value(), 0, command.folder), *columns};
}

}  // namespace

int runMissingListCommand(const ReportCommand& command, QTextStream& out, QTextStream& err)
{
    auto loaded = load(command, missingListNameAccepted, err);
    if (const int* status = std::get_if<int>(&loaded))
        return *status;
    const PhotoCensus& census = std::get<Loaded>(loaded).census;
    const Status written = writeMissingList(census, command.output);
    if (!written) {
        err << written.error() << "\n";
        return 1;
    }
    out << census.summary() << "\n";
    return 0;
}

int runContactSheetCommand(const ReportCommand& command, QTextStream& out, QTextStream& err)
{
    auto loaded = load(command, contactSheetNameAccepted, err);
    if (const int* status = std::get_if<int>(&loaded))
        return *status;
    Loaded& data = std::get<Loaded>(loaded);
    int group = 2;
    if (!command.groupBy.isEmpty()) {
        const QString wanted = command.groupBy.trimmed();
        const auto found = std::find_if(data.columns.begin(), data.columns.end(), [&wanted](const QString& column) {
            return column.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (found == data.columns.end()) {
            err << QStringLiteral("分组列 %1 不是导入的列之一").arg(command.groupBy) << "\n";
            return 2;
        }
        group = int(found - data.columns.begin());
    }
    ContactSheetJob job{std::move(data.census), command.folder, 0, 1, group, command.output};
    const Result<int> pages = writeContactSheet(job);
    if (!pages) {
        err << pages.error() << "\n";
        return 1;
    }
    out << job.census.summary() << QStringLiteral("，共 %1 页").arg(pages.value()) << "\n";
    return 0;
}
