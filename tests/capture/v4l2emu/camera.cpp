#include "camera.h"

#include "frames.h"
#include "realcalls.h"
#include "registry.h"
#include "v4l2emu.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace v4l2emu {

// Never destroyed: frame threads may still run while the process exits.
Registry& reg()
{
    static Registry* r = new Registry;
    return *r;
}

std::atomic<int> g_bufferCount{0};

namespace {

std::atomic<int> g_cameraCount{0};
// Live handles and buffers: while there are none, the process's own close,
// ioctl and munmap calls pass without taking the lock.
std::atomic<int> g_handleCount{0};
std::atomic<long long> g_cpuNs{0};

int fail(int e)
{
    errno = e;
    return -1;
}

std::string normalPath(const char* p)
{
    std::string s = p ? p : "";
    if (s.empty())
        return s;
    if (s[0] != '/') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return s;
        s = std::string(cwd) + "/" + s;
    }
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < s.size()) {
        const size_t j = s.find('/', i);
        const std::string part = s.substr(i, j == std::string::npos ? std::string::npos : j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (j == std::string::npos)
            break;
        i = j + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

void makeLink(const std::string& path)
{
    struct stat st { };
    if (lstat(path.c_str(), &st) != 0)
        symlink("/dev/null", path.c_str());
}

void removeLink(const std::string& path)
{
    char target[64] = {};
    if (readlink(path.c_str(), target, sizeof target - 1) > 0 && std::strcmp(target, "/dev/null") == 0)
        unlink(path.c_str());
}

uint32_t fourccOf(const std::string& s)
{
    if (s.size() != 4)
        return 0;
    return v4l2_fourcc(s[0], s[1], s[2], s[3]);
}

// "YUYV 640x480@30/15,MJPG 1280x720@30"
std::vector<Mode> parseModes(const char* text)
{
    std::vector<Mode> modes;
    std::string all = text ? text : "";
    size_t i = 0;
    while (i <= all.size()) {
        size_t j = all.find(',', i);
        if (j == std::string::npos)
            j = all.size();
        std::string item = all.substr(i, j - i);
        item.erase(0, item.find_first_not_of(' '));
        char code[5] = {};
        unsigned w = 0, h = 0;
        int used = 0;
        if (std::sscanf(item.c_str(), "%4s %ux%u%n", code, &w, &h, &used) == 3 && w > 1 && h > 1) {
            Mode m;
            m.fourcc = fourccOf(code);
            m.width = w;
            m.height = h;
            const char* rest = item.c_str() + used;
            while (*rest == '@' || *rest == '/') {
                char* end = nullptr;
                const unsigned long f = std::strtoul(rest + 1, &end, 10);
                if (end == rest + 1)
                    break;
                if (f > 0)
                    m.fps.push_back(uint32_t(f));
                rest = end;
            }
            if (m.fps.empty())
                m.fps.push_back(30);
            if (m.fourcc)
                modes.push_back(m);
        }
        i = j + 1;
    }
    return modes;
}

std::shared_ptr<Camera> findCamera(const char* path)
{
    const auto it = reg().cameras.find(normalPath(path));
    return it == reg().cameras.end() ? nullptr : it->second;
}

}  // namespace

bool isDead(Handle& h)
{
    return !h.camera->plugged || reg().states[&h].generation != reg().generations[h.camera.get()];
}

void signal(Handle& h)
{
    if (h.signalled)
        return;
    const uint64_t one = 1;
    if (write(h.fd, &one, sizeof one) == sizeof one)
        h.signalled = true;
}

void unsignal(Handle& h)
{
    if (!h.signalled)
        return;
    uint64_t v = 0;
    if (read(h.fd, &v, sizeof v) == sizeof v)
        h.signalled = false;
}

void unplug(Camera& c)
{
    c.plugged = false;
    c.unplugAfter = 0;
    removeLink(c.path);
    for (auto& [fd, h] : reg().handles)
        if (h->camera.get() == &c)
            signal(*h);  // poll wakes and DQBUF reports the loss
    reg().changed.notify_all();
}

namespace {

const std::vector<uint8_t>& cachedFrame(Camera& c, size_t mode, int key)
{
    std::lock_guard<std::mutex> lock(c.cacheMutex);
    auto& slot = c.cache[{mode, key}];
    if (slot.empty()) {
        const Mode& m = c.modes[mode];
        slot = m.fourcc == V4L2_PIX_FMT_YUYV ? yuyvGradient(int(m.width), int(m.height))
                                             : mjpegFrame(int(m.width), int(m.height), key);
    }
    return slot;
}

long long threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

}  // namespace

void frameLoop(Handle* h)
{
    Registry& r = reg();
    Camera& c = *h->camera;
    long long cpu = threadCpuNs();
    std::unique_lock<std::mutex> lk(r.mutex);
    auto next = std::chrono::steady_clock::now();
    while (!h->stopFrames) {
        const double fps = c.fixedFps > 0 ? double(c.fixedFps) : double(c.fps);
        next += std::chrono::nanoseconds(static_cast<long long>(1e9 / fps));
        const auto now = std::chrono::steady_clock::now();
        if (next < now - std::chrono::seconds(1))
            next = now;  // after a long stall the clock starts again rather than bursting
        if (r.changed.wait_until(lk, next, [&] { return h->stopFrames; }))
            break;
        if (c.frozen) {
            // Nothing until thawed; then the next frame comes at once.
            r.changed.wait(lk, [&] { return h->stopFrames || !c.frozen; });
            next = std::chrono::steady_clock::now() - std::chrono::nanoseconds(static_cast<long long>(1e9 / fps));
            continue;
        }
        if (isDead(*h))
            continue;
        HandleState& st = r.states[h];
        const size_t mode = c.mode;
        const Mode m = c.modes[mode];
        const uint32_t seq = st.sequence++;
        const bool mjpeg = m.fourcc != V4L2_PIX_FMT_YUYV;
        const bool corrupt = mjpeg && c.corruptEvery > 0 && (seq + 1) % uint32_t(c.corruptEvery) == 0;
        lk.unlock();
        const std::vector<uint8_t>& frame = cachedFrame(c, mode, mjpeg ? int(seq % kMarkPositions) : -1);
        std::vector<uint8_t> bad;
        if (corrupt)
            bad = damaged(frame, seq);
        const std::vector<uint8_t>& data = corrupt ? bad : frame;
        lk.lock();
        if (h->stopFrames)
            break;
        if (st.queued.empty() || c.mode != mode) {
            ++c.dropped;
        } else {
            const uint32_t index = st.queued.front();
            st.queued.pop_front();
            Buffer& b = *h->buffers[index];
            const size_t n = std::min(data.size(), size_t(b.info.length));
            std::memcpy(b.memory, data.data(), n);
            if (!mjpeg)
                drawYuyvMark(static_cast<uint8_t*>(b.memory), int(m.width), int(m.height), int(seq % kMarkPositions));
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            b.info.bytesused = uint32_t(n);
            b.info.timestamp.tv_sec = ts.tv_sec;
            b.info.timestamp.tv_usec = ts.tv_nsec / 1000;
            b.info.sequence = seq;
            b.info.field = V4L2_FIELD_NONE;
            b.state = Buffer::State::Done;
            st.done.push_back(index);
            signal(*h);
            ++c.frames;
            if (c.unplugAfter > 0 && --c.unplugAfter == 0)
                unplug(c);
            r.changed.notify_all();
        }
        const long long now2 = threadCpuNs();
        g_cpuNs += now2 - cpu;
        cpu = now2;
    }
    g_cpuNs += threadCpuNs() - cpu;
}

void stopFrames(Handle& h, std::unique_lock<std::mutex>& lk)
{
    h.stopFrames = true;
    reg().changed.notify_all();
    std::thread t = std::move(h.frames);
    if (t.joinable()) {
        lk.unlock();
        t.join();
        lk.lock();
    }
    h.stopFrames = false;
}

void resetQueues(Handle& h)
{
    HandleState& st = reg().states[&h];
    st.queued.clear();
    st.done.clear();
    for (auto& b : h.buffers)
        b->state = Buffer::State::Idle;
    unsignal(h);
}

// Lets go of a handle's buffers; mapped ones live on until unmapped.
void releaseBuffers(Handle& h)
{
    for (auto& b : h.buffers) {
        if (b->mappings > 0)
            reg().orphans.push_back(std::move(b));
        else {
            real::munmap(b->memory, b->length);
            --g_bufferCount;
        }
    }
    h.buffers.clear();
    if (h.camera->owner == &h)
        h.camera->owner = nullptr;
}

bool isClaimed(const char* path)
{
    if (g_cameraCount.load() == 0 || !path)
        return false;
    std::lock_guard<std::mutex> lock(reg().mutex);
    return findCamera(path) != nullptr;
}

int openCamera(const char* path, int flags)
{
    std::lock_guard<std::mutex> lock(reg().mutex);
    const std::shared_ptr<Camera> c = findCamera(path);
    if (!c || !c->plugged)
        return fail(ENOENT);
    if (c->noAccess)
        return fail(EACCES);
    if (c->busyOpen)
        return fail(EBUSY);
    const int fd = eventfd(0, ((flags & O_NONBLOCK) ? EFD_NONBLOCK : 0) | ((flags & O_CLOEXEC) ? EFD_CLOEXEC : 0));
    if (fd < 0)
        return -1;
    auto h = std::make_shared<Handle>();
    h->fd = fd;
    h->camera = c;
    reg().states[h.get()].generation = reg().generations[c.get()];
    reg().handles[fd] = h;
    ++g_handleCount;
    ++c->opens;
    return fd;
}

bool isHandle(int fd)
{
    if (g_handleCount.load() == 0)
        return false;
    std::lock_guard<std::mutex> lock(reg().mutex);
    return reg().handles.count(fd) != 0;
}

void closeHandle(int fd)
{
    std::unique_lock<std::mutex> lk(reg().mutex);
    const auto it = reg().handles.find(fd);
    if (it == reg().handles.end())
        return;
    const std::shared_ptr<Handle> h = it->second;
    h->closing = true;
    stopFrames(*h, lk);
    h->streaming = false;
    releaseBuffers(*h);
    reg().states.erase(h.get());
    reg().handles.erase(fd);
    --g_handleCount;
    reg().changed.notify_all();
}

int ioctlHandle(int fd, unsigned long request, void* arg)
{
    std::unique_lock<std::mutex> lk(reg().mutex);
    const auto it = reg().handles.find(fd);
    if (it == reg().handles.end())
        return fail(EBADF);
    const std::shared_ptr<Handle> h = it->second;  // kept alive while a DQBUF waits
    if (!arg)
        return fail(EFAULT);
    const int e = ioctlLocked(*h, request, arg, lk);
    return e ? fail(e) : 0;
}

void* mmapHandle(int fd, size_t length, off_t offset)
{
    std::lock_guard<std::mutex> lock(reg().mutex);
    const auto it = reg().handles.find(fd);
    if (it == reg().handles.end()) {
        errno = EBADF;
        return MAP_FAILED;
    }
    for (auto& b : it->second->buffers) {
        if (off_t(b->info.m.offset) == offset) {
            if (length > b->length) {
                errno = EINVAL;
                return MAP_FAILED;
            }
            ++b->mappings;
            return b->memory;
        }
    }
    errno = EINVAL;
    return MAP_FAILED;
}

bool unmapBuffer(void* addr)
{
    if (g_bufferCount.load() == 0)
        return false;
    std::lock_guard<std::mutex> lock(reg().mutex);
    for (auto& [fd, h] : reg().handles)
        for (auto& b : h->buffers)
            if (b->memory == addr && b->mappings > 0) {
                --b->mappings;
                return true;
            }
    auto& orphans = reg().orphans;
    for (auto it = orphans.begin(); it != orphans.end(); ++it)
        if ((*it)->memory == addr) {
            if (--(*it)->mappings <= 0) {
                real::munmap((*it)->memory, (*it)->length);
                --g_bufferCount;
                orphans.erase(it);
            }
            return true;
        }
    return false;
}

}  // namespace v4l2emu

