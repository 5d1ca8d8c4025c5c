#pragma once
#include "framingnorm.h"
#include "photochecks.h"
#include "result.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class FaceDetector;
class QTextStream;

struct ReframedPhoto {
    QImage photo;  // exactly the size asked for
    PhotoVerdict verdict;  // the photo checks, as the window applies them
    // Why the backdrop asked for was not put in (the photo keeps its own).
    QString backdropRefusal;

    bool passed() const { return verdict.passed() && backdropRefusal.isEmpty(); }
    // "ok", or the refusal and the checks' reasons.
    QString text() const;
};

// The identity photo of exactly size cut around the sitter's face in picture
// (levelled, framed by the norm) with its checks, or why none can be cut (no
// face, a head leaning too far, too close, at the edge).
// With a backdrop colour the backdrop is replaced before the checks.
Result<ReframedPhoto> reframePicture(const QImage& picture, QSize size, const FaceDetector& detector,
                                     const FramingNorm& norm = FramingNorm::registry(),
                                     const std::optional<QColor>& backdrop = std::nullopt);

struct ReframeJob {
    QString source;  // a picture file or a folder of them (jpg, png, bmp)
    QSize size;  // the photo size
    qint64 maxBytes = 0;  // 0: no limit
    QString outFolder;
    int quality = 90;
    bool force = false;  // write photos that fail their checks too (still naming the reasons)
    FramingNorm norm = FramingNorm::registry();
    std::optional<QColor> backdrop = std::nullopt;  // --background: the backdrop replaced by this colour
};

// Reframes every picture of the job into outFolder/NAME.jpg, one line per
// file on out ("NAME<TAB>ok" or "NAME<TAB>reason[; reason...]") and, for
// more than 20 files, progress on err. A photo that fails its checks is not
// written unless forced. Exit status: 0 all passed, 1 some refused or
// failing, 2 bad job.
int runReframe(const ReframeJob& job, QTextStream& out, QTextStream& err);
