#include "xmlscan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace workbook {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Names are taken leniently: anything up to a character that ends them.
bool isNameChar(char c)
{
    return !(isSpace(c) || c == '>' || c == '/' || c == '=' || c == '<' || c == '"' || c == '\'' || c == '&' ||
             c == '\0');
}

char* find(char* p, char* end, const char* what)
{
    return static_cast<char*>(memmem(p, size_t(end - p), what, std::strlen(what)));
}

bool putUtf8(uint32_t cp, char*& w)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    if (cp < 0x80) {
        *w++ = char(cp);
    } else if (cp < 0x800) {
        *w++ = char(0xC0 | cp >> 6);
        *w++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *w++ = char(0xE0 | cp >> 12);
        *w++ = char(0x80 | (cp >> 6 & 0x3F));
        *w++ = char(0x80 | (cp & 0x3F));
    } else {
        *w++ = char(0xF0 | cp >> 18);
        *w++ = char(0x80 | (cp >> 12 & 0x3F));
        *w++ = char(0x80 | (cp >> 6 & 0x3F));
        *w++ = char(0x80 | (cp & 0x3F));
    }
    return true;
}

// The entity or character reference at p ('&') written at w, which never
// runs ahead of p. Returns the byte after its ';', or null when it is not one
// of the predefined entities or a valid reference.
char* entity(char* p, char* end, char*& w)
{
    char* semi = static_cast<char*>(std::memchr(p, ';', size_t(std::min<std::ptrdiff_t>(end - p, 12))));
    if (!semi)
        return nullptr;
    const char* n = p + 1;
    const size_t length = size_t(semi - n);
    if (length == 2 && n[0] == 'l' && n[1] == 't') {
        *w++ = '<';
    } else if (length == 2 && n[0] == 'g' && n[1] == 't') {
        *w++ = '>';
    } else if (length == 3 && std::memcmp(n, "amp", 3) == 0) {
        *w++ = '&';
    } else if (length == 4 && std::memcmp(n, "quot", 4) == 0) {
        *w++ = '"';
    } else if (length == 4 && std::memcmp(n, "apos", 4) == 0) {
        *w++ = '\'';
    } else if (length >= 2 && n[0] == '#') {
        uint32_t cp = 0;
        const bool hex = n[1] == 'x';
        const char* d = n + (hex ? 2 : 1);
        if (d == semi)
            return nullptr;
        for (; d < semi; ++d) {
            int v;
            if (*d >= '0' && *d <= '9')
                v = *d - '0';
            else if (hex && (*d | 0x20) >= 'a' && (*d | 0x20) <= 'f')
                v = (*d | 0x20) - 'a' + 10;
            else
                return nullptr;
            cp = cp * (hex ? 16 : 10) + uint32_t(v);
            if (cp > 0x10FFFF)
                return nullptr;
        }
        if (!putUtf8(cp, w))
            return nullptr;
    } else {
        return nullptr;
    }
    return semi + 1;
}

}  // namespace

XmlScanner::XmlScanner(XmlSink& sink)
    : sink_(sink)
{
    attributes_.reserve(16);
}

