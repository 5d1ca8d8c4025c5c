#include "bytes.h"

#include <cstdlib>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace workbook {

Bytes::Bytes(size_t size)
    : size_(size)
{
    if (size == 0)
        return;
#ifdef Q_OS_LINUX
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p != MAP_FAILED) {
        data_ = static_cast<char*>(p);
        mapped_ = true;
        return;
    }
#endif
    data_ = static_cast<char*>(std::malloc(size));
}

Bytes::~Bytes()
{
    release();
}

Bytes::Bytes(Bytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr))
    , size_(std::exchange(other.size_, 0))
    , mapped_(std::exchange(other.mapped_, false))
{
}

Bytes& Bytes::operator=(Bytes&& other) noexcept
{
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void Bytes::release()
{
#ifdef Q_OS_LINUX
    if (mapped_) {
        ::munmap(data_, size_);
        data_ = nullptr;
        return;
    }
#endif
    std::free(data_);
    data_ = nullptr;
}

}  // namespace workbook
