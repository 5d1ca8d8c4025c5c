#pragma once
#include <QString>

#include <atomic>

namespace workbook {

// What a workbook part's XML reader reports to: the SAX-style calls of the
// scanner, and a way for the sink to end the reading early.
class XmlSink {
public:
    virtual ~XmlSink() = default;
    // Names are local names; the namespace is dropped.
    virtual void start(const char* name, const char** attributes) = 0;
    virtual void end(const char* name) = 0;
    virtual void text(const char* s, int length) = 0;
    // Set by a sink that found what it needed, or something it cannot accept.
    bool stop = false;
    QString error;
    // Checked between blocks of the part; a set flag ends the parse with cancelledText().
    const std::atomic<bool>* cancel = nullptr;
};

// "x:sheetData" -> "sheetData".
const char* localName(const char* name);
// The value of an attribute by local name, or nullptr.
const char* attribute(const char** attributes, const char* name);

}  // namespace workbook
