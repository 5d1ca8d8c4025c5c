#pragma once
#include <QByteArray>

#include <cstddef>

namespace workbook {

// A byte buffer whose pages are mapped in with one call. Filling fresh memory
// otherwise takes a page fault every 4 KB, which costs a large read more than
// the copying does.
class Bytes {
public:
    explicit Bytes(size_t size);
    ~Bytes();
    Bytes(Bytes&& other) noexcept;
    Bytes& operator=(Bytes&& other) noexcept;
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    // Null when the memory could not be had.
    char* data() const { return data_; }
    size_t size() const { return size_; }
    // The bytes without a copy; valid while this buffer lives.
    QByteArray view() const { return QByteArray::fromRawData(data_, qsizetype(size_)); }

private:
    void release();
    char* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
};

}  // namespace workbook
