#pragma once
// An emulated UVC webcam for the tests. Loaded with LD_PRELOAD, the library
// answers open/ioctl/mmap/munmap/close on the device paths registered here,
// so our V4L2 code and FFmpeg's v4l2 input talk to it as to /dev/videoN.
// A registered path is a symbolic link to /dev/null, so a directory scan
// sees a character device and a process without the library opens nothing
// harmful.
//
// The process that loaded the library controls it through these functions
// (tests find them with dlsym, see emulatedcamera.h). Other processes can
// name cameras in V4L2EMU_DEVICES="path|card|modes;path|card|modes".
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// modes: comma-separated "FOURCC WxH@fps[/fps...]", e.g.
// "YUYV 640x480@30,MJPG 1280x720@30,MJPG 1920x1080@15". The first mode is
// the camera's current format at start. Answers 0, or an errno value.
int v4l2emu_add(const char* path, const char* card, const char* modes);
// Forgets a camera and removes its link; open handles report ENODEV.
int v4l2emu_remove(const char* path);

// Settings (0 switches a fault off):
//   "busy_open"      open fails with EBUSY
//   "busy_stream"    S_FMT, REQBUFS and STREAMON fail with EBUSY (another program streams)
//   "eacces"         open fails with EACCES
//   "plugged"        0 unplugs now (link removed, handles get ENODEV), 1 plugs it back
//   "unplug_after"   unplug once this many more frames have been delivered
//   "corrupt_every"  every Nth MJPEG frame is damaged (truncated, noise in the scan)
//   "fixed_fps"      frames arrive at this rate whatever the format says
//   "frozen"         the camera stays open and streaming but delivers no frame
//                    (DQBUF answers EAGAIN, poll times out) until set to 0;
//                    the next frame then comes at once
//   "ctrl:<id>"      a control's value, as if set by another program
//   "clear_log"      forgets the recorded S_CTRL calls
int v4l2emu_set(const char* path, const char* key, long long value);

// Figures: "frames" delivered, "dropped" (no buffer queued), "streaming",
// "opens", "open_handles", "width", "height", "fourcc", "fps" (current
// format), "ctrl:<id>" (value), "emulator_cpu_ns" (all cameras' frame threads;
// path may be empty for this one). -1 for an unknown camera or key.
long long v4l2emu_get(const char* path, const char* key);

// Every S_CTRL / S_EXT_CTRLS value that reached the camera, one "id value
// errno" line each (errno 0 = applied). Copies at most size bytes including
// the terminating zero; answers the full length.
size_t v4l2emu_control_log(const char* path, char* out, size_t size);

#ifdef __cplusplus
}
#endif
