#include "uploadexport.h"

#include "idnumber.h"
#include "jpegcodec.h"
#include "photocheck.h"
#include "photofile.h"
#include "photopath.h"
#include "rosterread.h"
#include "safewrite.h"
#include "zipwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <atomic>
#include <cmath>

namespace {

const QString noGroup = QStringLiteral("未分组");

// The file name a text gives by the one photo-name rule, with another ending.
PhotoPath fileNameWith(const QString& text, const QString& suffix)
{
    PhotoPath file = photopath::fileName(text);
    if (file.ok())
        file.path = file.path.chopped(4) + suffix;  // the rule always appends ".jpg"
    return file;
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// What becomes of one row.
struct Entry {
    int row = 0;
    QString group;
    QString zipName;
    QString fileName;
    QStringList reasons;  // empty: it is packed
    // Made on a worker.
    QByteArray bytes;
    QString note;
};

}  // namespace

// --- the fallback name ------------------------------------------------------

Result<NameTemplate> NameTemplate::parse(const QString& text, const std::array<QString, 3>& letters)
{
    NameTemplate t;
    t.text_ = text;
    const QString usage = QStringLiteral("后备命名“%1”").arg(text);
    if (text.trimmed().isEmpty())
        return failure(usage + QStringLiteral("为空"));
    QString literal;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('}'))
            return failure(usage + QStringLiteral("中的“}”前面没有“{”"));
        if (c != QLatin1Char('{')) {
            literal += c;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0)
            return failure(usage + QStringLiteral("中的“{”没有配对的“}”"));
        const QString name = text.mid(i + 1, close - i - 1).trimmed();
        int column = -1;
        for (int k = 0; k < 3; ++k) {
            if (name == QStringLiteral("列%1").arg(k + 1) ||
                (!letters[size_t(k)].isEmpty() && name.compare(letters[size_t(k)], Qt::CaseInsensitive) == 0))
                column = k;
        }
        if (column < 0) {
            QStringList known;
            for (const QString& letter : letters)
                if (!letter.isEmpty())
                    known << QStringLiteral("{%1}").arg(letter);
            known << QStringLiteral("{列1}、{列2}、{列3}");
            return failure(
                usage +
                QStringLiteral("中的“{%1}”不是导入的列（可用 %2）").arg(name, known.join(QStringLiteral("、"))));
        }
        t.parts_.push_back({literal, -1, {}});
        literal.clear();
        t.parts_.push_back({{}, column, name});
        i = close;
    }
    if (!literal.isEmpty())
        t.parts_.push_back({literal, -1, {}});
    return t;
}

Result<QString> NameTemplate::nameFor(const RosterEntry& row) const
{
    QString name;
    for (const Part& part : parts_) {
        if (part.column < 0) {
            name += part.literal;
            continue;
        }
        const QString cell = row.cells[size_t(part.column)].trimmed();
        if (cell.isEmpty())
            return failure(QStringLiteral("后备命名所需的 {%1} 为空").arg(part.written));
        name += cell;
    }
    return name;
}

// --- the photo --------------------------------------------------------------

QString originalsFolderName()
{
    return QStringLiteral("原图");
}

Result<ExportSource> exportSourceFor(const QString& photoFolder, const QString& photoName)
{
    const PhotoPath original = photopath::filePath(photoFolder + QLatin1Char('/') + originalsFolderName(), photoName);
    if (original.ok() && QFileInfo(original.path).isFile()) {
        Result<QImage> picture = loadJpeg(original.path);
        if (!picture)
            return failure(QStringLiteral("原图无法读取：") + picture.error());
        return ExportSource{std::move(picture).value(), true};
    }
    const PhotoPath saved = photopath::filePath(photoFolder, photoName);
    if (!saved.ok())
        return failure(saved.error);
    Result<QImage> picture = loadJpeg(saved.path);
    if (!picture)
        return failure(QStringLiteral("照片无法读取：") + picture.error());
    return ExportSource{std::move(picture).value(), false};
}

Result<FramedPhoto> centreCutForPreset(const ExportSource& source, const PhotoPreset& preset)
{
    const QImage& picture = source.picture;
    const QSize target = preset.size;
    if (picture.isNull() || target.isEmpty())
        return failure(QStringLiteral("没有可用的照片"));
    // The largest middle part with the preset's aspect.
    QSize cut = target.scaled(picture.size(), Qt::KeepAspectRatio);
    cut = cut.boundedTo(picture.size()).expandedTo(QSize(1, 1));
    const QRect middle(QPoint((picture.width() - cut.width()) / 2, (picture.height() - cut.height()) / 2), cut);
    FramedPhoto framed;
    framed.photo = cut == target ? picture.copy(middle) : scaleToPhotoSize(picture.copy(middle), target);
    if (framed.photo.isNull())
        return failure(QStringLiteral("内存不足，无法缩放照片"));
    if (cut.width() < target.width()) {
        framed.note = QStringLiteral("%1只有 %2×%3 像素，已放大到 %4×%5")
                          .arg(source.original ? QStringLiteral("原图") : QStringLiteral("照片"))
                          .arg(cut.width())
                          .arg(cut.height())
                          .arg(target.width())
                          .arg(target.height());
    }
    return framed;
}

