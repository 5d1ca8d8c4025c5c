// The C library calls a camera program makes, answered for the emulated
// cameras and passed on otherwise. FFmpeg's v4l2 input (built for large
// files) calls open64 and mmap64; fortified builds call __open64_2.
#ifdef _FORTIFY_SOURCE
#undef _FORTIFY_SOURCE
#endif
#include "camera.h"
#include "realcalls.h"

#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using OpenatFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using MmapFn = void* (*)(void*, size_t, int, int, int, off_t);
using MunmapFn = int (*)(void*, size_t);

bool takesMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

mode_t modeArg(int flags, va_list ap)
{
    return takesMode(flags) ? mode_t(va_arg(ap, int)) : 0;
}

int openWith(const char* name, const char* path, int flags, mode_t mode)
{
    if (v4l2emu::isClaimed(path))
        return v4l2emu::openCamera(path, flags);
    static const OpenFn f = next<OpenFn>(name);
    return f(path, flags, mode);
}

int openatWith(const char* name, int dirfd, const char* path, int flags, mode_t mode)
{
    if ((dirfd == AT_FDCWD || (path && path[0] == '/')) && v4l2emu::isClaimed(path))
        return v4l2emu::openCamera(path, flags);
    static const OpenatFn f = next<OpenatFn>(name);
    return f(dirfd, path, flags, mode);
}

}  // namespace

namespace v4l2emu::real {

// Resolved on first use; a call made while dlsym itself maps memory goes
// straight to the kernel.
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    static std::atomic<MmapFn> f{nullptr};
    static std::atomic<bool> resolving{false};
    MmapFn fn = f.load();
    if (!fn) {
        if (resolving.exchange(true))
            return reinterpret_cast<void*>(syscall(SYS_mmap, addr, length, prot, flags, fd, offset));
        fn = next<MmapFn>("mmap");
        f = fn;
        resolving = false;
    }
    return fn(addr, length, prot, flags, fd, offset);
}

int munmap(void* addr, size_t length)
{
    static std::atomic<MunmapFn> f{nullptr};
    static std::atomic<bool> resolving{false};
    MunmapFn fn = f.load();
    if (!fn) {
        if (resolving.exchange(true))
            return int(syscall(SYS_munmap, addr, length));
        fn = next<MunmapFn>("munmap");
        f = fn;
        resolving = false;
    }
    return fn(addr, length);
}

}  // namespace v4l2emu::real

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openWith("open", path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openWith("open64", path, flags, mode);
}

__attribute__((visibility("default"))) int __open_2(const char* path, int flags)
{
    return openWith("open", path, flags, 0);
}

__attribute__((visibility("default"))) int __open64_2(const char* path, int flags)
{
    return openWith("open64", path, flags, 0);
}

__attribute__((visibility("default"))) int openat(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openatWith("openat", dirfd, path, flags, mode);
}

__attribute__((visibility("default"))) int openat64(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openatWith("openat64", dirfd, path, flags, mode);
}

__attribute__((visibility("default"))) int __openat_2(int dirfd, const char* path, int flags)
{
    return openatWith("openat", dirfd, path, flags, 0);
}

__attribute__((visibility("default"))) int __openat64_2(int dirfd, const char* path, int flags)
{
    return openatWith("openat64", dirfd, path, flags, 0);
}

__attribute__((visibility("default"))) int close(int fd)
{
    static const CloseFn f = next<CloseFn>("close");
    if (fd >= 0 && v4l2emu::isHandle(fd))
        v4l2emu::closeHandle(fd);
    return f(fd);
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (fd >= 0 && v4l2emu::isHandle(fd))
        return v4l2emu::ioctlHandle(fd, request, arg);
    static const IoctlFn f = next<IoctlFn>("ioctl");
    return f(fd, request, arg);
}

__attribute__((visibility("default"))) void* mmap(void* addr, size_t length, int prot, int flags, int fd,
                                                  off_t offset) noexcept
{
    if (fd >= 0 && !(flags & MAP_ANONYMOUS) && v4l2emu::isHandle(fd))
        return v4l2emu::mmapHandle(fd, length, offset);
    return v4l2emu::real::mmap(addr, length, prot, flags, fd, offset);
}

__attribute__((visibility("default"))) void* mmap64(void* addr, size_t length, int prot, int flags, int fd,
                                                    off64_t offset) noexcept
{
    return mmap(addr, length, prot, flags, fd, off_t(offset));
}

__attribute__((visibility("default"))) int munmap(void* addr, size_t length) noexcept
{
    if (v4l2emu::unmapBuffer(addr))
        return 0;
    return v4l2emu::real::munmap(addr, length);
}

}  // extern "C"
