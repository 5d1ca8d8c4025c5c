#pragma once
#include "result.h"

#include <QByteArray>
#include <QString>

#include <vector>

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;

// A zip archive made in memory with libzip, for the safe write to put on
// disk: libzip's own file output renames its temporary over the target,
// which would bypass the station's one way of writing files.
class ZipWriter {
public:
    ZipWriter();
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a file stored as it is (a JPEG does not shrink), named in UTF-8.
    Status add(const QString& name, const QByteArray& bytes);
    // The archive, every name marked as UTF-8 (the language-encoding flag);
    // the writer takes no more files after it.
    Result<QByteArray> finish();

private:
    zip_source_t* buffer_ = nullptr;  // where libzip writes the archive
    zip_t* archive_ = nullptr;
    std::vector<QByteArray> contents_;  // read by libzip only when it writes
    QString openError_;
};
