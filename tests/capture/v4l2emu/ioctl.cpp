#include "frames.h"
#include "realcalls.h"
#include "registry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

// The ioctls of a UVC webcam: identity, formats and frame rates, buffers
// and streaming, controls. Unknown ones answer ENOTTY as the kernel does.
namespace v4l2emu {

const Control* findControl(uint32_t id)
{
    for (const Control& c : controls())
        if (c.id == id)
            return &c;
    return nullptr;
}

int32_t valueOf(const Camera& c, const Control& k)
{
    const auto it = c.values.find(k.id);
    return it == c.values.end() ? k.defaultValue : it->second;
}

namespace {

bool isInactive(const Camera& c, uint32_t id)
{
    if (id == V4L2_CID_WHITE_BALANCE_TEMPERATURE)
        return valueOf(c, *findControl(V4L2_CID_AUTO_WHITE_BALANCE)) != 0;
    if (id == V4L2_CID_EXPOSURE_ABSOLUTE)
        return valueOf(c, *findControl(V4L2_CID_EXPOSURE_AUTO)) != V4L2_EXPOSURE_MANUAL;
    return false;
}

uint32_t controlFlags(const Camera& c, const Control& k)
{
    if (k.type == V4L2_CTRL_TYPE_CTRL_CLASS)
        return V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
    uint32_t f = 0;
    if (k.id == V4L2_CID_AUTO_WHITE_BALANCE || k.id == V4L2_CID_EXPOSURE_AUTO)
        f |= V4L2_CTRL_FLAG_UPDATE;
    if (isInactive(c, k.id))
        f |= V4L2_CTRL_FLAG_INACTIVE;
    return f;
}

// Sets one control as a UVC camera does: integers clamped to the range and
// step, an unknown menu index refused, a control in the wrong state (an
// inactive one) refused by the camera with EILSEQ.
int setControl(Camera& c, uint32_t id, int32_t value, bool apply)
{
    const Control* k = findControl(id);
    if (!k)
        return EINVAL;
    if (k->type == V4L2_CTRL_TYPE_CTRL_CLASS)
        return EACCES;
    int32_t v = value;
    int error = 0;
    if (k->type == V4L2_CTRL_TYPE_BOOLEAN) {
        v = value != 0;
    } else if (k->type == V4L2_CTRL_TYPE_MENU) {
        const bool valid =
            std::any_of(k->menu.begin(), k->menu.end(), [&](const auto& m) { return int32_t(m.first) == value; });
        if (!valid)
            error = EINVAL;
    } else {
        v = std::clamp(value, k->minimum, k->maximum);
        v = k->minimum + (v - k->minimum) / k->step * k->step;
    }
    if (!error && isInactive(c, id))
        error = EILSEQ;
    if (!apply)
        return error;
    c.log.push_back({id, value, error});
    if (!error)
        c.values[id] = v;
    return error;
}

}  // namespace

const Mode& currentMode(const Camera& c)
{
    return c.modes[c.mode];
}

namespace {

uint32_t imageSize(const Mode& m)
{
    return m.width * m.height * 2;
}

void fillFormat(const Mode& m, v4l2_pix_format& pix)
{
    pix = {};
    pix.width = m.width;
    pix.height = m.height;
    pix.pixelformat = m.fourcc;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = m.fourcc == V4L2_PIX_FMT_YUYV ? m.width * 2 : 0;
    pix.sizeimage = imageSize(m);
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

// The camera's answer to a requested format: the format itself if offered,
// else the first one; the nearest size of that format.
size_t nearestMode(const Camera& c, const v4l2_pix_format& want)
{
    uint32_t fourcc = want.pixelformat;
    if (std::none_of(c.modes.begin(), c.modes.end(), [&](const Mode& m) { return m.fourcc == fourcc; }))
        fourcc = c.modes.front().fourcc;
    size_t best = 0;
    long long bestD = -1;
    for (size_t i = 0; i < c.modes.size(); ++i) {
        const Mode& m = c.modes[i];
        if (m.fourcc != fourcc)
            continue;
        const long long w = m.width, h = m.height, rw = want.width, rh = want.height;
        const long long d = w * h + rw * rh - 2 * std::min(w, rw) * std::min(h, rh);
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

void fillBufferInfo(const Buffer& b, v4l2_buffer& out)
{
    out = b.info;
    out.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
    if (b.mappings > 0)
        out.flags |= V4L2_BUF_FLAG_MAPPED;
    if (b.state == Buffer::State::Queued)
        out.flags |= V4L2_BUF_FLAG_QUEUED;
    if (b.state == Buffer::State::Done)
        out.flags |= V4L2_BUF_FLAG_DONE;
}

void copyName(char* dst, size_t size, const std::string& text)
{
    // Cut at a UTF-8 character boundary so a long name stays valid text.
    size_t n = std::min(text.size(), size - 1);
    while (n > 0 && n < text.size() && (uint8_t(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(dst, text.data(), n);
    dst[n] = 0;
}

int queryControl(const Camera& c, uint32_t requested, const Control** found)
{
    const uint32_t mask = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
    const uint32_t id = requested & ~mask;
    *found = nullptr;
    for (const Control& k : controls()) {
        if ((requested & mask) ? k.id > id : k.id == id) {
            *found = &k;
            break;
        }
    }
    (void)c;
    return *found ? 0 : EINVAL;
}

int extControls(Camera& c, v4l2_ext_controls& ec, unsigned long request)
{
    for (uint32_t i = 0; i < ec.count; ++i) {
        v4l2_ext_control& x = ec.controls[i];
        const Control* k = findControl(x.id);
        if (!k || k->type == V4L2_CTRL_TYPE_CTRL_CLASS) {
            ec.error_idx = i;
            return k ? EACCES : EINVAL;
        }
        int e = 0;
        if (request == VIDIOC_G_EXT_CTRLS)
            x.value = valueOf(c, *k);
        else
            e = setControl(c, x.id, x.value, request == VIDIOC_S_EXT_CTRLS);
        if (e) {
            ec.error_idx = request == VIDIOC_S_EXT_CTRLS ? i : ec.count;
            return e;
        }
    }
    return 0;
}

}  // namespace

int ioctlLocked(Handle& h, unsigned long request, void* arg, std::unique_lock<std::mutex>& lk)
{
    Camera& c = *h.camera;
    HandleState& st = reg().states[&h];
    const bool dead = isDead(h);
    if (dead && request != VIDIOC_QUERYCAP)
        return ENODEV;
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(arg);
        *cap = {};
        copyName(reinterpret_cast<char*>(cap->driver), sizeof cap->driver, "uvcvideo");
        copyName(reinterpret_cast<char*>(cap->card), sizeof cap->card, c.card);
        copyName(reinterpret_cast<char*>(cap->bus_info), sizeof cap->bus_info,
                 "usb-0000:00:14.0-" + std::to_string(reg().bus[&c]));
        cap->version = (6u << 16) | (1u << 8);
        cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        std::vector<uint32_t> codes;
        for (const Mode& m : c.modes)
            if (std::find(codes.begin(), codes.end(), m.fourcc) == codes.end())
                codes.push_back(m.fourcc);
        if (d->index >= codes.size())
            return EINVAL;
        const uint32_t index = d->index;
        *d = {};
        d->index = index;
        d->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        d->pixelformat = codes[index];
        const bool mjpeg = codes[index] == V4L2_PIX_FMT_MJPEG;
        d->flags = mjpeg ? V4L2_FMT_FLAG_COMPRESSED : 0;
        copyName(reinterpret_cast<char*>(d->description), sizeof d->description,
                 mjpeg                               ? "Motion-JPEG"
                 : codes[index] == V4L2_PIX_FMT_YUYV ? "YUYV 4:2:2"
                                                     : "Raw");
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* f = static_cast<v4l2_frmsizeenum*>(arg);
        uint32_t k = 0;
        for (const Mode& m : c.modes) {
            if (m.fourcc != f->pixel_format)
                continue;
            if (k++ == f->index) {
                f->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                f->discrete.width = m.width;
                f->discrete.height = m.height;
                return 0;
            }
        }
        return EINVAL;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* f = static_cast<v4l2_frmivalenum*>(arg);
        for (const Mode& m : c.modes) {
            if (m.fourcc == f->pixel_format && m.width == f->width && m.height == f->height) {
                if (f->index >= m.fps.size())
                    return EINVAL;
                f->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                f->discrete.numerator = 1;
                f->discrete.denominator = m.fps[f->index];
                return 0;
            }
        }
        return EINVAL;
    }
    case VIDIOC_G_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        fillFormat(currentMode(c), f->fmt.pix);
        return 0;
    }
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        const size_t mode = nearestMode(c, f->fmt.pix);
        if (request == VIDIOC_S_FMT) {
            if (c.busyStream || (c.owner && c.owner != &h) || h.streaming)
                return EBUSY;
            c.mode = mode;
            c.fps = c.modes[mode].fps.front();
        }
        fillFormat(c.modes[mode], f->fmt.pix);
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto* p = static_cast<v4l2_streamparm*>(arg);
        if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        if (request == VIDIOC_S_PARM) {
            if (c.busyStream || h.streaming || (c.owner && c.owner != &h && c.owner->streaming))
                return EBUSY;
            const v4l2_fract want = p->parm.capture.timeperframe;
            const double wanted = want.numerator && want.denominator ? double(want.denominator) / want.numerator : 0;
            uint32_t best = currentMode(c).fps.front();
            if (wanted > 0)
                for (uint32_t f : currentMode(c).fps)
                    if (std::abs(f - wanted) < std::abs(best - wanted))
                        best = f;
            c.fps = best;
        }
        p->parm.capture = {};
        p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p->parm.capture.timeperframe = {1, c.fps};
        return 0;
    }
    case VIDIOC_G_INPUT:
        *static_cast<int*>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<int*>(arg) == 0 ? 0 : EINVAL;
    case VIDIOC_ENUMINPUT: {
        auto* in = static_cast<v4l2_input*>(arg);
        if (in->index != 0)
            return EINVAL;
        *in = {};
        copyName(reinterpret_cast<char*>(in->name), sizeof in->name, "Camera 1");
        in->type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto* rq = static_cast<v4l2_requestbuffers*>(arg);
        if (rq->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || rq->memory != V4L2_MEMORY_MMAP)
            return EINVAL;
        if (c.busyStream || (c.owner && c.owner != &h) || h.streaming)
            return EBUSY;
        if (std::any_of(h.buffers.begin(), h.buffers.end(), [](const auto& b) { return b->mappings > 0; }))
            return EBUSY;
        releaseBuffers(h);
        resetQueues(h);
        rq->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
        if (rq->count == 0)
            return 0;
        const uint32_t n = std::clamp<uint32_t>(rq->count, 2, 16);
        const uint32_t size = imageSize(currentMode(c));
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t length = (size + page - 1) / page * page;
        for (uint32_t i = 0; i < n; ++i) {
            void* mem = real::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mem == MAP_FAILED) {
                releaseBuffers(h);
                return ENOMEM;
            }
            ++g_bufferCount;
            auto b = std::make_unique<Buffer>();
            b->memory = mem;
            b->length = length;
            b->info.index = i;
            b->info.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            b->info.memory = V4L2_MEMORY_MMAP;
            b->info.length = size;
            b->info.m.offset = uint32_t(i * length);
            h.buffers.push_back(std::move(b));
        }
        c.owner = &h;
        rq->count = n;
        return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP || b->index >= h.buffers.size())
            return EINVAL;
        Buffer& buf = *h.buffers[b->index];
        if (request == VIDIOC_QBUF) {
            if (buf.state != Buffer::State::Idle)
                return EINVAL;
            buf.state = Buffer::State::Queued;
            st.queued.push_back(b->index);
        }
        fillBufferInfo(buf, *b);
        return 0;
    }
    case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP)
            return EINVAL;
        const bool nonblocking = (fcntl(h.fd, F_GETFL) & O_NONBLOCK) != 0;
        for (;;) {
            if (h.closing)
                return EBADF;
            if (isDead(h))
                return ENODEV;
            if (!h.streaming)
                return EINVAL;
            if (!st.done.empty())
                break;
            if (nonblocking)
                return EAGAIN;
            reg().changed.wait(lk);
        }
        const uint32_t index = st.done.front();
        st.done.pop_front();
        Buffer& buf = *h.buffers[index];
        buf.state = Buffer::State::Idle;
        fillBufferInfo(buf, *b);
        if (st.done.empty())
            unsignal(h);
        return 0;
    }
    case VIDIOC_STREAMON: {
        if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        if (c.busyStream)
            return EBUSY;
        if (h.buffers.empty())
            return EINVAL;
        if (h.streaming)
            return 0;
        h.streaming = true;
        ++c.streamStarts;
        h.stopFrames = false;
        h.frames = std::thread(frameLoop, &h);
        return 0;
    }
    case VIDIOC_STREAMOFF: {
        if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        stopFrames(h, lk);
        h.streaming = false;
        resetQueues(h);
        reg().changed.notify_all();
        return 0;
    }
    case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        const Control* k = nullptr;
        if (int e = queryControl(c, q->id, &k))
            return e;
        *q = {};
        q->id = k->id;
        q->type = k->type;
        copyName(reinterpret_cast<char*>(q->name), sizeof q->name, k->name);
        q->minimum = k->minimum;
        q->maximum = k->maximum;
        q->step = k->step;
        q->default_value = k->defaultValue;
        q->flags = controlFlags(c, *k);
        return 0;
    }
    case VIDIOC_QUERY_EXT_CTRL: {
        auto* q = static_cast<v4l2_query_ext_ctrl*>(arg);
        const Control* k = nullptr;
        if (int e = queryControl(c, q->id, &k))
            return e;
        *q = {};
        q->id = k->id;
        q->type = k->type;
        copyName(q->name, sizeof q->name, k->name);
        q->minimum = k->minimum;
        q->maximum = k->maximum;
        q->step = uint64_t(k->step);
        q->default_value = k->defaultValue;
        q->flags = controlFlags(c, *k);
        q->elem_size = sizeof(int32_t);
        q->elems = 1;
        return 0;
    }
    case VIDIOC_QUERYMENU: {
        auto* m = static_cast<v4l2_querymenu*>(arg);
        const Control* k = findControl(m->id);
        if (!k || k->type != V4L2_CTRL_TYPE_MENU)
            return EINVAL;
        for (const auto& [index, name] : k->menu)
            if (index == m->index) {
                copyName(reinterpret_cast<char*>(m->name), sizeof m->name, name);
                return 0;
            }
        return EINVAL;
    }
    case VIDIOC_G_CTRL: {
        auto* x = static_cast<v4l2_control*>(arg);
        const Control* k = findControl(x->id);
        if (!k)
            return EINVAL;
        if (k->type == V4L2_CTRL_TYPE_CTRL_CLASS)
            return EACCES;
        x->value = valueOf(c, *k);
        return 0;
    }
    case VIDIOC_S_CTRL: {
        auto* x = static_cast<v4l2_control*>(arg);
        if (int e = setControl(c, x->id, x->value, true))
            return e;
        x->value = c.values[x->id];
        return 0;
    }
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
        return extControls(c, *static_cast<v4l2_ext_controls*>(arg), request);
    default:
        return ENOTTY;  // what the kernel answers for ioctls a driver lacks (G_STD, ENUMSTD, ...)
    }
}

