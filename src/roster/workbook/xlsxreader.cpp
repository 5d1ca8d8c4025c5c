#include "xlsxreader.h"

#include "celltext.h"
#include "xlsreader.h"
#include "zippart.h"

#include <QDateTime>
#include <QHash>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

namespace workbook {

namespace {

bool is(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

// Attribute numbers clamped to int: a huge value must not overflow.
int toInt(const char* s)
{
    const long v = std::strtol(s, nullptr, 10);
    return int(std::clamp<long>(v, INT_MIN, INT_MAX));
}

// Lists a hostile file could make endless are cut at this length.
constexpr int maxListEntries = 65536;

bool endsWith(const QString& s, const char* tail)
{
    return s.endsWith(QLatin1String(tail));
}

// Part names inside the package: no leading slash, "." and ".." resolved.
QString resolvePart(const QString& baseDir, const QString& target)
{
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    const QString joined = decoded.startsWith(u'/') ? decoded.mid(1) : baseDir + decoded;
    QStringList out;
    for (const QString& seg : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (seg == u".")
            continue;
        if (seg == u"..") {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out.append(seg);
    }
    return out.join(u'/');
}

QString directoryOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString relsPartOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

struct Relationship {
    QString type;
    QString target;  // resolved part name
};

struct RelsSink : XmlSink {
    QString baseDir;
    QHash<QString, Relationship> byId;
    void start(const char* name, const char** a) override
    {
        if (!is(name, "Relationship"))
            return;
        const char* id = attribute(a, "Id");
        const char* type = attribute(a, "Type");
        const char* target = attribute(a, "Target");
        const char* mode = attribute(a, "TargetMode");
        if (!id || !target || (mode && is(mode, "External")) || byId.size() >= maxListEntries)
            return;
        byId.insert(QString::fromUtf8(id),
                    {QString::fromUtf8(type ? type : ""), resolvePart(baseDir, QString::fromUtf8(target))});
    }
    void end(const char*) override { }
    void text(const char*, int) override { }
    Relationship firstOfType(const char* tail) const
    {
        for (auto it = byId.cbegin(); it != byId.cend(); ++it) {
            if (endsWith(it.value().type, tail))
                return it.value();
        }
        return {};
    }
};

struct WorkbookSink : XmlSink {
    bool date1904 = false;
    QStringList sheetIds;  // relationship ids in tab order
    void start(const char* name, const char** a) override
    {
        if (is(name, "workbookPr")) {
            const char* v = attribute(a, "date1904");
            date1904 = v && (is(v, "1") || is(v, "true"));
        } else if (is(name, "sheet") && sheetIds.size() < maxListEntries) {
            const char* id = attribute(a, "id");
            sheetIds.append(QString::fromUtf8(id ? id : ""));
        }
    }
    void end(const char* name) override
    {
        if (is(name, "sheets"))
            stop = true;  // nothing after the sheet list matters
    }
    void text(const char*, int) override { }
};

struct StylesSink : XmlSink {
    std::map<int, QString> formats;  // custom number formats by id
    std::vector<int> xfFormats;  // number format id of each cell format
    bool inCellXfs = false;
    void start(const char* name, const char** a) override
    {
        if (is(name, "numFmt")) {
            const char* id = attribute(a, "numFmtId");
            const char* code = attribute(a, "formatCode");
            if (id && code && formats.size() < size_t(maxListEntries))
                formats[toInt(id)] = QString::fromUtf8(code);
        } else if (is(name, "cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && is(name, "xf")) {
            const char* id = attribute(a, "numFmtId");
            if (xfFormats.size() < size_t(maxListEntries))
                xfFormats.push_back(id ? toInt(id) : 0);
        }
    }
    void end(const char* name) override
    {
        if (is(name, "cellXfs")) {
            inCellXfs = false;
            stop = true;
        }
    }
    void text(const char*, int) override { }

    std::vector<DateKind> dateKinds() const
    {
        std::vector<DateKind> kinds;
        kinds.reserve(xfFormats.size());
        for (int id : xfFormats) {
            const auto it = formats.find(id);
            kinds.push_back(it != formats.end() ? dateKindOfCode(it->second) : builtinDateKind(id));
        }
        return kinds;
    }
};

// Shared strings that the kept cells ask for, by index.
struct SharedStringsSink : XmlSink {
    const std::vector<uint32_t>* wanted;  // sorted, unique
    std::vector<QString> found;  // parallel to wanted
    size_t next = 0;  // first wanted index not yet reached
    uint32_t index = 0;
    int depth = 0;  // inside <si>
    int phonetic = 0;  // inside <rPh>
    bool inText = false;  // inside <t>
    bool keep = false;
    QByteArray buffer;

    void start(const char* name, const char**) override
    {
        if (is(name, "si")) {
            keep = next < wanted->size() && (*wanted)[next] == index;
            buffer.resize(0);  // keeps the allocation for the next string
            depth = 1;
        } else if (depth && is(name, "rPh")) {
            ++phonetic;
        } else if (depth && is(name, "t")) {
            inText = phonetic == 0;
        }
    }
    void end(const char* name) override
    {
        if (is(name, "si")) {
            if (keep) {
                found[next] = decodeXmlEscapes(QString::fromUtf8(buffer));
                ++next;
                keep = false;  // a stray second </si> must not fill the next slot
                if (next == wanted->size())
                    stop = true;
            }
            depth = 0;
            ++index;
        } else if (is(name, "rPh")) {
            phonetic = std::max(0, phonetic - 1);
        } else if (is(name, "t")) {
            inText = false;
        }
    }
    void text(const char* s, int length) override
    {
        if (keep && inText)
            buffer.append(s, length);
    }
};

struct SheetSink : XmlSink {
    const ReadOptions* options;
    const std::vector<DateKind>* dateKinds;
    bool date1904 = false;
    Sheet* sheet;
    std::vector<std::pair<size_t, uint32_t>> sharedCells;  // cell position, string index

    int row = 0;
    int column = -1;
    bool inCell = false;
    bool keep = false;
    int capture = 0;  // 1: <v>, 2: <t> of an inline string
    int phonetic = 0;
    enum class Type { Number, Shared, Inline, Formula, Boolean, Error, Date };
    Type type = Type::Number;
    int style = 0;
    QByteArray value;
    QByteArray inlineText;
    bool hasValue = false;

    bool parseRef(const char* ref)
    {
        int col = 0;
        int letters = 0;
        const char* p = ref;
        for (; (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'); ++p) {
            if (++letters > 3)
                return false;
            col = col * 26 + ((*p | 0x20) - 'a' + 1);
        }
        long r = 0;
        int digits = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (++digits > 8)
                return false;
            r = r * 10 + (*p - '0');
        }
        if (*p || letters == 0 || col > maxColumns)
            return false;
        column = col - 1;
        if (digits) {
            if (r < 1 || r > maxRows)
                return false;
            row = int(r);
        }
        return true;
    }

    void start(const char* name, const char** a) override
    {
        if (is(name, "c")) {
            // One pass over the attributes: this runs for every cell.
            const char* ref = nullptr;
            const char* t = nullptr;
            const char* s = nullptr;
            for (int i = 0; a[i]; i += 2) {
                const char* n = localName(a[i]);
                if (n[0] && !n[1]) {
                    if (n[0] == 'r')
                        ref = a[i + 1];
                    else if (n[0] == 't')
                        t = a[i + 1];
                    else if (n[0] == 's')
                        s = a[i + 1];
                }
            }
            if (ref) {
                if (!parseRef(ref)) {
                    error = QStringLiteral("工作表中有无效的单元格位置“%1”").arg(QString::fromUtf8(ref).left(20));
                    stop = true;
                    return;
                }
            } else if (++column >= maxColumns) {
                error = QStringLiteral("工作表超过 16384 列");
                stop = true;
                return;
            }
            if (row < 1)
                row = 1;
            inCell = true;
            keep = options->keeps(column);
            if (!keep)
                return;
            type = typeOf(t);
            style = s ? toInt(s) : 0;
            value.resize(0);  // resize keeps the buffers, clear would free them
            inlineText.resize(0);
            hasValue = false;
        } else if (!inCell) {
            if (is(name, "dimension")) {
                reserveFor(attribute(a, "ref"));
            } else if (is(name, "row")) {
                const char* r = attribute(a, "r");
                const long n = r ? std::strtol(r, nullptr, 10) : row + 1;
                if (n < 1 || n > maxRows) {
                    error = QStringLiteral("工作表超过 1048576 行");
                    stop = true;
                    return;
                }
                row = int(n);
                column = -1;
            }
        } else if (keep) {
            if (is(name, "v")) {
                capture = 1;
                hasValue = true;
            } else if (is(name, "rPh")) {
                ++phonetic;
            } else if (is(name, "t") && phonetic == 0) {
                capture = 2;
            }
        }
    }

    // The used range ("A1:C50000") sizes the sheet once instead of growing it.
    void reserveFor(const char* ref)
    {
        const char* colon = ref ? std::strchr(ref, ':') : nullptr;
        if (!colon)
            return;
        int lastColumn = 0;
        long lastRow = 0;
        const char* p = colon + 1;
        for (; (*p >= 'A' && *p <= 'Z') && lastColumn <= maxColumns; ++p)
            lastColumn = lastColumn * 26 + (*p - 'A' + 1);
        for (; *p >= '0' && *p <= '9' && lastRow <= maxRows; ++p)
            lastRow = lastRow * 10 + (*p - '0');
        if (lastRow < 1 || lastColumn < 1)
            return;
        const size_t columns =
            options->columns.empty() ? size_t(std::min(lastColumn, maxColumns)) : options->columns.size();
        sheet->reserve(size_t(std::min<long>(lastRow, maxRows)) * columns);
    }

    void end(const char* name) override
    {
        if (is(name, "c")) {
            if (keep)
                finishCell();
            inCell = false;
            keep = false;
            capture = 0;
            phonetic = 0;
        } else if (inCell) {
            if (is(name, "v") || is(name, "t"))
                capture = 0;
            else if (is(name, "rPh"))
                phonetic = std::max(0, phonetic - 1);
        } else if (is(name, "sheetData")) {
            stop = true;
        }
    }

    void text(const char* s, int length) override
    {
        if (capture == 1)
            value.append(s, length);
        else if (capture == 2)
            inlineText.append(s, length);
    }

    void store(QString text)
    {
        if (!sheet->add(row, column, std::move(text))) {
            error = QStringLiteral("工作表的单元格太多");
            stop = true;
        }
    }

    static Type typeOf(const char* t)
    {
        if (!t || is(t, "n"))
            return Type::Number;
        if (is(t, "s"))
            return Type::Shared;
        if (is(t, "inlineStr"))
            return Type::Inline;
        if (is(t, "str"))
            return Type::Formula;
        if (is(t, "b"))
            return Type::Boolean;
        if (is(t, "d"))
            return Type::Date;
        return Type::Error;  // "e", or a type no writer uses: no text form
    }

    // Plain digits, as most roster numbers are, need no trip through a double.
    static bool plainInteger(const QByteArray& v)
    {
        if (v.isEmpty() || v.size() > 15 || (v[0] == '0' && v.size() > 1))
            return false;
        for (char c : v) {
            if (c < '0' || c > '9')
                return false;
        }
        return true;
    }

    // The value of plainInteger() digits, at most nine of them.
    static uint digitsValue(const QByteArray& v)
    {
        uint n = 0;
        for (char c : v)
            n = n * 10 + uint(c - '0');
        return n;
    }

    void finishCell()
    {
        if (type == Type::Shared) {
            bool ok = plainInteger(value) && value.size() <= 9;
            const uint index = ok ? digitsValue(value) : value.trimmed().toUInt(&ok);
            if (ok) {
                store(QString());
                sharedCells.emplace_back(sheet->size() - 1, index);
            }
        } else if (type == Type::Inline) {
            store(decodeXmlEscapes(QString::fromUtf8(inlineText)));
        } else if (type == Type::Formula) {
            store(decodeXmlEscapes(QString::fromUtf8(value)));
        } else if (type == Type::Boolean) {
            const QByteArray v = value.trimmed();
            if (!v.isEmpty())
                store(v == "1" || v == "true" ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        } else if (type == Type::Error) {
            // Error values have no text form.
        } else if (type == Type::Date) {
            store(isoDateText(QString::fromUtf8(value.trimmed())));
        } else if (hasValue) {
            const DateKind kind =
                style >= 0 && size_t(style) < dateKinds->size() ? (*dateKinds)[size_t(style)] : DateKind::None;
            if (kind == DateKind::None && plainInteger(value)) {
                store(QString::fromLatin1(value));
                return;
            }
            bool ok = false;
            const double number = value.trimmed().toDouble(&ok);
            if (!ok)
                return;
            store(kind == DateKind::None ? numberText(number) : serialText(number, kind, date1904));
        }
    }

    static QString isoDateText(const QString& v)
    {
        if (v.size() >= 8 && v[2] == u':') {
            const QTime t = QTime::fromString(v.left(8), u"HH:mm:ss");
            return t.isValid() ? t.toString(u"HH:mm:ss") : QString();
        }
        const QDate d = QDate::fromString(v.left(10), u"yyyy-MM-dd");
        if (!d.isValid())
            return {};
        if (v.size() > 11) {
            const QTime t = QTime::fromString(v.mid(11, 8), u"HH:mm:ss");
            if (t.isValid() && t != QTime(0, 0))
                return d.toString(u"yyyy-MM-dd") + u' ' + t.toString(u"HH:mm:ss");
        }
        return d.toString(u"yyyy-MM-dd");
    }
};

}  // namespace

Result<Sheet> readXlsx(const QByteArray& data, const ReadOptions& options)
{
    // Excel keeps a password-protected .xlsx in an OLE2 container.
    if (data.startsWith("\xD0\xCF\x11\xE0"))
        return readXls(data, options);
    ZipPackage package(data);
    if (!package.isOpen())
        return failure(package.openError());
    QString error;

    // A zip package is a workbook when its main part is one (an .xlsx,
    // .xlsm, .xltx or .xltm); a Word or PowerPoint file is not.
    QString workbookPart;
    if (package.contains(QStringLiteral("_rels/.rels"))) {
        RelsSink rels;
        rels.cancel = options.cancel;
        if (!package.parse(QStringLiteral("_rels/.rels"), rels, &error))
            return failure(error);
        const Relationship doc = rels.firstOfType("/officeDocument");
        if (doc.target.endsWith(QLatin1String("workbook.xml"), Qt::CaseInsensitive) && package.contains(doc.target))
            workbookPart = doc.target;
    }
    if (workbookPart.isEmpty() && package.contains(QStringLiteral("xl/workbook.xml")))
        workbookPart = QStringLiteral("xl/workbook.xml");
    if (workbookPart.isEmpty())
        return failure(QStringLiteral("不是有效的 Excel 文件（zip 包中没有 xl/workbook.xml）"));
    WorkbookSink book;
    book.cancel = options.cancel;
    if (!package.parse(workbookPart, book, &error))
        return failure(error);
    if (book.sheetIds.isEmpty())
        return failure(QStringLiteral("工作簿中没有工作表"));

    RelsSink rels;
    rels.cancel = options.cancel;
    rels.baseDir = directoryOf(workbookPart);
    if (!package.parse(relsPartOf(workbookPart), rels, &error))
        return failure(error);

    QString sheetPart;
    for (const QString& id : book.sheetIds) {
        const auto it = rels.byId.constFind(id);
        if (it == rels.byId.cend())
            return failure(QStringLiteral("文件已损坏（工作表“%1”没有对应的部件）").arg(id.left(40)));
        if (endsWith(it->type, "/worksheet")) {
            sheetPart = it->target;
            break;
        }
    }
    Sheet result;
    if (sheetPart.isEmpty())
        return result;  // only chart sheets: nothing to read

    std::vector<DateKind> dateKinds;
    const Relationship styles = rels.firstOfType("/styles");
    if (!styles.target.isEmpty() && package.contains(styles.target)) {
        StylesSink sink;
        sink.cancel = options.cancel;
        if (!package.parse(styles.target, sink, &error))
            return failure(error);
        dateKinds = sink.dateKinds();
    }

    SheetSink sheet;
    sheet.options = &options;
    sheet.dateKinds = &dateKinds;
    sheet.date1904 = book.date1904;
    sheet.cancel = options.cancel;
    sheet.sheet = &result;
    if (!package.parse(sheetPart, sheet, &error))
        return failure(error);

    if (!sheet.sharedCells.empty()) {
        // The string indexes asked for, in order and once each. Marking them
        // in a table costs a fraction of sorting the cells' indexes; a table
        // far larger than the cells (a hostile index) falls back to sorting.
        std::vector<uint32_t> wanted;
        std::vector<uint32_t> rank;  // string index -> position in wanted, when marked
        uint32_t highest = 0;
        for (const auto& c : sheet.sharedCells)
            highest = std::max(highest, c.second);
        if (size_t(highest) < 4 * sheet.sharedCells.size() + 65536) {
            constexpr uint32_t unmarked = UINT32_MAX;
            rank.assign(size_t(highest) + 1, unmarked);
            for (const auto& c : sheet.sharedCells)
                rank[c.second] = 0;
            for (uint32_t i = 0; i <= highest; ++i) {
                if (rank[i] != unmarked) {
                    rank[i] = uint32_t(wanted.size());
                    wanted.push_back(i);
                }
            }
        } else {
            wanted.reserve(sheet.sharedCells.size());
            for (const auto& c : sheet.sharedCells)
                wanted.push_back(c.second);
            std::sort(wanted.begin(), wanted.end());
            wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
        }
        SharedStringsSink strings;
        strings.cancel = options.cancel;
        strings.wanted = &wanted;
        strings.found.resize(wanted.size());
        const Relationship shared = rels.firstOfType("/sharedStrings");
        if (shared.target.isEmpty() || !package.contains(shared.target))
            return failure(QStringLiteral("文件已损坏（缺少共享字符串表）"));
        if (!package.parse(shared.target, strings, &error))
            return failure(error);
        for (const auto& [position, index] : sheet.sharedCells) {
            const size_t k = !rank.empty()
                                 ? size_t(rank[index])
                                 : size_t(std::lower_bound(wanted.begin(), wanted.end(), index) - wanted.begin());
            result.setText(position, strings.found[k]);
        }
    }
    result.finish();
    return result;
}

}  // namespace workbook
