#include "biffstrings.h"

#include <algorithm>

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

bool unicodeString(Segments& s, int lengthBytes, QString* out)
{
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
    QByteArray bytes;
    bytes.reserve(qsizetype(count));
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t b;
        s.u8(b);
        bytes.append(char(b));
    }
    decoder.resetState();  // a cut multi-byte character must not leak into the next string
    out = decoder.decode(bytes);
    return true;
}

}  // namespace workbook
