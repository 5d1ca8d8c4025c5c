#pragma once
// Small owners for libgphoto2's objects and its failures in Chinese.
#include "result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

struct _GPContext;
struct _Camera;
struct _CameraFile;

namespace gphoto {

struct ContextUnref {
    void operator()(_GPContext* c) const;
};
struct CameraUnref {
    void operator()(_Camera* c) const;  // exits the camera (lets the USB device go) first
};
struct FileUnref {
    void operator()(_CameraFile* f) const;
};
using Context = std::unique_ptr<_GPContext, ContextUnref>;
using CameraPtr = std::unique_ptr<_Camera, CameraUnref>;
using File = std::unique_ptr<_CameraFile, FileUnref>;

Context newContext();
File newFile();

// A camera libgphoto2 detects: its model and port ("usb:001,005").
struct Detected {
    QString model;
    QString port;
};
// The cameras on the ports libgphoto2 can reach now (IOLIBS and CAMLIBS
// choose its port and camera drivers, as for any libgphoto2 program).
QList<Detected> detect();

// Opens the camera of that model on that port.
Result<CameraPtr> open(const Detected& camera, _GPContext* context);

// A libgphoto2 result code as the operator reads it: a Chinese reason,
// libgphoto2's own text in brackets.
QString errorText(int code, const QString& camera = {});

// The bytes of a camera file.
QByteArray bytesOf(_CameraFile* file);

}  // namespace gphoto
