#pragma once
#include "result.h"

#include <QImage>
#include <QSize>
#include <QString>

class FaceDetector;
class QTextStream;

// The identity photo of exactly size cut around the one face in picture, or
// why it cannot be cut (no face, several faces, face too close to the edge).
Result<QImage> reframePicture(const QImage& picture, QSize size, const FaceDetector& detector);

struct ReframeJob {
    QString source;      // a picture file or a folder of them (jpg, png, bmp)
    QSize size;          // the photo size
    qint64 maxBytes = 0; // 0: no limit
    QString outFolder;
    int quality = 90;
};

// Reframes every picture of the job into outFolder/NAME.jpg, one line per
// file on out ("NAME<TAB>ok" or "NAME<TAB>reason") and, for more than 20
// files, progress on err. Exit status: 0 all done, 1 some refused, 2 bad job.
int runReframe(const ReframeJob& job, QTextStream& out, QTextStream& err);
