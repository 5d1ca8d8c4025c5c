#include "biffstrings.h"

#include <algorithm>
#include <cstring>

namespace workbook {

void Segments::add(const uint8_t* data, size_t length)
{
    segments_.emplace_back(data, length);
    remaining_ += length;
}

bool Segments::nextSegment()
{
    while (segment_ < segments_.size() && pos_ == segments_[segment_].second) {
        ++segment_;
        pos_ = 0;
    }
    return segment_ < segments_.size();
}

bool Segments::u8(uint8_t& v)
{
    if (!nextSegment())
        return false;
    v = segments_[segment_].first[pos_++];
    --remaining_;
    return true;
}

bool Segments::u16(uint16_t& v)
{
    uint8_t a, b;
    if (!u8(a) || !u8(b))
        return false;
    v = uint16_t(a | b << 8);
    return true;
}

bool Segments::u32(uint32_t& v)
{
    uint16_t a, b;
    if (!u16(a) || !u16(b))
        return false;
    v = uint32_t(a) | uint32_t(b) << 16;
    return true;
}

bool Segments::skip(size_t n)
{
    if (n > remaining_)
        return false;
    while (n > 0) {
        nextSegment();
        const size_t step = std::min(n, segments_[segment_].second - pos_);
        pos_ += step;
        remaining_ -= step;
        n -= step;
    }
    return true;
}

bool Segments::characters(uint32_t count, bool wide, QString* out)
{
    if (out)
        out->reserve(out->size() + qsizetype(std::min<size_t>(count, remaining_)));
    while (count > 0) {
        if (segment_ >= segments_.size())
            return false;
        if (pos_ == segments_[segment_].second) {
            ++segment_;
            pos_ = 0;
            uint8_t flags;
            if (segment_ >= segments_.size() || segments_[segment_].second == 0 || !u8(flags))
                return false;
            wide = flags & 1;
            continue;
        }
        const uint8_t* p = segments_[segment_].first + pos_;
        const size_t avail = segments_[segment_].second - pos_;
        const size_t n = std::min<size_t>(count, wide ? avail / 2 : avail);
        if (n == 0)
            return false;  // half a character before the record ends
        if (out && wide) {
            const qsizetype at = out->size();
            out->resize(at + qsizetype(n));
            char16_t* d = reinterpret_cast<char16_t*>(out->data()) + at;
            for (size_t i = 0; i < n; ++i)
                d[i] = char16_t(p[2 * i] | p[2 * i + 1] << 8);
        } else if (out) {
            out->append(QLatin1String(reinterpret_cast<const char*>(p), qsizetype(n)));
        }
        const size_t bytes = wide ? 2 * n : n;
        pos_ += bytes;
        remaining_ -= bytes;
        count -= uint32_t(n);
    }
    return true;
}

namespace {

// A string's character count, stored in one byte or two.
bool readLength(Segments& s, int lengthBytes, uint32_t& count)
{
    if (lengthBytes == 1) {
        uint8_t c;
        if (!s.u8(c))
            return false;
        count = c;
        return true;
    }
    uint16_t c;
    if (!s.u16(c))
        return false;
    count = c;
    return true;
}

}  // namespace

namespace {

// The text of count characters lying in one piece of memory, built once at its final size.
QString textOf(const uint8_t* p, uint32_t count, bool wide)
{
    if (count == 0)
        return {};
    if (!wide)
        return QString::fromLatin1(reinterpret_cast<const char*>(p), qsizetype(count));
    QString text(qsizetype(count), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(text.data());
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    std::memcpy(d, p, size_t(count) * 2);
#else
    for (uint32_t i = 0; i < count; ++i)
        d[i] = char16_t(p[2 * i] | p[2 * i + 1] << 8);
#endif
    return text;
}

bool unicodeString(Segments& s, int lengthBytes, QString* out)
{
    // Nearly every string lies inside one record: read it straight from there.
    const size_t lb = size_t(lengthBytes);
    if (s.nextSegment() && s.contiguous() >= lb + 1) {
        const size_t avail = s.contiguous();
        const uint8_t* p = s.here();
        const uint32_t count = lb == 1 ? p[0] : uint32_t(p[0] | p[1] << 8);
        const uint8_t flags = p[lb];
        const bool wide = flags & 1;
        const size_t header = lb + 1 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
        const size_t bytes = wide ? size_t(count) * 2 : count;
        if (avail >= header + bytes) {
            size_t at = lb + 1;
            uint16_t runs = 0;
            uint32_t extension = 0;
            if (flags & 0x08) {
                runs = uint16_t(p[at] | p[at + 1] << 8);
                at += 2;
            }
            if (flags & 0x04)
                extension =
                    uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
            if (out)
                *out = textOf(p + header, count, wide);
            s.advance(header + bytes);
            return (runs == 0 && extension == 0) || (s.skip(size_t(runs) * 4) && s.skip(extension));
        }
    }
    uint32_t count = 0;
    if (!readLength(s, lengthBytes, count))
        return false;
    uint8_t flags;
    if (!s.u8(flags))
        return false;
    uint16_t runs = 0;
    uint32_t extension = 0;
    if ((flags & 0x08) && !s.u16(runs))
        return false;
    if ((flags & 0x04) && !s.u32(extension))
        return false;
    if (out)
        out->clear();
    if (!s.characters(count, flags & 1, out))
        return false;
    return s.skip(size_t(runs) * 4) && s.skip(extension);
}

}  // namespace

bool readUnicodeString(Segments& s, int lengthBytes, QString& out)
{
    return unicodeString(s, lengthBytes, &out);
}

bool skipUnicodeString(Segments& s, int lengthBytes)
{
    return unicodeString(s, lengthBytes, nullptr);
}

bool readByteString(Segments& s, int lengthBytes, QStringDecoder& decoder, QString& out)
{
    uint32_t count = 0;
    if (!readLength(s, lengthBytes, count))
        return false;
    if (count > s.remaining())
        return false;
    decoder.resetState();  // a cut multi-byte character must not leak into the next string
    if (s.nextSegment() && s.contiguous() >= count) {
        out = decoder.decode(QByteArrayView(s.here(), qsizetype(count)));
        s.advance(count);
        return true;
    }
    QByteArray bytes;
    bytes.reserve(qsizetype(count));
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t b;
        s.u8(b);
        bytes.append(char(b));
    }
    out = decoder.decode(bytes);
    return true;
}

}  // namespace workbook
