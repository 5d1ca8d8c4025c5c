#pragma once
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <vector>

namespace workbook {

// A record's data followed by its CONTINUE records, read as one byte run.
class Segments {
public:
    void add(const uint8_t* data, size_t length);
    bool u8(uint8_t& v);
    bool u16(uint16_t& v);
    bool u32(uint32_t& v);
    bool skip(size_t n);
    size_t remaining() const { return remaining_; }
    // cch characters, 8- or 16-bit, appended to out (or skipped when out is
    // null); a string cut by a CONTINUE record goes on with a fresh flags byte
    // that says how wide the rest of it is.
    bool characters(uint32_t count, bool wide, QString* out);

    // A place in the run, to come back to.
    struct Mark {
        size_t segment;
        size_t pos;
        size_t remaining;
    };
    Mark mark() const { return {segment_, pos_, remaining_}; }
    void seek(const Mark& m)
    {
        segment_ = m.segment;
        pos_ = m.pos;
        remaining_ = m.remaining;
    }

    // Moves past segments that are used up; false at the end of the run.
    bool nextSegment();
    // Bytes left in the current segment, and where they start.
    size_t contiguous() const { return segment_ < segments_.size() ? segments_[segment_].second - pos_ : 0; }
    const uint8_t* here() const { return segments_[segment_].first + pos_; }
    // Passes over n bytes of the current segment (n <= contiguous()).
    void advance(size_t n)
    {
        pos_ += n;
        remaining_ -= n;
    }

private:
    std::vector<std::pair<const uint8_t*, size_t>> segments_;
    size_t segment_ = 0;
    size_t pos_ = 0;
    size_t remaining_ = 0;
};

// Excel 97 string: length (1 or 2 bytes), flags, optional run and extension
// counts, the characters, then rich-text runs and phonetic data (skipped).
bool readUnicodeString(Segments& s, int lengthBytes, QString& out);
// The same string passed over without building its text.
bool skipUnicodeString(Segments& s, int lengthBytes);
// Excel 5 string: length (1 or 2 bytes) and bytes in the workbook's codepage.
bool readByteString(Segments& s, int lengthBytes, QStringDecoder& decoder, QString& out);

}  // namespace workbook
