#pragma once
// Files the tests write and read back.
#include "jpegcodec.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

// The whole file; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A photo already there: a solid-colour JPEG at `path`, its folder made.
inline void writeSolidPhoto(const QString& path, QSize size = QSize(151, 201), QColor colour = QColor(10, 200, 10))
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    QVERIFY(writeAll(path, jpeg::encode(picture, 90).value()));
}
