#include "gphoto.h"

#include <gphoto2/gphoto2.h>

#include <mutex>

namespace gphoto {

void ContextUnref::operator()(GPContext* c) const
{
    gp_context_unref(c);
}

void CameraUnref::operator()(Camera* c) const
{
    gp_camera_exit(c, nullptr);
    gp_camera_unref(c);
}

void FileUnref::operator()(CameraFile* f) const
{
    gp_file_unref(f);
}

Context newContext()
{
    return Context(gp_context_new());
}

File newFile()
{
    CameraFile* f = nullptr;
    return File(gp_file_new(&f) == GP_OK ? f : nullptr);
}

namespace {

struct ListFree {
    void operator()(CameraList* l) const { gp_list_free(l); }
};
struct AbilitiesFree {
    void operator()(CameraAbilitiesList* l) const { gp_abilities_list_free(l); }
};
struct PortsFree {
    void operator()(GPPortInfoList* l) const { gp_port_info_list_free(l); }
};
using List = std::unique_ptr<CameraList, ListFree>;
using Abilities = std::unique_ptr<CameraAbilitiesList, AbilitiesFree>;
using Ports = std::unique_ptr<GPPortInfoList, PortsFree>;

// Loading every camera driver takes a while: once per run, under a lock
// (libgphoto2's lists are not shared between threads otherwise).
std::mutex listsMutex;

CameraAbilitiesList* abilities()
{
    static Abilities list = [] {
        CameraAbilitiesList* l = nullptr;
        if (gp_abilities_list_new(&l) != GP_OK)
            return Abilities();
        Abilities owned(l);
        if (gp_abilities_list_load(l, nullptr) < GP_OK)
            return Abilities();
        return owned;
    }();
    return list.get();
}

Ports loadPorts()
{
    GPPortInfoList* l = nullptr;
    if (gp_port_info_list_new(&l) != GP_OK)
        return Ports();
    Ports owned(l);
    if (gp_port_info_list_load(l) < GP_OK)
        return Ports();
    return owned;
}

}  // namespace

QList<Detected> detect()
{
    std::lock_guard<std::mutex> lock(listsMutex);
    QList<Detected> found;
    CameraAbilitiesList* al = abilities();
    Ports ports = loadPorts();
    CameraList* raw = nullptr;
    if (!al || !ports || gp_list_new(&raw) != GP_OK)
        return found;
    List list(raw);
    Context context = newContext();
    if (gp_abilities_list_detect(al, ports.get(), raw, context.get()) < GP_OK)
        return found;
    for (int i = 0; i < gp_list_count(raw); ++i) {
        const char* name = nullptr;
        const char* port = nullptr;
        gp_list_get_name(raw, i, &name);
        gp_list_get_value(raw, i, &port);
        // A mass-storage card reader is not a camera to shoot with.
        if (name && port && QByteArray(port) != "usb:" && QByteArray(port).left(5) != "disk:")
            found.append({QString::fromUtf8(name), QString::fromUtf8(port)});
    }
    return found;
}

Result<CameraPtr> open(const Detected& camera, GPContext* context)
{
    std::unique_lock<std::mutex> lock(listsMutex);
    CameraAbilitiesList* al = abilities();
    Ports ports = loadPorts();
    if (!al || !ports)
        return failure(QStringLiteral("无法加载相机驱动（libgphoto2）。"));
    const int model = gp_abilities_list_lookup_model(al, camera.model.toUtf8().constData());
    if (model < GP_OK)
        return failure(errorText(model, camera.model));
    CameraAbilities a;
    gp_abilities_list_get_abilities(al, model, &a);
    const int port = gp_port_info_list_lookup_path(ports.get(), camera.port.toUtf8().constData());
    if (port < GP_OK)
        return failure(errorText(GP_ERROR_IO_USB_FIND, camera.model));
    GPPortInfo info;
    gp_port_info_list_get_info(ports.get(), port, &info);
    Camera* raw = nullptr;
    if (gp_camera_new(&raw) != GP_OK)
        return failure(errorText(GP_ERROR_NO_MEMORY, camera.model));
    CameraPtr owned(raw);
    gp_camera_set_abilities(raw, a);
    gp_camera_set_port_info(raw, info);
    lock.unlock();
    const int rc = gp_camera_init(raw, context);
    if (rc < GP_OK)
        return failure(errorText(rc, camera.model));
    return owned;
}

QString errorText(int code, const QString& camera)
{
    QString reason;
    switch (code) {
    case GP_ERROR_IO_USB_CLAIM:
    case GP_ERROR_IO_LOCK:
        // The desktop's file manager (gvfs) mounts a camera as soon as it is plugged in.
        reason = QStringLiteral("相机正被其他程序占用——通常是桌面的文件管理器自动打开了它：请在文件管理器中"
                                "弹出（卸载）相机，或关闭其他照片程序，然后重新选择相机");
        break;
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_IO_INIT:
    case GP_ERROR_MODEL_NOT_FOUND:
        reason = QStringLiteral("找不到相机，可能已断开或已关机");
        break;
    case GP_ERROR_IO_READ:
    case GP_ERROR_IO_WRITE:
    case GP_ERROR_IO:
        reason = QStringLiteral("与相机通信出错，请检查数据线");
        break;
    case GP_ERROR_TIMEOUT:
        reason = QStringLiteral("相机没有应答");
        break;
    case GP_ERROR_CAMERA_BUSY:
        reason = QStringLiteral("相机正忙，请稍后再试");
        break;
    case GP_ERROR_NOT_SUPPORTED:
        reason = QStringLiteral("相机不支持这个操作");
        break;
    case GP_ERROR_CAMERA_ERROR:
        reason = QStringLiteral("相机报告错误（可能没有对上焦、没有存储卡或卡已满）");
        break;
    case GP_ERROR_NO_MEMORY:
        reason = QStringLiteral("内存不足");
        break;
    default:
        reason = QStringLiteral("相机出错");
    }
    const QString named = camera.isEmpty() ? reason : reason + QStringLiteral("：") + camera;
    return named + QStringLiteral("（") + QString::fromUtf8(gp_result_as_string(code)) + QStringLiteral("）");
}

QByteArray bytesOf(CameraFile* file)
{
    const char* data = nullptr;
    unsigned long size = 0;
    if (gp_file_get_data_and_size(file, &data, &size) < GP_OK || !data)
        return {};
    return QByteArray(data, qsizetype(size));
}

}  // namespace gphoto
