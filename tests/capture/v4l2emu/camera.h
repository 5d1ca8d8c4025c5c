#pragma once
// The emulated cameras and their open handles. Every entry point takes the
// one registry lock; a streaming handle has a frame thread that fills its
// queued buffers at the format's rate.
#include <linux/videodev2.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace v4l2emu {

struct Mode {
    uint32_t fourcc = 0;
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> fps;  // best first
};

struct Control {
    uint32_t id;
    const char* name;
    uint32_t type;
    int32_t minimum, maximum, step, defaultValue;
    std::vector<std::pair<uint32_t, const char*>> menu;  // valid indices and names
};

struct LogEntry {
    uint32_t id;
    int32_t value;
    int error;
};

struct Camera;

struct Buffer {
    void* memory = nullptr;
    size_t length = 0;  // page-rounded mapping size
    v4l2_buffer info{};
    enum class State { Idle, Queued, Done } state = State::Idle;
    int mappings = 0;
};

struct Handle {
    int fd = -1;
    std::shared_ptr<Camera> camera;
    std::vector<std::unique_ptr<Buffer>> buffers;
    bool streaming = false;
    bool stopFrames = false;
    bool closing = false;
    bool signalled = false;  // the eventfd counter is non-zero
    std::thread frames;
};

struct Camera {
    std::string path, card;
    std::vector<Mode> modes;
    size_t mode = 0;
    uint32_t fps = 30;
    std::map<uint32_t, int32_t> values;
    std::vector<LogEntry> log;
    Handle* owner = nullptr;  // the handle holding buffers
    bool plugged = true;
    bool busyOpen = false, busyStream = false, noAccess = false;
    long long unplugAfter = 0;  // frames still to deliver before unplugging; 0 = never
    long long corruptEvery = 0;
    long long fixedFps = 0;
    bool frozen = false;  // streaming, but no frame is delivered
    long long frames = 0, dropped = 0, opens = 0, streamStarts = 0;
    std::mutex cacheMutex;  // frame cache, filled outside the registry lock
    std::map<std::pair<size_t, int>, std::vector<uint8_t>> cache;
};

// The standard set of a UVC webcam: brightness, contrast, saturation,
// white balance (automatic + temperature), power line frequency and exposure
// (menu + absolute time), with the class entries the kernel lists.
const std::vector<Control>& controls();

// Entry points used by the interposed functions; -1 with errno set on failure.
bool isClaimed(const char* path);
int openCamera(const char* path, int flags);  // the handle is an eventfd, so poll works
bool isHandle(int fd);
void closeHandle(int fd);
int ioctlHandle(int fd, unsigned long request, void* arg);
void* mmapHandle(int fd, size_t length, off_t offset);
bool unmapBuffer(void* addr);  // false: not one of ours

}  // namespace v4l2emu
