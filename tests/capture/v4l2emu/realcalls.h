#pragma once
// The C library's own functions behind the ones this library replaces.
#include <sys/types.h>

#include <cstddef>

namespace v4l2emu::real {

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int munmap(void* addr, size_t length);

}  // namespace v4l2emu::real
