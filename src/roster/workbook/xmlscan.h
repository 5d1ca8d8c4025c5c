#pragma once
#include "xmlsink.h"

#include <string>
#include <vector>

namespace workbook {

// A small non-validating XML reader for workbook parts, several times faster
// than a general parser on the large sheet and string parts: the text is
// scanned in place, names and values are cut out with NUL bytes, and the sink
// sees the same calls a SAX parser would make (local element names, raw
// attribute names, decoded text in pieces). It takes UTF-8 only, knows the
// five predefined entities and character references, checks that tags nest,
// and refuses a document type declaration.
class XmlScanner {
public:
    explicit XmlScanner(XmlSink& sink);

    // Room for n more bytes at the end of the unread text.
    char* buffer(size_t n);
    // Reads what the last n bytes completed; final says no more will come.
    // False on malformed text (see error()) and when a document type was met.
    bool parse(size_t n, bool final);

    bool sawDoctype() const { return doctype_; }
    // The library-style reason and the line it was found on.
    const char* error() const { return error_; }
    long line() const { return line_; }

private:
    enum class Step { Done, More, Failed };
    Step token(char* p, char* end, bool final, char** next);
    Step startTag(char* p, char* close, char** next);
    Step endTag(char* p, char* close);
    bool text(char* p, char* end, bool cdata);
    Step fail(const char* why, const char* at);

    XmlSink& sink_;
    std::vector<char> data_;
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;  // end of the bytes written
    std::string names_;  // open element names, NUL-separated
    std::vector<size_t> open_;  // where each open name starts in names_
    std::vector<const char*> attributes_;
    bool rootSeen_ = false;
    bool rootClosed_ = false;
    bool doctype_ = false;
    const char* error_ = nullptr;
    long line_ = 1;
    size_t counted_ = 0;  // bytes of data_ whose line ends are counted
    long linesToEnd_ = 0;  // line ends up to end_
};

}  // namespace workbook
