#include "xlsreader.h"

#include "biffstrings.h"
#include "celltext.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace workbook {

namespace {

struct GObjectUnref {
    void operator()(void* p) const { g_object_unref(p); }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorHolder {
    GError* error = nullptr;
    ~GErrorHolder()
    {
        if (error)
            g_error_free(error);
    }
    QString message() const { return error ? QString::fromUtf8(error->message) : QString(); }
};

enum : uint16_t {
    recFormula = 0x0006,
    recEof = 0x000A,
    recDateMode = 0x0022,
    recFilePass = 0x002F,
    recContinue = 0x003C,
    recCodePage = 0x0042,
    recBoundSheet = 0x0085,
    recMulRk = 0x00BD,
    recRString = 0x00D6,
    recXf = 0x00E0,
    recSst = 0x00FC,
    recLabelSst = 0x00FD,
    recNumber = 0x0203,
    recLabel = 0x0204,
    recBoolErr = 0x0205,
    recString = 0x0207,
    recRk = 0x027E,
    recFormat = 0x041E,
    recBof = 0x0809,
};

uint16_t u16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
double f64(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double rkValue(uint32_t rk)
{
    double v;
    if (rk & 2) {
        v = double(int32_t(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

// Records that carry one or more cells.
bool isCellRecord(uint16_t type)
{
    switch (type) {
    case recLabelSst:
    case recNumber:
    case recRk:
    case recMulRk:
    case recLabel:
    case recFormula:
    case recBoolErr:
    case recRString:
        return true;
    default:
        return false;
    }
}

struct Record {
    uint16_t type = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

// Walks the records of a BIFF stream.
class RecordStream {
public:
    RecordStream(const uint8_t* data, size_t size)
        : data_(data)
        , size_(size)
    {
    }
    // A position past the end (a damaged sheet offset) leaves nothing to read.
    void seek(size_t pos) { pos_ = std::min(pos, size_); }
    size_t position() const { return pos_; }
    bool atEnd() const { return pos_ >= size_; }
    // False when the stream ends inside a record header or body.
    bool next(Record& r)
    {
        if (size_ - pos_ < 4)
            return false;
        r.type = u16(data_ + pos_);
        r.length = u16(data_ + pos_ + 2);
        if (size_ - pos_ - 4 < r.length)
            return false;
        r.data = data_ + pos_ + 4;
        pos_ += 4 + r.length;
        return true;
    }
    bool peekType(uint16_t& type) const
    {
        if (size_ - pos_ < 4)
            return false;
        type = u16(data_ + pos_);
        return true;
    }
    // The record with the CONTINUE records that follow it, as segments.
    Segments continued(const Record& first)
    {
        Segments s;
        s.add(first.data, first.length);
        uint16_t type;
        Record more;
        while (peekType(type) && type == recContinue && next(more))
            s.add(more.data, more.length);
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

QString codePageName(int codePage)
{
    switch (codePage) {
    case 367:
        return QStringLiteral("US-ASCII");
    case 437:
        return QStringLiteral("IBM437");
    case 850:
        return QStringLiteral("IBM850");
    case 874:
        return QStringLiteral("windows-874");
    case 932:
        return QStringLiteral("Shift_JIS");
    case 936:
        return QStringLiteral("GBK");
    case 949:
        return QStringLiteral("windows-949");
    case 950:
        return QStringLiteral("Big5");
    case 10000:
        return QStringLiteral("macintosh");
    case 65001:
        return QStringLiteral("UTF-8");
    default:
        if (codePage >= 1250 && codePage <= 1258)
            return QStringLiteral("windows-%1").arg(codePage);
        return QStringLiteral("windows-1252");
    }
}

struct Globals {
    bool biff8 = true;
    bool date1904 = false;
    int codePage = 1252;
    std::map<int, QString> formats;
    std::vector<int> xfFormats;
    struct SheetEntry {
        uint32_t position;
        uint8_t kind;
    };
    std::vector<SheetEntry> sheets;
    // Shared strings are found where they start and decoded when a kept cell
    // first asks for one: most of a big table belongs to columns not read.
    std::vector<Segments::Mark> sst;
    std::vector<QString> sstText;
    std::vector<bool> sstDecoded;
};

class XlsReader {
public:
    XlsReader(const QByteArray& stream, const ReadOptions& options)
        : stream_(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()))
        , options_(options)
    {
    }

    Result<Sheet> read()
    {
        QString error;
        if (!readGlobals(&error))
            return failure(error);
        Sheet result;
        for (const auto& entry : g_.sheets) {
            if (entry.kind == 0) {  // the first worksheet in tab order, hidden or not
                if (!readSheet(entry.position, result, &error))
                    return failure(error);
                break;
            }
        }
        result.finish();
        return result;
    }

private:
    static QString damaged(const char* what)
    {
        return QStringLiteral("文件已损坏（%1）").arg(QString::fromLatin1(what));
    }

    bool readGlobals(QString* error)
    {
        Record r;
        if (!stream_.next(r) || r.length < 4) {
            *error = damaged("no BOF record");
            return false;
        }
        if (r.type != recBof) {
            *error = (r.type == 0x0009 || r.type == 0x0209 || r.type == 0x0409)
                         ? QStringLiteral("不支持 Excel 4.0 或更早版本的文件")
                         : damaged("no BOF record");
            return false;
        }
        const uint16_t version = u16(r.data);
        g_.biff8 = version >= 0x0600 || version == 0;
        if (!g_.biff8 && version != 0x0500) {
            *error = QStringLiteral("不支持的 Excel 文件版本（0x%1）").arg(version, 4, 16, QChar(u'0'));
            return false;
        }
        if (g_.biff8)
            g_.codePage = 1200;
        for (;;) {
            if (!stream_.next(r)) {
                *error = damaged("workbook globals end early");
                return false;
            }
            switch (r.type) {
            case recEof:
                decoder_ = QStringDecoder(codePageName(g_.codePage).toLatin1().constData());
                if (!decoder_.isValid())
                    decoder_ = QStringDecoder(QStringDecoder::Latin1);
                return parseSst(error);
            case recFilePass:
                *error = encryptedText();
                return false;
            case recCodePage:
                if (r.length >= 2)
                    g_.codePage = u16(r.data);
                break;
            case recDateMode:
                if (r.length >= 2)
                    g_.date1904 = u16(r.data) == 1;
                break;
            case recFormat:
                if (r.length >= 2) {
                    Segments s;
                    s.add(r.data + 2, r.length - 2);
                    QString code;
                    // BIFF5 keeps the format code as an 8-bit string with a 1-byte length.
                    if (readString(s, g_.biff8 ? 2 : 1, code))
                        g_.formats[u16(r.data)] = code;
                }
                break;
            case recXf:
                if (r.length >= 4 && g_.xfFormats.size() < 65536)
                    g_.xfFormats.push_back(u16(r.data + 2));
                break;
            case recBoundSheet:
                if (r.length >= 6)
                    g_.sheets.push_back({u32(r.data), uint8_t(r.data[5])});
                break;
            case recSst:
                sstRecord_ = stream_.continued(r);
                hasSst_ = true;
                break;
            default:
                break;
            }
        }
    }

    // The shared strings in the codepage set by the globals.
    bool parseSst(QString* error)
    {
        if (!hasSst_)
            return true;
        uint32_t total = 0;
        uint32_t unique = 0;
        if (!sstRecord_.u32(total) || !sstRecord_.u32(unique)) {
            *error = damaged("short shared string table");
            return false;
        }
        // Each string takes at least three bytes, whatever the header claims.
        g_.sst.reserve(std::min<size_t>(unique, sstRecord_.remaining() / 3));
        for (uint32_t i = 0; i < unique && sstRecord_.remaining() > 0; ++i) {
            const Segments::Mark start = sstRecord_.mark();
            const bool whole = g_.biff8 ? skipUnicodeString(sstRecord_, 2) : readString(sstRecord_, 2, scratch_);
            if (!whole) {
                *error = damaged("shared string table cut short");
                return false;
            }
            g_.sst.push_back(start);
        }
        g_.sstText.resize(g_.sst.size());
        g_.sstDecoded.resize(g_.sst.size());
        return true;
    }

    // Shared string by index; "" past the end of the table.
    QString sharedString(uint32_t index)
    {
        if (index >= g_.sst.size())
            return {};
        if (!g_.sstDecoded[index]) {
            sstRecord_.seek(g_.sst[index]);
            readString(sstRecord_, 2, g_.sstText[index]);  // read whole once already
            g_.sstDecoded[index] = true;
        }
        return g_.sstText[index];
    }

    bool readString(Segments& s, int lengthBytes, QString& out)
    {
        return g_.biff8 ? readUnicodeString(s, lengthBytes, out) : readByteString(s, lengthBytes, decoder_, out);
    }

    DateKind dateKindOfXf(int xf)
    {
        if (xf < 0 || size_t(xf) >= g_.xfFormats.size())
            return DateKind::None;
        // Worked out once per cell format: every number cell asks.
        if (xfKinds_.empty())
            xfKinds_.assign(g_.xfFormats.size(), -1);
        int8_t& known = xfKinds_[size_t(xf)];
        if (known < 0) {
            const int format = g_.xfFormats[size_t(xf)];
            const auto custom = g_.formats.find(format);
            known = int8_t(custom != g_.formats.end() ? dateKindOfCode(custom->second) : builtinDateKind(format));
        }
        return DateKind(known);
    }

    QString numberCellText(double v, int xf)
    {
        const DateKind kind = dateKindOfXf(xf);
        return kind == DateKind::None ? numberText(v) : serialText(v, kind, g_.date1904);
    }

    // Only for kept columns: the callers skip the others before decoding anything.
    bool store(Sheet& sheet, int row, int column, QString&& text, QString* error)
    {
        if (!sheet.add(row + 1, column, std::move(text))) {
            *error = QStringLiteral("工作表的单元格太多");
            return false;
        }
        return true;
    }

    bool readSheet(uint32_t position, Sheet& sheet, QString* error)
    {
        stream_.seek(position);
        Record r;
        if (!stream_.next(r) || r.type != recBof) {
            *error = damaged("worksheet not found where the workbook says");
            return false;
        }
        {
            // Count the cell records first (headers only) to size the sheet once.
            RecordStream counter = stream_;
            size_t cellRecords = 0;
            Record c;
            while (counter.next(c) && c.type != recEof) {
                cellRecords += isCellRecord(c.type);
            }
            sheet.reserve(cellRecords);
        }
        int depth = 1;  // charts embedded in the sheet bring their own BOF/EOF
        int pendingRow = -1;
        int pendingColumn = -1;
        for (unsigned records = 0;; ++records) {
            if ((records & 0xFFF) == 0 && options_.cancelled()) {
                *error = cancelledText();
                return false;
            }
            if (!stream_.next(r)) {
                *error = damaged("worksheet ends early");
                return false;
            }
            if (r.type == recBof) {
                ++depth;
                continue;
            }
            if (r.type == recEof) {
                if (--depth == 0)
                    return true;
                continue;
            }
            if (depth != 1)
                continue;
            if (r.type == recString) {
                Segments s = stream_.continued(r);
                QString text;
                if (pendingRow >= 0 && readString(s, 2, text) &&
                    !store(sheet, pendingRow, pendingColumn, std::move(text), error))
                    return false;
                pendingRow = -1;
                continue;
            }
            if (!isCellRecord(r.type) || r.length < 6)
                continue;
            const int row = u16(r.data);
            const int column = u16(r.data + 2);
            const int xf = u16(r.data + 4);
            if (column >= maxColumns) {
                *error = damaged("cell column out of range");
                return false;
            }
            if (r.type != recMulRk && !options_.keeps(column)) {
                pendingRow = -1;  // a cell not kept: nothing of it is decoded
                continue;
            }
            bool ok = true;
            switch (r.type) {
            case recLabelSst:
                if (r.length >= 10) {
                    const uint32_t index = u32(r.data + 6);
                    ok = store(sheet, row, column, sharedString(index), error);
                }
                break;
            case recLabel:
            case recRString: {
                Segments s;
                s.add(r.data + 6, r.length - 6);
                QString text;
                if (readString(s, 2, text))
                    ok = store(sheet, row, column, std::move(text), error);
                break;
            }
            case recNumber:
                if (r.length >= 14)
                    ok = store(sheet, row, column, numberCellText(f64(r.data + 6), xf), error);
                break;
            case recRk:
                if (r.length >= 10)
                    ok = store(sheet, row, column, numberCellText(rkValue(u32(r.data + 6)), xf), error);
                break;
            case recMulRk: {
                // row, first column, (xf, rk) pairs, last column
                const uint32_t count = (r.length - 6) / 6;
                for (uint32_t i = 0; i < count && ok; ++i) {
                    const uint8_t* p = r.data + 4 + 6 * i;
                    const int c = column + int(i);
                    if (c >= maxColumns)
                        break;
                    if (options_.keeps(c))
                        ok = store(sheet, row, c, numberCellText(rkValue(u32(p + 2)), u16(p)), error);
                }
                break;
            }
            case recBoolErr:
                if (r.length >= 8 && r.data[7] == 0)  // error values have no text form
                    ok = store(sheet, row, column, r.data[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), error);
                break;
            case recFormula:
                if (r.length >= 14) {
                    const uint8_t* v = r.data + 6;
                    if (v[6] == 0xFF && v[7] == 0xFF) {
                        if (v[0] == 0) {  // the text follows in a STRING record
                            pendingRow = row;
                            pendingColumn = column;
                            continue;
                        }
                        if (v[0] == 1)
                            ok = store(sheet, row, column, v[2] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"),
                                       error);
                    } else {
                        ok = store(sheet, row, column, numberCellText(f64(v), xf), error);
                    }
                }
                break;
            default:
                continue;  // records between a FORMULA and its STRING keep it pending
            }
            if (!ok)
                return false;
            pendingRow = -1;
        }
    }

    RecordStream stream_;
    const ReadOptions& options_;
    Globals g_;
    Segments sstRecord_;
    QString scratch_;
    bool hasSst_ = false;
    QStringDecoder decoder_{QStringDecoder::Latin1};
    std::vector<int8_t> xfKinds_;  // DateKind of each XF; -1 not yet known
};

}  // namespace

// libgsf reports the damage it meets on stderr; the reader reports it as a value instead.
static void quietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) { }

QString encryptedText()
{
    return QStringLiteral("文件已加密，请先在 Excel 中取消密码");
}

Result<Bytes> workbookStream(const QByteArray& data, const std::atomic<bool>* cancel)
{
    static const bool quiet = [] {
        g_log_set_handler("libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_MASK), quietLog, nullptr);
        g_log_set_handler("libgsf", GLogLevelFlags(G_LOG_LEVEL_MASK), quietLog, nullptr);
        return true;
    }();
    Q_UNUSED(quiet);
    if (data.startsWith("PK\x03\x04"))
        return failure(QStringLiteral("不是有效的 Excel 97–2003 文件（内容是 zip 包）"));
    if (!data.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return failure(QStringLiteral("不是有效的 Excel 文件（不是 OLE2 文件）"));
    GErrorHolder err;
    GPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(data.constData()), data.size(), FALSE));
    if (!input)
        return failure(QStringLiteral("内存不足"));
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &err.error));
    if (!ole)
        return failure(QStringLiteral("文件已损坏（%1）").arg(err.message()));
    GPtr<GsfInput> book;
    bool encrypted = false;
    const int children = gsf_infile_num_children(ole.get());
    for (int i = 0; i < children && !book; ++i) {
        const char* name = gsf_infile_name_by_index(ole.get(), i);
        if (!name)
            continue;
        if (g_ascii_strcasecmp(name, "EncryptedPackage") == 0)
            encrypted = true;
        if (g_ascii_strcasecmp(name, "Workbook") == 0 || g_ascii_strcasecmp(name, "Book") == 0)
            book.reset(gsf_infile_child_by_index(ole.get(), i));
    }
    if (!book) {
        return failure(encrypted ? encryptedText()
                                 : QStringLiteral("不是有效的 Excel 文件（OLE2 文件中没有 Workbook 数据流）"));
    }
    const gsf_off_t size = gsf_input_size(book.get());
    if (size > maxPartBytes)
        return failure(QStringLiteral("工作簿数据大于 256 MB"));
    // The stream's sectors lie in the file: a larger size is a damaged header,
    // and must not make the reader allocate it.
    if (size < 0 || size > data.size())
        return failure(QStringLiteral("文件已损坏（工作簿数据的长度不对）"));
    Bytes stream{size_t(size)};
    if (size > 0 && !stream.data())
        return failure(QStringLiteral("内存不足"));
    // Large blocks: the container copies a sector run per call.
    for (gsf_off_t done = 0; done < size;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return failure(cancelledText());
        const gsf_off_t n = std::min<gsf_off_t>(size - done, 1 << 20);
        if (!gsf_input_read(book.get(), size_t(n), reinterpret_cast<guint8*>(stream.data() + done)))
            return failure(QStringLiteral("文件已损坏（工作簿数据读不完整）"));
        done += n;
    }
    return stream;
}

Result<Sheet> readBiffStream(const QByteArray& stream, const ReadOptions& options)
{
    return XlsReader(stream, options).read();
}

Result<Sheet> readXls(const QByteArray& data, const ReadOptions& options)
{
    const Result<Bytes> s = workbookStream(data, options.cancel);
    if (!s)
        return failure(s.error());
    return readBiffStream(s->view(), options);
}

}  // namespace workbook
