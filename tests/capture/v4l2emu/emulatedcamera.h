#pragma once
// The test's side of the emulated webcam: one camera node in a folder,
// removed again at the end. The emulator is found in the process (it is
// preloaded); without it available() is false and the tests skip.
#include "v4l2emu.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <dlfcn.h>
#include <linux/videodev2.h>

class EmulatedCamera {
public:
    // The modes of the usual webcam.
    static QString standardModes() { return QStringLiteral("YUYV 640x480@30,MJPG 1280x720@30,MJPG 1920x1080@15"); }

    static bool available() { return api().add != nullptr; }
    static QString unavailableReason()
    {
        return QStringLiteral("the emulated webcam is not preloaded (run through ctest, or set LD_PRELOAD to "
                              "libv4l2emu.so)");
    }
    // CPU time of every camera's frame thread, in seconds.
    static double emulatorCpuSeconds() { return available() ? api().get("", "emulator_cpu_ns") / 1e9 : 0; }

    EmulatedCamera(const QString& path, const QString& card, const QString& modes = standardModes())
        : path_(path.toUtf8())
    {
        if (available())
            added_ = api().add(path_.constData(), card.toUtf8().constData(), modes.toUtf8().constData()) == 0;
    }
    ~EmulatedCamera()
    {
        if (added_)
            api().remove(path_.constData());
    }
    EmulatedCamera(const EmulatedCamera&) = delete;
    EmulatedCamera& operator=(const EmulatedCamera&) = delete;

    bool isAdded() const { return added_; }
    QString path() const { return QString::fromUtf8(path_); }

    bool set(const char* key, long long value) { return added_ && api().set(path_.constData(), key, value) == 0; }
    long long get(const char* key) const { return added_ ? api().get(path_.constData(), key) : -1; }
    long long control(quint32 id) const { return get(QByteArray("ctrl:" + QByteArray::number(id)).constData()); }
    bool setControl(quint32 id, int value)
    {
        return set(QByteArray("ctrl:" + QByteArray::number(id)).constData(), value);
    }

    void unplug() { set("plugged", 0); }
    void plugIn() { set("plugged", 1); }

    struct ControlWrite {
        quint32 id;
        int value;
        int error;  // 0 = applied
        bool operator==(const ControlWrite& o) const { return id == o.id && value == o.value && error == o.error; }
    };
    // Every control write that reached the camera, oldest first.
    QList<ControlWrite> controlLog() const
    {
        QList<ControlWrite> log;
        if (!added_)
            return log;
        QByteArray text(int(api().log(path_.constData(), nullptr, 0)) + 1, '\0');
        api().log(path_.constData(), text.data(), size_t(text.size()));
        for (const QByteArray& line : text.trimmed().split('\n')) {
            const QList<QByteArray> f = line.trimmed().split(' ');
            if (f.size() == 3)
                log.append({f[0].toUInt(), f[1].toInt(), f[2].toInt()});
        }
        return log;
    }

private:
    struct Api {
        decltype(&v4l2emu_add) add = nullptr;
        decltype(&v4l2emu_remove) remove = nullptr;
        decltype(&v4l2emu_set) set = nullptr;
        decltype(&v4l2emu_get) get = nullptr;
        decltype(&v4l2emu_control_log) log = nullptr;
    };
    static const Api& api()
    {
        static const Api a = [] {
            Api r;
            r.add = reinterpret_cast<decltype(&v4l2emu_add)>(dlsym(RTLD_DEFAULT, "v4l2emu_add"));
            r.remove = reinterpret_cast<decltype(&v4l2emu_remove)>(dlsym(RTLD_DEFAULT, "v4l2emu_remove"));
            r.set = reinterpret_cast<decltype(&v4l2emu_set)>(dlsym(RTLD_DEFAULT, "v4l2emu_set"));
            r.get = reinterpret_cast<decltype(&v4l2emu_get)>(dlsym(RTLD_DEFAULT, "v4l2emu_get"));
            r.log = reinterpret_cast<decltype(&v4l2emu_control_log)>(dlsym(RTLD_DEFAULT, "v4l2emu_control_log"));
            if (!r.remove || !r.set || !r.get || !r.log)
                r.add = nullptr;
            return r;
        }();
        return a;
    }

    QByteArray path_;
    bool added_ = false;
};
