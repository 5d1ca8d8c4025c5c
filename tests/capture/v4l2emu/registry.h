#pragma once
// Inside the emulator: the registry of cameras and handles, and what the
// entry points and the ioctl handling share. Everything here runs with the
// registry lock held unless said otherwise.
#include "camera.h"

#include <atomic>
#include <deque>

namespace v4l2emu {

struct HandleState {
    std::deque<uint32_t> queued, done;
    unsigned generation = 0;  // the camera's plug generation at open
    uint32_t sequence = 0;
};

struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::shared_ptr<Camera>> cameras;
    std::map<int, std::shared_ptr<Handle>> handles;
    std::map<Handle*, HandleState> states;
    std::vector<std::unique_ptr<Buffer>> orphans;  // still mapped after their handle closed
    std::map<Camera*, unsigned> generations;
    int nextBus = 1;
    std::map<Camera*, int> bus;
};

Registry& reg();
extern std::atomic<int> g_bufferCount;

bool isDead(Handle& h);
void signal(Handle& h);  // the handle polls readable
void unsignal(Handle& h);
void unplug(Camera& c);
// Ends the frame thread; the lock is let go while it finishes.
void stopFrames(Handle& h, std::unique_lock<std::mutex>& lk);
void resetQueues(Handle& h);
void releaseBuffers(Handle& h);
void frameLoop(Handle* h);  // the thread of a streaming handle

const Control* findControl(uint32_t id);
int32_t valueOf(const Camera& c, const Control& k);
const Mode& currentMode(const Camera& c);
// An errno value, 0 on success.
int ioctlLocked(Handle& h, unsigned long request, void* arg, std::unique_lock<std::mutex>& lk);

}  // namespace v4l2emu
