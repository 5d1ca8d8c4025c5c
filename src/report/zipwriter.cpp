#include "zipwriter.h"

#include <zip.h>

#include <cstdio>

namespace {

constexpr quint16 utf8NameFlag = 0x0800;  // general purpose bit 11

quint32 le32(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
quint16 le16(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return quint16(p[0] | p[1] << 8);
}
void setFlag(QByteArray& b, qsizetype at)
{
    const quint16 flags = le16(b, at) | utf8NameFlag;
    b[at] = char(flags & 0xFF);
    b[at + 1] = char(flags >> 8);
}

// libzip marks only names outside ASCII as UTF-8; unpackers that go by the
// flag then read every name by one rule. The headers are not covered by any
// checksum, so the flag is set in place: the central directory's entries and
// the local header each points to.
bool markNamesUtf8(QByteArray& archive)
{
    constexpr qsizetype endRecord = 22;  // no archive comment is written
    if (archive.size() < endRecord)
        return false;
    const qsizetype end = archive.size() - endRecord;
    if (le32(archive, end) != 0x06054b50)
        return false;
    const int entries = le16(archive, end + 10);
    qsizetype at = le32(archive, end + 16);
    for (int i = 0; i < entries; ++i) {
        if (at + 46 > end || le32(archive, at) != 0x02014b50)
            return false;
        const qsizetype local = le32(archive, at + 42);
        if (local + 30 > at || le32(archive, local) != 0x04034b50)
            return false;
        setFlag(archive, at + 8);
        setFlag(archive, local + 6);
        at += 46 + le16(archive, at + 28) + le16(archive, at + 30) + le16(archive, at + 32);
    }
    return true;
}

QString libraryText(zip_error_t* error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

}  // namespace

ZipWriter::ZipWriter()
{
    zip_error_t error;
    zip_error_init(&error);
    buffer_ = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer_) {
        archive_ = zip_open_from_source(buffer_, ZIP_TRUNCATE, &error);
        if (archive_)
            zip_source_keep(buffer_);  // it outlives the archive: the bytes are read from it
    }
    if (!archive_)
        openError_ = QStringLiteral("无法建立 zip 文件（%1）").arg(libraryText(&error));
    zip_error_fini(&error);
}

ZipWriter::~ZipWriter()
{
    if (archive_)
        zip_discard(archive_);
    if (buffer_)
        zip_source_free(buffer_);
}

Status ZipWriter::add(const QString& name, const QByteArray& bytes)
{
    if (!archive_)
        return failure(openError_.isEmpty() ? QStringLiteral("zip 文件已写完") : openError_);
    contents_.push_back(bytes);
    const QByteArray& held = contents_.back();
    zip_source_t* source = zip_source_buffer(archive_, held.constData(), zip_uint64_t(held.size()), 0);
    const zip_int64_t index = source ? zip_file_add(archive_, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        if (source)
            zip_source_free(source);
        return failure(
            QStringLiteral("无法把 %1 放进 zip 文件（%2）").arg(name, QString::fromUtf8(zip_strerror(archive_))));
    }
    if (zip_set_file_compression(archive_, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)
        return failure(
            QStringLiteral("无法设置 %1 的存储方式（%2）").arg(name, QString::fromUtf8(zip_strerror(archive_))));
    return Status::success();
}

Result<QByteArray> ZipWriter::finish()
{
    if (!archive_)
        return failure(openError_.isEmpty() ? QStringLiteral("zip 文件已写完") : openError_);
    if (zip_close(archive_) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(archive_));
        zip_discard(archive_);
        archive_ = nullptr;
        return failure(QStringLiteral("无法写出 zip 文件（%1）").arg(why));
    }
    archive_ = nullptr;
    contents_.clear();
    QByteArray bytes;
    bool read = zip_source_open(buffer_) == 0;
    if (read) {
        read = zip_source_seek(buffer_, 0, SEEK_END) == 0;
        const zip_int64_t size = read ? zip_source_tell(buffer_) : -1;
        read = size >= 0 && zip_source_seek(buffer_, 0, SEEK_SET) == 0;
        if (read) {
            bytes.resize(qsizetype(size));
            read = zip_source_read(buffer_, bytes.data(), zip_uint64_t(size)) == size;
        }
        zip_source_close(buffer_);
    }
    if (!read)
        return failure(QStringLiteral("无法读出生成的 zip 文件"));
    if (!markNamesUtf8(bytes))
        return failure(QStringLiteral("生成的 zip 文件结构不对"));
    return bytes;
}
