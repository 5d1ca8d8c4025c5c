#pragma once
#include <QByteArray>
#include <QString>

#include "xmlsink.h"

#include <atomic>
#include <memory>

struct zip;

// Read-only access to the parts of a zip package held in memory.
namespace workbook {

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