// --- the export -------------------------------------------------------------

QString problemListName()
{
    return QStringLiteral("问题记录.csv");
}

QString StagedExport::summary() const
{
    return QStringLiteral("%1 个分组，%2 张照片，%3 个问题").arg(groups).arg(photos).arg(problems.size());
}

Result<QStringList> StagedExport::publish()
{
    QStringList kept;
    for (StagedReport& file : files) {
        const Result<QString> placed = file.publish();
        if (!placed)
            return failure(placed.error());
        if (!placed.value().isEmpty())
            kept << placed.value();
    }
    files.clear();
    return kept;
}

QByteArray problemListCsv(const std::vector<ExportProblem>& problems, const QString& summary)
{
    QString text = QStringLiteral("行号,分组,照片名,上报文件名,原因\r\n");
    for (const ExportProblem& p : problems) {
        text += QString::number(p.row + 1) + QLatin1Char(',') + csvField(p.group) + QLatin1Char(',') +
                csvField(p.photoName) + QLatin1Char(',') + csvField(p.fileName) + QLatin1Char(',') +
                csvField(p.reason) + QStringLiteral("\r\n");
    }
    text += csvField(summary) + QStringLiteral("\r\n");
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

namespace {

QString joinedNote(const QString& first, const QString& second)
{
    return first.isEmpty() ? second : first + QStringLiteral("；") + second;
}

}  // namespace

Result<StagedExport> stageExport(const ExportJob& job, const std::function<bool(int, int)>& progress)
{
    if (job.preset.size.isEmpty())
        return failure(QStringLiteral("照片规格“%1”没有尺寸").arg(job.preset.name));
    if (!QDir().mkpath(job.outFolder))
        return failure(QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(job.outFolder)));
    const int rowCount = int(job.rows.size());
    const auto cell = [&job](int row, int column) { return job.rows[size_t(row)].cells[size_t(column)]; };

    // Whose photo is there, by the roster's own rule: a file two rows'
    // names share is the first row's.
    std::vector<QString> photoNames;
    photoNames.reserve(size_t(rowCount));
    for (int row = 0; row < rowCount; ++row)
        photoNames.push_back(cell(row, job.photoColumn));
    const std::vector<bool> photographed = photographedNames(job.photoFolder, photoNames);
    const bool byIdNumber =
        idnumber::checkColumn(rowCount, [&](int row) { return cell(row, job.nameColumn); }).holdsIds;

    // The name each row gets, and why a row cannot go in.
    std::vector<Entry> entries(static_cast<size_t>(rowCount));
    QHash<QString, int> claimed;  // file name, lower case: the first row packed under it
    QStringList groupOrder;
    for (int row = 0; row < rowCount; ++row) {
        Entry& e = entries[size_t(row)];
        e.row = row;
        const QString groupText = cell(row, job.groupColumn).trimmed();
        e.group = groupText.isEmpty() ? noGroup : groupText;
        const PhotoPath zip = fileNameWith(e.group, QStringLiteral(".zip"));
        if (zip.ok())
            e.zipName = zip.path;
        else
            e.reasons << QStringLiteral("分组名不能作文件名：") + zip.error;

        if (!photographed[size_t(row)])
            e.reasons << QStringLiteral("没有照片");

        // By identity number: a wrong one is the school's to mend, never
        // hidden under the fallback name; only a row without one takes it.
        QString name;
        bool badNumber = false;
        const QString value = cell(row, job.nameColumn);
        if (byIdNumber) {
            const idnumber::Check id = idnumber::check(value);
            badNumber = id.kind == idnumber::Kind::ExcelDamaged || id.kind == idnumber::Kind::Invalid;
            if (id.kind == idnumber::Kind::Valid)
                name = id.number;
            else if (id.kind == idnumber::Kind::ExcelDamaged)
                e.reasons << QStringLiteral("身份证号可能被 Excel 改坏：") + id.reason;
            else if (badNumber)
                e.reasons << QStringLiteral("身份证号有误：") + id.reason;
        } else {
            name = value.trimmed();
        }
        const bool unnamed = name.isEmpty() && !badNumber;
        if (unnamed && job.fallback) {
            const Result<QString> fallback = job.fallback->nameFor(job.rows[size_t(row)]);
            if (fallback)
                name = fallback.value();
            else
                e.reasons << fallback.error();
        } else if (unnamed) {
            e.reasons << (byIdNumber ? QStringLiteral("没有身份证号") : QStringLiteral("照片名为空"));
        }
        if (!name.isEmpty()) {
            const PhotoPath file = photopath::fileName(name);
            if (file.ok())
                e.fileName = file.path;
            else
                e.reasons << file.error;
        }
        // Only a row that goes in takes its name: the first one keeps it.
        if (e.reasons.isEmpty()) {
            const QString key = e.fileName.toLower();  // one file on a system that ignores letter case
            if (const auto first = claimed.constFind(key); first != claimed.cend())
                e.reasons << QStringLiteral("与第 %1 行的上报文件名相同").arg(first.value() + 1);
            else
                claimed.insert(key, row);
        }
        if (e.reasons.isEmpty() && !groupOrder.contains(e.zipName))
            groupOrder << e.zipName;
    }

    const int total = int(claimed.size());
    std::atomic_int done{0};
    std::atomic_bool cancelled{false};
    const auto carryOn = [&](int finished) {
        if (progress && !progress(finished, total))
            cancelled.store(true);
        return !cancelled.load();
    };
    if (!carryOn(0))
        return failure(QStringLiteral("已取消"));

    StagedExport staged;
    // A few threads of our own: a caller on the global pool does not wait on it.
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    for (const QString& zipName : groupOrder) {
        std::vector<Entry*> members;
        for (Entry& e : entries)
            if (e.reasons.isEmpty() && e.zipName == zipName)
                members.push_back(&e);
        QtConcurrent::blockingMap(&pool, members, [&](Entry* e) {
            if (cancelled.load())
                return;
            const Result<FramedPhoto> framed = [&]() -> Result<FramedPhoto> {
                // The decoded picture lives only while the photo is made of it.
                const Result<ExportSource> source = exportSourceFor(job.photoFolder, photoNames[size_t(e->row)]);
                if (!source)
                    return failure(source.error());
                Result<FramedPhoto> made = job.framer(source.value(), job.preset);
                if (made && job.backdrop && job.replaceBackdrop) {
                    if (const Result<QImage> replaced = job.replaceBackdrop(made->photo, *job.backdrop))
                        made.value().photo = replaced.value();
                    else
                        made.value().note = joinedNote(made->note, replaced.error() + QStringLiteral("，背景未更换"));
                }
                return made;
            }();
            if (!framed) {
                e->reasons << framed.error();
            } else {
                const QImage& photo = framed->photo;
                const int dpi = job.preset.dpi;
                const Result<LimitedJpeg> encoded =
                    encodeWithinRange([&photo, dpi](int quality) { return jpeg::encode(photo, quality, dpi); },
                                      job.quality, job.preset.kb.minBytes(), job.preset.kb.maxBytes());
                if (encoded) {
                    e->bytes = encoded->bytes;
                    e->note = framed->note;
                } else {
                    e->reasons << QStringLiteral("达不到照片规格“%1”：").arg(job.preset.name) + encoded.error();
                }
            }
            carryOn(++done);
        });
        if (cancelled.load())
            return failure(QStringLiteral("已取消"));

        ZipWriter zip;
        int packed = 0;
        for (Entry* e : members) {
            if (!e->reasons.isEmpty())
                continue;
            if (const Status added = zip.add(e->fileName, e->bytes); !added)
                return failure(added.error());
            e->bytes.clear();
            ++packed;
        }
        if (packed == 0)
            continue;
        Result<QByteArray> archive = zip.finish();
        if (!archive)
            return failure(archive.error());
        Result<StagedReport> file =
            StagedReport::create(job.outFolder + QLatin1Char('/') + zipName, QStringLiteral("上报照片包"));
        if (!file)
            return failure(file.error());
        if (const Status written = file.value().file.write(archive.value()); !written)
            return failure(written.error());
        staged.files.push_back(std::move(file).value());
        ++staged.groups;
        staged.photos += packed;
    }

    for (const Entry& e : entries) {
        if (e.reasons.isEmpty() && e.note.isEmpty())
            continue;
        ExportProblem p;
        p.row = e.row;
        p.group = e.group;
        p.photoName = photoNames[size_t(e.row)];
        p.fileName = e.fileName;
        p.packed = e.reasons.isEmpty();
        p.reason = p.packed ? e.note : e.reasons.join(QStringLiteral("；"));
        staged.problems.push_back(p);
    }
    Result<StagedReport> list =
        StagedReport::create(job.outFolder + QLatin1Char('/') + problemListName(), QStringLiteral("问题记录"));
    if (!list)
        return failure(list.error());
    if (const Status written = list.value().file.write(problemListCsv(staged.problems, staged.summary())); !written)
        return failure(written.error());
    staged.files.push_back(std::move(list).value());
    return staged;
}

