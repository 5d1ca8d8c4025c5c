#pragma once
#include "facedetector.h"

#include <QImage>
#include <QPointF>
#include <QTransform>

// A head measured along its own axes: across is the eye line (towards the
// picture's right), down is square to it (towards the chin). Distances are
// in picture pixels.
struct HeadMeasure {
    QPointF eyes;  // the middle between the eyes
    double roll = 0;  // see Face::rollDegrees
    double across = 0;  // the middle between the cheeks, across from eyes
    double crown = 0;  // top of the hair above the eye line (positive)
    double chin = 0;  // chin below the eye line
    double faceWidth = 0;  // cheek to cheek
    bool crownMeasured = false;  // against a plain backdrop; else estimated

    double headHeight() const { return crown + chin; }
    // From head axes (across, down from the eyes) to picture coordinates.
    QTransform toPicture() const;
    // The same head seen through a map from picture to photo coordinates
    // (a turn, a shift and one scale).
    HeadMeasure mapped(const QTransform& pictureToPhoto) const;
};

// Measures a confirmed face. The crown is where the hair meets the backdrop
// when the backdrop around the head is plain, else the landmarks' estimate.
HeadMeasure measureHead(const QImage& picture, const Face& face);

// The face seen through a map from picture to photo coordinates.
Face mappedFace(const Face& face, const QTransform& pictureToPhoto);