using namespace v4l2emu;

extern "C" {

int v4l2emu_add(const char* path, const char* card, const char* modes)
{
    std::vector<Mode> parsed = parseModes(modes);
    if (!path || !card || parsed.empty())
        return EINVAL;
    std::lock_guard<std::mutex> lock(reg().mutex);
    const std::string p = normalPath(path);
    if (reg().cameras.count(p))
        return EEXIST;
    auto c = std::make_shared<Camera>();
    c->path = p;
    c->card = card;
    c->modes = std::move(parsed);
    c->fps = c->modes.front().fps.front();
    reg().bus[c.get()] = reg().nextBus++;
    reg().cameras[p] = c;
    makeLink(p);
    ++g_cameraCount;
    return 0;
}

int v4l2emu_remove(const char* path)
{
    std::lock_guard<std::mutex> lock(reg().mutex);
    const auto it = reg().cameras.find(normalPath(path));
    if (it == reg().cameras.end())
        return ENOENT;
    Camera& c = *it->second;
    unplug(c);
    reg().cameras.erase(it);
    --g_cameraCount;
    return 0;
}

int v4l2emu_set(const char* path, const char* key, long long value)
{
    std::lock_guard<std::mutex> lock(reg().mutex);
    const std::shared_ptr<Camera> c = findCamera(path);
    if (!c || !key)
        return ENOENT;
    const std::string k = key;
    if (k == "busy_open")
        c->busyOpen = value != 0;
    else if (k == "busy_stream")
        c->busyStream = value != 0;
    else if (k == "eacces")
        c->noAccess = value != 0;
    else if (k == "unplug_after")
        c->unplugAfter = value;
    else if (k == "corrupt_every")
        c->corruptEvery = value;
    else if (k == "fixed_fps")
        c->fixedFps = value;
    else if (k == "frozen")
        c->frozen = value != 0;
    else if (k == "clear_log")
        c->log.clear();
    else if (k == "plugged") {
        if (!value && c->plugged) {
            unplug(*c);
        } else if (value && !c->plugged) {
            c->plugged = true;
            ++reg().generations[c.get()];  // handles of before the unplug stay dead
            makeLink(c->path);
        }
    } else if (k.rfind("ctrl:", 0) == 0) {
        const Control* ctl = findControl(uint32_t(std::strtoul(k.c_str() + 5, nullptr, 0)));
        if (!ctl)
            return EINVAL;
        c->values[ctl->id] = int32_t(value);
    } else {
        return EINVAL;
    }
    reg().changed.notify_all();
    return 0;
}

long long v4l2emu_get(const char* path, const char* key)
{
    if (key && std::strcmp(key, "emulator_cpu_ns") == 0)
        return g_cpuNs.load();
    std::lock_guard<std::mutex> lock(reg().mutex);
    const std::shared_ptr<Camera> c = findCamera(path);
    if (!c || !key)
        return -1;
    const std::string k = key;
    const Mode& m = currentMode(*c);
    if (k == "frames")
        return c->frames;
    if (k == "dropped")
        return c->dropped;
    if (k == "opens")
        return c->opens;
    if (k == "stream_starts")
        return c->streamStarts;
    if (k == "width")
        return m.width;
    if (k == "height")
        return m.height;
    if (k == "fourcc")
        return m.fourcc;
    if (k == "fps")
        return c->fps;
    if (k == "plugged")
        return c->plugged;
    if (k == "streaming" || k == "open_handles") {
        long long n = 0;
        for (auto& [fd, h] : reg().handles)
            if (h->camera == c)
                n += k == "streaming" ? h->streaming : 1;
        return n;
    }
    if (k.rfind("ctrl:", 0) == 0) {
        const Control* ctl = findControl(uint32_t(std::strtoul(k.c_str() + 5, nullptr, 0)));
        return ctl ? valueOf(*c, *ctl) : -1;
    }
    return -1;
}

size_t v4l2emu_control_log(const char* path, char* out, size_t size)
{
    std::string text;
    {
        std::lock_guard<std::mutex> lock(reg().mutex);
        const std::shared_ptr<Camera> c = findCamera(path);
        if (c)
            for (const LogEntry& e : c->log)
                text += std::to_string(e.id) + " " + std::to_string(e.value) + " " + std::to_string(e.error) + "\n";
    }
    if (out && size > 0) {
        const size_t n = std::min(size - 1, text.size());
        std::memcpy(out, text.data(), n);
        out[n] = 0;
    }
    return text.size();
}

}  // extern "C"

namespace {

// V4L2EMU_DEVICES="path|card|modes;..." for processes the tests do not drive.
__attribute__((constructor)) void camerasFromEnvironment()
{
    const char* env = std::getenv("V4L2EMU_DEVICES");
    if (!env)
        return;
    std::string all = env;
    size_t i = 0;
    while (i < all.size()) {
        size_t j = all.find(';', i);
        if (j == std::string::npos)
            j = all.size();
        const std::string item = all.substr(i, j - i);
        const size_t a = item.find('|'), b = item.find('|', a == std::string::npos ? a : a + 1);
        if (a != std::string::npos && b != std::string::npos)
            v4l2emu_add(item.substr(0, a).c_str(), item.substr(a + 1, b - a - 1).c_str(), item.substr(b + 1).c_str());
        i = j + 1;
    }
}

}  // namespace