const std::vector<Control>& controls()
{
    static const std::vector<Control> list = {
        {V4L2_CID_USER_CLASS, "User Controls", V4L2_CTRL_TYPE_CTRL_CLASS, 0, 0, 0, 0, {}},
        {V4L2_CID_BRIGHTNESS, "Brightness", V4L2_CTRL_TYPE_INTEGER, -64, 64, 1, 0, {}},
        {V4L2_CID_CONTRAST, "Contrast", V4L2_CTRL_TYPE_INTEGER, 0, 64, 1, 32, {}},
        {V4L2_CID_SATURATION, "Saturation", V4L2_CTRL_TYPE_INTEGER, 0, 128, 1, 64, {}},
        {V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", V4L2_CTRL_TYPE_BOOLEAN, 0, 1, 1, 1, {}},
        {V4L2_CID_POWER_LINE_FREQUENCY,
         "Power Line Frequency",
         V4L2_CTRL_TYPE_MENU,
         0,
         2,
         1,
         1,
         {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE,
         "White Balance Temperature",
         V4L2_CTRL_TYPE_INTEGER,
         2800,
         6500,
         10,
         4600,
         {}},
        {V4L2_CID_CAMERA_CLASS, "Camera Controls", V4L2_CTRL_TYPE_CTRL_CLASS, 0, 0, 0, 0, {}},
        {V4L2_CID_EXPOSURE_AUTO,
         "Auto Exposure",
         V4L2_CTRL_TYPE_MENU,
         0,
         3,
         1,
         V4L2_EXPOSURE_APERTURE_PRIORITY,
         {{V4L2_EXPOSURE_MANUAL, "Manual Mode"}, {V4L2_EXPOSURE_APERTURE_PRIORITY, "Aperture Priority Mode"}}},
        {V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", V4L2_CTRL_TYPE_INTEGER, 3, 2047, 1, 250, {}},
    };
    return list;
}

}  // namespace v4l2emu
