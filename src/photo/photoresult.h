#pragma once
#include <QImage>
#include <QString>

// Outcome of an operation that writes or changes something: ok, or why not.
struct SaveResult {
    bool ok = false;
    QString error;

    static SaveResult success() { return {true, {}}; }
    static SaveResult failure(const QString& why) { return {false, why}; }
};

// A picture, or the reason there is none.
struct ImageResult {
    QImage image;
    QString error;

    bool ok() const { return !image.isNull(); }
    static ImageResult success(QImage picture) { return {std::move(picture), {}}; }
    static ImageResult failure(const QString& why) { return {QImage(), why}; }
};
