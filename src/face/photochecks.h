#pragma once
#include "facegeometry.h"
#include "framingnorm.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// What an identity-photo office refuses a photo for.
enum class PhotoProblem {
    NoFace,
    SeveralFaces,
    Tilted,  // 歪头
    Turned,  // 侧脸
    EyesClosed,
    MouthOpen,
    TooDark,
    TooBright,  // or clipped
    Backlit,
    Blurred,
    LowResolution,  // enlarged too much for the target
    HeadTooSmall,
    HeadTooLarge,
    EyeLineOff,
    TopMarginOff,
    FaceWidthOff,
    OffCentre,
    BusyBackground,
};

// The limits, measured on the test portrait and its transforms (see
// tests/face and bench/faces): a sharp face measures 0.23 to 0.26 on
// sharpnessOf with or without noise, defocused by three pixels under 0.19.
struct PhotoCheckLimits {
    double maxRoll = 6.0;  // degrees
    double maxNoseShift = 0.13;  // nose tip off the middle between the cheeks
    double minEyeOpening = 0.17;  // Face::eyeOpening
    double maxMouthOpening = 0.28;  // Face::mouthOpening
    double minFaceLuminance = 70;  // mean over the face, 0..255
    double maxFaceLuminance = 215;
    double maxClipped = 0.15;  // share of the face at 250 and above
    double backlitRatio = 0.55;  // face darker than this share of the backdrop
    double minSharpness = 0.21;
    double maxEnlargement = 1.5;  // photo pixels per source pixel
    double bandTolerance = 0.02;  // around the norm's bands
    double maxOffCentre = 0.08;  // per photo width
    double maxBusyBackground = 0.06;  // share of the backdrop on strong edges
};

// A photo to check: its picture (any size with the target's aspect, at up to
// the source's resolution) and the faces in it, the sitter first.
struct PhotoUnderCheck {
    QImage photo;
    QList<Face> faces;  // photo coordinates; those centred outside the photo do not count
    // The sitter's head measured where there was more to see (the whole
    // picture), in photo coordinates; measured on the photo when empty.
    std::optional<HeadMeasure> head;
    // Source pixels over the photo's height; photo.height() when 0.
    double sourceHeight = 0;
};

struct PhotoVerdict {
    QList<PhotoProblem> problems;
    QStringList reasons;  // one per problem: what is wrong and what to do
    int faces = 0;
    double sharpness = 0;
    double faceLuminance = 0;
    double enlargement = 0;

    bool passed() const { return problems.isEmpty(); }
    // "照片检查通过", or the reasons joined with "; ".
    QString text() const;
};

// The short name of a problem.
QString problemText(PhotoProblem problem);

// How crisp the face's strong edges are, from the steepest slope of each
// edge relative to its height: blur widens an edge, noise does not, and the
// face is measured at no more than 128 pixels high so the score does not
// depend on the camera's resolution.
double sharpnessOf(const QImage& photo, const Face& face);

// The checks an identity-photo office applies, against the norm for a photo
// of target's size.
PhotoVerdict checkPhoto(const PhotoUnderCheck& photo, const FramingNorm& norm, QSize target,
                        const PhotoCheckLimits& limits = {});