char* XmlScanner::buffer(size_t n)
{
    if (begin_ > 0) {
        std::memmove(data_.data(), data_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        counted_ -= begin_;
        begin_ = 0;
    }
    if (data_.size() < end_ + n)
        data_.resize(end_ + n);
    return data_.data() + end_;
}

XmlScanner::Step XmlScanner::fail(const char* why, const char* at)
{
    error_ = why;
    const char* end = data_.data() + end_;
    line_ = 1 + linesToEnd_ - long(std::count(at, end, '\n'));
    return Step::Failed;
}

bool XmlScanner::parse(size_t n, bool final)
{
    end_ += n;
    char* const base = data_.data();
    linesToEnd_ += long(std::count(base + counted_, base + end_, '\n'));
    counted_ = end_;
    char* p = base + begin_;
    char* const end = base + end_;
    if (!rootSeen_ && p == base && end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;  // byte order mark
    while (p < end && !sink_.stop) {
        if (*p != '<') {
            char* lt = static_cast<char*>(std::memchr(p, '<', size_t(end - p)));
            char* cut = lt ? lt : end;
            if (!lt && !final) {
                // Keep a reference or a CR cut by the block's end for the next block.
                char* amp = static_cast<char*>(memrchr(p, '&', size_t(end - p)));
                if (amp && !std::memchr(amp, ';', size_t(end - amp)))
                    cut = amp;
                if (cut > p && cut[-1] == '\r')
                    --cut;
                if (cut == p)
                    break;
            }
            if (!text(p, cut, false))
                return false;
            p = cut;
            continue;
        }
        char* next = nullptr;
        const Step step = token(p, end, final, &next);
        if (step == Step::Failed)
            return false;
        if (step == Step::More)
            break;
        p = next;
    }
    begin_ = size_t(p - base);
    if (final && !sink_.stop) {
        if (p < end)
            return fail("unclosed token", p) != Step::Failed;
        if (!rootSeen_ || !open_.empty())
            return fail("no element found", end) != Step::Failed;
    }
    return true;
}

XmlScanner::Step XmlScanner::token(char* p, char* end, bool final, char** next)
{
    const auto more = [&] { return final ? fail("unclosed token", p) : Step::More; };
    const std::ptrdiff_t avail = end - p;
    if (avail < 2)
        return more();
    if (p[1] == '/') {
        char* close = static_cast<char*>(std::memchr(p, '>', size_t(avail)));
        if (!close)
            return more();
        *next = close + 1;
        return endTag(p + 2, close);
    }
    if (p[1] == '?') {
        char* close = find(p + 2, end, "?>");
        if (!close)
            return more();
        if (avail >= 6 && std::memcmp(p, "<?xml", 5) == 0 && isSpace(p[5])) {
            // Only UTF-8 is read; Excel writes nothing else.
            const char* encoding = find(p, close, "encoding");
            if (encoding) {
                const char* v = encoding + 8;
                while (v < close && (isSpace(*v) || *v == '=' || *v == '"' || *v == '\''))
                    ++v;
                if (close - v < 5 || (strncasecmp(v, "UTF-8", 5) != 0 && strncasecmp(v, "UTF8", 4) != 0))
                    return fail("unknown encoding", p);
            }
        }
        *next = close + 2;
        return Step::Done;
    }
    if (p[1] == '!') {
        if (avail < 9 && !final)
            return Step::More;
        if (avail >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            char* close = find(p + 4, end, "-->");
            if (!close)
                return more();
            *next = close + 3;
            return Step::Done;
        }
        if (avail >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            char* close = find(p + 9, end, "]]>");
            if (!close)
                return more();
            *next = close + 3;
            return text(p + 9, close, true) ? Step::Done : Step::Failed;
        }
        if (avail >= 9 && std::memcmp(p, "<!DOCTYPE", 9) == 0) {
            doctype_ = true;
            return fail("document type declaration", p);
        }
        return fail("not well-formed (invalid token)", p);
    }
    // A start tag ends at the first '>' outside quotes.
    char quote = 0;
    char* c = p + 1;
    for (; c < end; ++c) {
        if (quote) {
            if (*c == quote)
                quote = 0;
        } else if (*c == '"' || *c == '\'') {
            quote = *c;
        } else if (*c == '>') {
            break;
        }
    }
    if (c == end)
        return more();
    *next = c + 1;
    return startTag(p + 1, c, next);
}

XmlScanner::Step XmlScanner::startTag(char* p, char* close, char**)
{
    const bool selfClosing = close > p && close[-1] == '/';
    char* const limit = selfClosing ? close - 1 : close;
    char* nameEnd = p;
    while (nameEnd < limit && isNameChar(*nameEnd))
        ++nameEnd;
    if (nameEnd == p)
        return fail("not well-formed (invalid token)", p);
    if (rootClosed_)
        return fail("junk after document element", p);
    attributes_.clear();
    char* a = nameEnd;
    for (;;) {
        const char* gap = a;
        while (a < limit && isSpace(*a))
            ++a;
        if (a == limit)
            break;
        if (a == gap)
            return fail("not well-formed (invalid token)", a);
        char* attributeName = a;
        while (a < limit && isNameChar(*a))
            ++a;
        char* attributeNameEnd = a;
        while (a < limit && isSpace(*a))
            ++a;
        if (attributeNameEnd == attributeName || a == limit || *a != '=')
            return fail("not well-formed (invalid token)", a);
        ++a;
        while (a < limit && isSpace(*a))
            ++a;
        if (a == limit || (*a != '"' && *a != '\''))
            return fail("not well-formed (invalid token)", a);
        const char quote = *a++;
        char* value = a;
        char* valueEnd = static_cast<char*>(std::memchr(value, quote, size_t(limit - value)));
        if (!valueEnd)
            return fail("not well-formed (invalid token)", value);
        // Decoded in place; white space becomes a space, as XML asks of attribute values.
        char* w = value;
        for (char* r = value; r < valueEnd;) {
            const char ch = *r;
            if (ch == '&') {
                r = entity(r, valueEnd, w);
                if (!r)
                    return fail("undefined entity", value);
            } else if (ch == '<') {
                return fail("not well-formed (invalid token)", r);
            } else if (ch == '\r') {
                *w++ = ' ';
                r += (r + 1 < valueEnd && r[1] == '\n') ? 2 : 1;
            } else {
                *w++ = (ch == '\n' || ch == '\t') ? ' ' : ch;
                ++r;
            }
        }
        *w = '\0';
        *attributeNameEnd = '\0';
        attributes_.push_back(attributeName);
        attributes_.push_back(value);
        a = valueEnd + 1;
    }
    attributes_.push_back(nullptr);
    open_.push_back(names_.size());
    names_.append(p, size_t(nameEnd - p));
    names_.push_back('\0');
    *nameEnd = '\0';
    rootSeen_ = true;
    const char* local = localName(p);
    sink_.start(local, attributes_.data());
    if (selfClosing) {
        names_.resize(open_.back());
        open_.pop_back();
        rootClosed_ = open_.empty();
        if (!sink_.stop)
            sink_.end(local);
    }
    return Step::Done;
}

XmlScanner::Step XmlScanner::endTag(char* p, char* close)
{
    char* nameEnd = close;
    while (nameEnd > p && isSpace(nameEnd[-1]))
        --nameEnd;
    if (open_.empty())
        return fail("not well-formed (invalid token)", p);
    const size_t top = open_.back();
    const size_t length = names_.size() - top - 1;
    if (size_t(nameEnd - p) != length || std::memcmp(names_.data() + top, p, length) != 0)
        return fail("mismatched tag", p);
    names_.resize(top);
    open_.pop_back();
    rootClosed_ = open_.empty();
    *nameEnd = '\0';
    sink_.end(localName(p));
    return Step::Done;
}

bool XmlScanner::text(char* p, char* end, bool cdata)
{
    if (open_.empty()) {
        // Outside the root only white space may stand.
        for (char* c = p; c < end; ++c) {
            if (cdata || !isSpace(*c))
                return fail(rootClosed_ ? "junk after document element" : "syntax error", c) != Step::Failed;
        }
        return true;
    }
    char* r = p;
    while (r < end && *r != '&' && *r != '\r')
        ++r;
    char* w = r;
    while (r < end) {
        const char ch = *r;
        if (ch == '&' && !cdata) {
            r = entity(r, end, w);
            if (!r)
                return fail("undefined entity", p) != Step::Failed;
        } else if (ch == '\r') {
            *w++ = '\n';  // CR LF and a lone CR end a line as LF does
            r += (r + 1 < end && r[1] == '\n') ? 2 : 1;
        } else {
            *w++ = ch;
            ++r;
        }
    }
    if (w > p)
        sink_.text(p, int(w - p));
    return true;
}

}  // namespace workbook