// --- the command line -------------------------------------------------------

namespace {

// The imported column a letter names; -1 when none.
int importedColumn(const std::array<QString, 3>& columns, const QString& letter)
{
    for (int k = 0; k < 3; ++k)
        if (!columns[size_t(k)].isEmpty() && columns[size_t(k)].compare(letter.trimmed(), Qt::CaseInsensitive) == 0)
            return k;
    return -1;
}

}  // namespace

int runExportCommand(const ExportCommand& command, const PresetCatalogue& presets, QTextStream& out, QTextStream& err)
{
    const auto refuse = [&err](const QString& why) {
        err << why << "\n";
        return 2;
    };
    const auto columns = columnsFromList(command.columns);
    if (!columns)
        return refuse(QStringLiteral("列设置“%1”多于三列").arg(command.columns));
    const PhotoPreset* preset = presets.find(command.preset);
    if (!preset)
        return refuse(QStringLiteral("没有照片规格“%1”（可用：%2）")
                          .arg(command.preset, presets.names().join(QStringLiteral("、"))));
    if (command.output.isEmpty())
        return refuse(QStringLiteral("需要 -o 输出文件夹"));
    if (command.folder.isEmpty() || !QDir(command.folder).exists())
        return refuse(QStringLiteral("照片文件夹不存在：%1").arg(QDir::toNativeSeparators(command.folder)));
    if (safewrite::resolvedPath(command.output) == safewrite::resolvedPath(command.folder))
        return refuse(
            QStringLiteral("输出文件夹 %1 就是照片文件夹，那里只放照片").arg(QDir::toNativeSeparators(command.output)));
    if (QFileInfo(command.output).exists() && !QFileInfo(command.output).isDir())
        return refuse(QStringLiteral("输出 %1 不是文件夹").arg(QDir::toNativeSeparators(command.output)));
    const QString listPath = command.output + QLatin1Char('/') + problemListName();
    const auto list = safewrite::identityOf(listPath);
    const auto workbook = safewrite::identityOf(command.workbook);
    if (safewrite::resolvedPath(listPath) == safewrite::resolvedPath(command.workbook) ||
        (list && workbook && list->device == workbook->device && list->inode == workbook->inode))
        return refuse(QStringLiteral("问题记录 %1 就是读取的名单，不能覆盖").arg(QDir::toNativeSeparators(listPath)));

    ExportJob job;
    job.photoColumn = 0;
    job.nameColumn = command.nameBy.isEmpty() ? 0 : importedColumn(*columns, command.nameBy);
    job.groupColumn = command.groupBy.isEmpty() ? 2 : importedColumn(*columns, command.groupBy);
    if (job.nameColumn < 0)
        return refuse(QStringLiteral("命名列 %1 不是导入的列之一").arg(command.nameBy));
    if (job.groupColumn < 0)
        return refuse(QStringLiteral("分组列 %1 不是导入的列之一").arg(command.groupBy));
    if (!command.fallback.isEmpty()) {
        Result<NameTemplate> fallback = NameTemplate::parse(command.fallback, *columns);
        if (!fallback)
            return refuse(fallback.error());
        job.fallback = std::move(fallback).value();
    }
    job.preset = *preset;
    if (!command.background.isEmpty()) {
        job.backdrop = command.background == QStringLiteral("preset") ? preset->background
                                                                      : backdropColourNamed(command.background);
        if (!job.backdrop)
            return refuse(command.background == QStringLiteral("preset")
                              ? QStringLiteral("照片规格“%1”没有规定背景色").arg(preset->name)
                              : QStringLiteral("背景色“%1”无效（blue、lightblue、white、red、#RRGGBB 或 preset）")
                                    .arg(command.background));
        job.replaceBackdrop = command.replaceBackdrop;
    }
    job.photoFolder = command.folder;
    job.outFolder = command.output;

    Result<Roster> read = readRosterRows(command.workbook, *columns);
    if (!read) {
        err << read.error() << "\n";
        return 1;
    }
    job.rows = std::move(read).value();
    if (command.headerRow && !job.rows.empty())
        job.rows.erase(job.rows.begin());
    Result<StagedExport> staged = stageExport(job);
    if (!staged) {
        err << staged.error() << "\n";
        return 1;
    }
    const QString summary = staged->summary();
    const bool clean = staged->problems.empty();
    const Result<QStringList> published = staged.value().publish();
    if (!published) {
        err << published.error() << "\n";
        return 1;
    }
    out << summary << "\n";
    if (!clean)
        out << QStringLiteral("问题记录：%1").arg(QDir::toNativeSeparators(listPath)) << "\n";
    return clean ? 0 : 1;
}
