#pragma once
#include "result.h"

#include <QImage>
#include <QList>
#include <QRect>

#include <memory>

// Finds frontal faces in a picture with OpenCV's cascade classifier. The
// search runs on a grey copy scaled down to a fixed width, which keeps the
// cost per picture nearly independent of the camera's resolution.
//
// One detector must not be used by two threads at once; give each worker its
// own.
class FaceDetector {
public:
    // The cascade that ships with Debian's opencv-data, or the file named by
    // STATION_FACE_CASCADE.
    static Result<std::unique_ptr<FaceDetector>> create();
    static Result<std::unique_ptr<FaceDetector>> fromFile(const QString& cascadePath);
    ~FaceDetector();

    FaceDetector(const FaceDetector&) = delete;
    FaceDetector& operator=(const FaceDetector&) = delete;

    // The faces in picture coordinates, largest first. workWidth is the width
    // of the grey copy the search runs on (pictures narrower are not scaled).
    QList<QRect> detect(const QImage& picture, int workWidth = 480) const;

private:
    struct Cascade;
    explicit FaceDetector(std::unique_ptr<Cascade> cascade);
    std::unique_ptr<Cascade> cascade_;
};

// The cascade file that create() loads, empty when none is installed.
QString defaultFaceCascadePath();
