#pragma once

// Where a head belongs in an identity photo, as shares of the photo (0..1),
// so one norm serves every pixel size of its kind. Framing aims at the middle
// of each band; the photo check refuses a photo outside a band. A band whose
// maximum is 0 sets no rule.
struct FramingNorm {
    // The head from the top of the hair to the chin, share of the height.
    double headMin = 0.60;
    double headMax = 0.72;
    // The line through the eyes, from the top, share of the height.
    double eyeLineMin = 0.38;
    double eyeLineMax = 0.50;
    // The top of the hair below the photo's top edge, share of the height.
    double topMarginMin = 0.02;
    double topMarginMax = 0.10;
    // The face's width (cheek to cheek), share of the photo's width.
    double faceWidthMin = 0;
    double faceWidthMax = 0;

    // The student registry's photo: the head about two thirds of the height.
    static FramingNorm registry() { return {}; }
    // The identity card (358 x 441): hair top 7-21 px below the top edge,
    // face 207 +/- 14 px wide, the eye line at least 207 px above the bottom.
    static FramingNorm identityCard()
    {
        FramingNorm n;
        n.headMin = 0.64;
        n.headMax = 0.76;
        n.eyeLineMin = 0.38;
        n.eyeLineMax = (441.0 - 207.0) / 441.0;
        n.topMarginMin = 7.0 / 441.0;
        n.topMarginMax = 21.0 / 441.0;
        n.faceWidthMin = (207.0 - 14.0) / 358.0;
        n.faceWidthMax = (207.0 + 14.0) / 358.0;
        return n;
    }
};
