#pragma once
#include "facedetector.h"
#include "photopreset.h"
#include "result.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

// When a backdrop is too busy to be told from the sitter. Measured on the
// border of the photo: the top strip and the sides down to the shoulders.
struct BackdropLimits {
    // Colour distance (CIE Lab) that nine tenths of the border stay within
    // the backdrop's colour model: a plain cloth stays under 8, a mottled one
    // under 14, a flag and a classroom go far beyond.
    double maxSpread = 16;
    // Share of the border on strong edges (stripes, letters, furniture).
    double maxEdgeShare = 0.06;
    // Share of the border the matte gives to the sitter: hair at the top is
    // allowed, a backdrop the sitter blends into is not.
    double maxClaimed = 0.12;
    // The matte is cut at about this height and brought back to the photo's
    // resolution along the picture's own edges.
    int workingHeight = 220;
};

// The sitter's matte of a photo, and the measures that decide whether the
// backdrop may be replaced.
struct BackdropMatte {
    // Format_Grayscale8 of the photo's size: 255 sitter, 0 backdrop; null
    // when refused (a busy backdrop is not matted to the end).
    QImage alpha;
    double spread = 0;
    double edgeShare = 0;
    double claimed = 0;
    QString refusal;  // why the backdrop cannot be replaced; empty when it can

    bool ok() const { return refusal.isEmpty(); }
};

// "背景太杂，无法更换，请使用纯色背景布"
QString busyBackdropMessage();

// The matte of the sitter whose face is given (photo coordinates): the
// backdrop's colours are learnt from the border, the face, neck and
// shoulders are the sitter's for certain, and a graph cut decides the rest.
BackdropMatte matteSitter(const QImage& photo, const Face& sitter, const BackdropLimits& limits = {});

// The photo with its backdrop in colour: the edge pixels keep the sitter's
// share of their colour and lose the old backdrop's (no blue fringe on a
// white backdrop). Pixels the matte leaves to the backdrop are exactly colour.
QImage composeOver(const QImage& photo, const QImage& alpha, const QColor& colour);

// The photo with its backdrop replaced, or why it is left as it is.
Result<QImage> replaceBackdrop(const QImage& photo, const Face& sitter, const QColor& colour,
                               const BackdropLimits& limits = {});

// The same behind the first of faces (the sitter), or why not (no face).
Result<QImage> replaceBackdrop(const QImage& photo, const QList<Face>& faces, const QColor& colour);

// The photo with its backdrop replaced, the sitter found by a detector of
// the calling thread's own (for work spread over threads).
Result<QImage> replaceSitterBackdrop(const QImage& photo, const QColor& colour);
