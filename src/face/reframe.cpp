#include "reframe.h"

#include "facedetector.h"
#include "idframing.h"
#include "jpegcodec.h"
#include "photofile.h"
#include "sizelimit.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTextStream>

#include <cmath>

namespace {

const QStringList pictureSuffixes{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                  QStringLiteral("bmp")};

// The whole-pixel rectangle for frame with exactly the target's aspect as
// near as whole pixels allow.
QRect pixelFrame(const QRectF& frame, QSize size)
{
    const int width = std::max(1, int(std::lround(frame.width())));
    const int height = std::max(1, int(std::lround(double(width) * size.height() / size.width())));
    const int left = int(std::lround(frame.center().x() - width / 2.0));
    const int top = int(std::lround(frame.center().y() - height / 2.0));
    return {left, top, width, height};
}

QStringList picturesOf(const QString& source)
{
    const QFileInfo info(source);
    if (!info.isDir())
        return {info.absoluteFilePath()};
    QStringList files;
    const QFileInfoList entries = QDir(source).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (pictureSuffixes.contains(entry.suffix().toLower()))
            files << entry.absoluteFilePath();
    }
    return files;
}

}  // namespace

Result<QImage> reframePicture(const QImage& picture, QSize size, const FaceDetector& detector)
{
    const QList<QRect> faces = detector.detect(picture);
    if (faces.isEmpty())
        return failure(QStringLiteral("未检测到人脸"));
    if (faces.size() > 1)
        return failure(QStringLiteral("检测到多张人脸"));
    const QRectF frame = identityFrame(faces.constFirst(), size);
    const std::optional<QRectF> inside = moveInside(frame, QRectF(picture.rect()));
    if (!inside)
        return failure(QStringLiteral("人脸太靠近边缘，无法取景"));
    QRect cut = pixelFrame(*inside, size).intersected(picture.rect());
    if (cut.isEmpty())
        return failure(QStringLiteral("人脸太靠近边缘，无法取景"));
    return scaleToPhotoSize(picture.copy(cut), size);
}

int runReframe(const ReframeJob& job, QTextStream& out, QTextStream& err)
{
    if (job.size.width() < 1 || job.size.height() < 1 || job.size.width() > 10000 || job.size.height() > 10000) {
        err << QStringLiteral("照片尺寸无效（应为 宽x高，1 到 10000）") << "\n";
        return 2;
    }
    if (!QFileInfo::exists(job.source)) {
        err << QStringLiteral("找不到 %1").arg(job.source) << "\n";
        return 2;
    }
    if (job.outFolder.isEmpty() || !QDir().mkpath(job.outFolder)) {
        err << QStringLiteral("无法创建输出文件夹 %1").arg(job.outFolder) << "\n";
        return 2;
    }
    auto detector = FaceDetector::create();
    if (!detector) {
        err << detector.error() << "\n";
        return 2;
    }
    const QStringList files = picturesOf(job.source);
    const QDir outDir(job.outFolder);
    const bool showProgress = files.size() > 20;
    int refused = 0;
    int done = 0;
    for (const QString& file : files) {
        const QFileInfo info(file);
        const QString name = info.completeBaseName();
        const QString target = outDir.absoluteFilePath(name + QStringLiteral(".jpg"));
        auto refuse = [&](const QString& why) {
            out << name << '\t' << why << "\n";
            ++refused;
        };
        if (QFileInfo(target).canonicalFilePath() == info.canonicalFilePath()) {
            refuse(QStringLiteral("不能覆盖原文件"));
        } else {
            QImageReader reader(file);
            reader.setAutoTransform(true);
            const QImage picture = reader.read();
            if (picture.isNull()) {
                refuse(QStringLiteral("无法读取文件"));
            } else if (Result<QImage> photo = reframePicture(picture, job.size, **detector); !photo) {
                refuse(photo.error());
            } else {
                const QImage& image = photo.value();
                const auto encoded = encodeWithinLimit(
                    [&image](int quality) -> Result<QByteArray> { return jpeg::encode(image, quality); },
                    job.quality, job.maxBytes);
                if (!encoded) {
                    refuse(encoded.error());
                } else if (const Status saved = writeFileReplacing(target, encoded->bytes); !saved) {
                    refuse(saved.error());
                } else {
                    out << name << "\tok\n";
                }
            }
        }
        out.flush();
        ++done;
        if (showProgress) {
            err << QStringLiteral("已处理 %1/%2").arg(done).arg(files.size()) << "\n";
            err.flush();
        }
    }
    return refused == 0 ? 0 : 1;
}
