#pragma once
#include "result.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <array>
#include <memory>
#include <optional>

// A face confirmed by its 68 landmarks (the iBUG order dlib's model uses:
// jaw 0-16, brows 17-26, nose 27-35, the eye on the picture's left 36-41,
// the other 42-47, lips 48-67), in picture coordinates.
struct Face {
    QRectF box;  // the detector's box, about brows to chin
    std::array<QPointF, 68> points{};

    QPointF point(int i) const { return points[size_t(i)]; }
    QPointF leftEye() const;  // centre of the eye on the picture's left
    QPointF rightEye() const;
    QPointF eyeMid() const { return (leftEye() + rightEye()) / 2; }
    QPointF chin() const { return point(8); }
    // The eye line's slope in degrees; positive when the eye on the
    // picture's right is lower (the head leans to the picture's right).
    double rollDegrees() const;
    // Cheek to cheek, along the eye line.
    double width() const;
    // Eye line to chin, across the eye line.
    double eyeToChin() const;
    // Where the nose tip sits between the cheeks, 0.5 in the middle; a turned
    // head moves it towards one side.
    double noseBetweenCheeks() const;
    // Eye opening per eye width (the lower of the two eyes): about 0.3 open,
    // under 0.15 closed.
    double eyeOpening() const;
    // Lip gap per mouth width: about 0 closed, over 0.3 open.
    double mouthOpening() const;
    // The top of the head estimated from the landmarks alone (for a backdrop
    // that does not show it).
    QPointF estimatedCrown() const;
};

// How hard to look. The first pass always runs; the others only while
// nothing has been found.
struct FaceSearch {
    // Faces whose head is at least this share of the picture's height are
    // looked for (smaller ones may be found too).
    double minHeadShare = 0.09;
    // Search at the picture's full resolution (and above) when the reduced
    // passes find nothing.
    bool deep = true;
    // Where a face was last seen (picture coordinates): looked at first, and
    // when found there the rest of the picture is not searched.
    std::optional<QRectF> near;

    // For a photo (the camera region under the frame): the sitter fills much
    // of it, so small faces are not looked for.
    static FaceSearch inPhoto()
    {
        FaceSearch search;
        search.minHeadShare = 0.25;
        return search;
    }
};

class FaceModel;

// Finds faces: candidates from a cascade on a reduced grey copy and from
// dlib's HOG detector, each confirmed by the HOG detector at its own scale
// and by a plausible landmark fit (walls, text and cards give boxes; they do
// not give a face's landmarks).
//
// The landmark model (about 100 MB) is loaded once per process, by the
// first create(); create() therefore blocks for a second or two the first
// time and should not run on the window's thread. One detector must not be
// used by two threads at once; give each worker its own.
class FaceDetector {
public:
    static Result<std::unique_ptr<FaceDetector>> create();
    ~FaceDetector();
    FaceDetector(const FaceDetector&) = delete;
    FaceDetector& operator=(const FaceDetector&) = delete;

    // The confirmed faces, the one to follow first: among the faces at least
    // half as large as the largest, the one nearest the picture's centre.
    QList<Face> find(const QImage& picture, const FaceSearch& search = {}) const;
    // Their boxes, in the same order.
    QList<QRect> detect(const QImage& picture) const;

private:
    struct Parts;
    explicit FaceDetector(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

// The files the detector reads at run time (named by STATION_FACE_CASCADE
// and STATION_FACE_MODEL when set).
QString defaultFaceCascadePath();
QString defaultFaceModelPath();
