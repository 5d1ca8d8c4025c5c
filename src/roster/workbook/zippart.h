#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

struct zip;

// Read-only access to the parts of a zip package held in memory.
namespace workbook {

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

class ZipPackage {
public:
    // The data must outlive the package.
    explicit ZipPackage(const QByteArray& data);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    bool isOpen() const { return archive_ != nullptr; }
    QString openError() const { return openError_; }
    bool contains(const QString& part) const;
    // Streams one part through the XML sink. False with an error text when
    // the part is missing, damaged, too large or not well-formed XML.
    bool parse(const QString& part, XmlSink& sink, QString* error) const;

private:
    zip* archive_ = nullptr;
    QString openError_;
};

}  // namespace workbook
