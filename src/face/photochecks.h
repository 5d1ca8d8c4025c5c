#pragma once
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

// What can make a photo unusable for a student record.
enum class PhotoProblem {
    NoFace,
    SeveralFaces,
    FaceTooSmall,
    FaceTooLarge,
    OffCentre,
    Blurred,
    TooDark,
    TooBright,
};

// The limits of the checks. The sharpness threshold was calibrated on the
// test portrait: sharp cuts of it measure 3 to 18, the same cut defocused
// (down to a sixth and back) 0.08.
struct PhotoCheckLimits {
    double minFaceShare = 0.38;   // chin to hairline per photo height
    double maxFaceShare = 0.75;
    double maxOffCentre = 0.12;   // face centre off the middle, per photo width
    double minSharpness = 0.6;    // see sharpnessOf
    double minLuminance = 60.0;   // mean, 0..255
    double maxLuminance = 200.0;
};

struct PhotoVerdict {
    QList<PhotoProblem> problems;
    int faces = 0;
    double sharpness = 0;
    double luminance = 0;

    bool passed() const { return problems.isEmpty(); }
    // "照片检查通过", or the problems joined with "，".
    QString text() const;
};

QString problemText(PhotoProblem problem);

// Variance of the Laplacian of the picture's grey copy scaled to 300 pixels
// high (so the same scene measures alike at every photo size), relative to the
// grey copy's own variance (so a darker picture is not less sharp), times 100.
double sharpnessOf(const QImage& picture);
// Mean luminance, 0..255.
double luminanceOf(const QImage& picture);

// Checks a photo with the faces found in it (photo coordinates, largest
// first).
PhotoVerdict checkPhoto(const QImage& photo, const QList<QRect>& faces, const PhotoCheckLimits& limits = {});
