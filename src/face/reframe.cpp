#include "reframe.h"

#include "backdrop.h"
#include "facedetector.h"
#include "facegeometry.h"
#include "idframing.h"
#include "jpegcodec.h"
#include "photofile.h"
#include "safewrite.h"
#include "sizelimit.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QTextStream>

#include <cmath>

namespace {

const QStringList pictureSuffixes{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                  QStringLiteral("bmp")};

// The pictures (by name) right in a folder. Pipes, devices and dangling
// links named like pictures too: they are refused by name, not passed over.
QStringList picturesIn(const QString& folder)
{
    QStringList files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (pictureSuffixes.contains(entry.suffix().toLower()))
            files << entry.absoluteFilePath();
    }
    return files;
}

// The files the outputs must leave alone, by resolved path and by file on
// disk (a hard link is the same file).
class Originals {
public:
    explicit Originals(const QStringList& files)
    {
        for (const QString& file : files) {
            byPath_.insert(safewrite::resolvedPath(file), QFileInfo(file).fileName());
            if (const auto identity = safewrite::identityOf(file))
                byInode_.insert({identity->device, identity->inode}, QFileInfo(file).fileName());
        }
    }

    // The name of the original that a file at target would replace; empty
    // when none.
    QString under(const QString& target) const
    {
        if (const auto found = byPath_.constFind(safewrite::resolvedPath(target)); found != byPath_.cend())
            return found.value();
        if (const auto identity = safewrite::identityOf(target))
            return byInode_.value({identity->device, identity->inode});
        return {};
    }

private:
    QHash<QString, QString> byPath_;
    QHash<QPair<quint64, quint64>, QString> byInode_;
};

// Why a picture of the job is not re-framed, before it is even read; empty
// when it may be. `namesakes` lists the job's readable pictures by photo name.
QString refusalOf(const QString& file, const QHash<QString, QStringList>& namesakes, const Originals& originals,
                  const QDir& outDir)
{
    // Never opened: reading a named pipe waits for a writer forever.
    if (!safewrite::identityOf(file))
        return QStringLiteral("不是普通文件，未读取");
    const QFileInfo info(file);
    const QString photo = info.completeBaseName() + QStringLiteral(".jpg");
    // Two pictures that make one photo name are both refused: which of them
    // shows the student is not known, and the one written could stand where
    // the other's original is.
    QStringList others = namesakes.value(photo);
    others.removeOne(info.fileName());
    if (!others.isEmpty())
        return QStringLiteral("与 %1 同名，都会生成 %2，均未处理").arg(others.join(QStringLiteral("、")), photo);
    if (const QString original = originals.under(outDir.absoluteFilePath(photo)); !original.isEmpty())
        return QStringLiteral("不能覆盖原文件 %1").arg(original);
    return {};
}

// Puts a re-framed photo at target; an older file there is kept in "已替换"
// beside it first, as the station keeps replaced photos. Empty when written,
// else the reason, naming the photo.
QString save(const QString& target, const QByteArray& bytes, const QString& outFolder)
{
    safewrite::WriteTarget write;
    write.path = target;
    write.existing = safewrite::Existing::Replace;
    write.keepFolder = QDir(outFolder).absoluteFilePath(QStringLiteral("已替换"));
    write.when = QDateTime::currentDateTime();
    write.what = QStringLiteral("照片");
    const Result<safewrite::Published> published = safewrite::writeFile(write, bytes);
    if (!published)
        return published.error();
    if (published->outcome == safewrite::Published::Outcome::Changed)
        return QStringLiteral("%1 在保存时被改动，未替换").arg(QDir::toNativeSeparators(target));
    if (!published->written())
        return QStringLiteral("%1 已存在，无法替换").arg(QDir::toNativeSeparators(target));
    return {};
}

}  // namespace

QString ReframedPhoto::text() const
{
    if (backdropRefusal.isEmpty())
        return verdict.passed() ? QStringLiteral("ok") : verdict.text();
    return verdict.passed() ? backdropRefusal : backdropRefusal + QStringLiteral("; ") + verdict.text();
}

Result<ReframedPhoto> reframePicture(const QImage& picture, QSize size, const FaceDetector& detector,
                                     const FramingNorm& norm, const std::optional<QColor>& backdrop)
{
    const QList<Face> faces = detector.find(picture);
    if (faces.isEmpty())
        return failure(QStringLiteral("未检测到人脸"));
    // Another face about as large as the sitter's, anywhere: which of them
    // is the student is not known. Smaller faces outside the cut (a queue,
    // a poster) do not matter; inside it the checks name them.
    const double sitterWidth = faces.constFirst().box.width();
    for (qsizetype i = 1; i < faces.size(); ++i) {
        if (faces[i].box.width() >= sitterWidth * 0.6)
            return failure(QStringLiteral("检测到多张人脸，无法确定拍摄对象"));
    }
    const HeadMeasure head = measureHead(picture, faces.constFirst());
    const Result<PhotoFrame> frame = frameByNorm(head, norm, QSizeF(size), QSizeF(picture.size()));
    if (!frame)
        return failure(frame.error());
    ReframedPhoto out;
    out.photo = cutPhoto(picture, *frame, size);
    // The checks look at the cut at up to the source's resolution (never
    // below twice the photo), with the faces and the head measured on the
    // whole picture, where more of the backdrop shows.
    const double checkHeight = std::min(frame->size.height(), std::max(480.0, 2.0 * size.height()));
    const QSize checkSize(std::max(1, int(std::lround(checkHeight * size.width() / size.height()))),
                          std::max(1, int(std::lround(checkHeight))));
    const QTransform toCheck = frame->pictureToPhoto(QSizeF(checkSize));
    PhotoUnderCheck check;
    check.photo = cutPhoto(picture, *frame, checkSize);
    for (const Face& face : faces)
        check.faces << mappedFace(face, toCheck);
    check.head = head.mapped(toCheck);
    check.sourceHeight = frame->size.height();
    if (backdrop) {
        // Matted at the checks' resolution, then brought to the photo's size.
        const Result<QImage> replaced = replaceBackdrop(check.photo, check.faces.constFirst(), *backdrop);
        if (replaced) {
            check.photo = replaced.value();
            out.photo = check.photo.size() == size
                            ? check.photo
                            : check.photo.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        } else {
            out.backdropRefusal = replaced.error();
        }
    }
    out.verdict = checkPhoto(check, norm, size);
    return out;
}

int runReframe(const ReframeJob& job, QTextStream& out, QTextStream& err)
{
    if (job.size.width() < 1 || job.size.height() < 1 || job.size.width() > 10000 || job.size.height() > 10000) {
        err << QStringLiteral("照片尺寸无效（应为 宽x高，1 到 10000）") << "\n";
        return 2;
    }
    const QFileInfo source(job.source);
    if (!source.exists()) {
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
    const QStringList files = source.isDir() ? picturesIn(job.source) : QStringList{source.absoluteFilePath()};
    // Written into the folder a source lies in, an output must not take the
    // place of any picture there, job's or not: they are the originals.
    const QString sourceFolder = source.isDir() ? job.source : source.absolutePath();
    const bool intoSources = safewrite::sameFile(job.outFolder, sourceFolder);
    const Originals originals(intoSources && !source.isDir() ? picturesIn(sourceFolder) : files);
    QHash<QString, QStringList> namesakes;
    for (const QString& file : files) {
        if (safewrite::identityOf(file))
            namesakes[QFileInfo(file).completeBaseName() + QStringLiteral(".jpg")] << QFileInfo(file).fileName();
    }
    const QDir outDir(job.outFolder);
    const bool showProgress = files.size() > 20;
    int refused = 0;
    int forced = 0;
    int done = 0;
    for (const QString& file : files) {
        const QFileInfo info(file);
        const QString name = info.completeBaseName();
        const QString target = outDir.absoluteFilePath(name + QStringLiteral(".jpg"));
        auto refuse = [&](const QString& why) {
            out << name << '\t' << why << "\n";
            ++refused;
        };
        if (const QString why = refusalOf(file, namesakes, originals, outDir); !why.isEmpty()) {
            refuse(why);
        } else {
            QImageReader reader(file);
            reader.setAutoTransform(true);
            const QImage picture = reader.read();
            if (picture.isNull()) {
                refuse(QStringLiteral("无法读取文件"));
            } else if (Result<ReframedPhoto> photo =
                           reframePicture(picture, job.size, **detector, job.norm, job.backdrop);
                       !photo) {
                refuse(photo.error());
            } else if (!photo->passed() && !job.force) {
                refuse(photo->text());
            } else {
                const QImage& image = photo->photo;
                const auto encoded = encodeWithinLimit(
                    [&image](int quality) -> Result<QByteArray> { return jpeg::encode(image, quality); }, job.quality,
                    job.maxBytes);
                if (!encoded) {
                    refuse(encoded.error());
                } else if (const QString unsaved = save(target, encoded->bytes, job.outFolder); !unsaved.isEmpty()) {
                    refuse(unsaved);
                } else if (!photo->passed()) {
                    out << name << '\t' << photo->text() << "\n";  // written, as forced
                    ++forced;
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
    if (refused > 0)
        err << QStringLiteral("%1 个文件未生成照片，原因见各行").arg(refused) << "\n";
    if (forced > 0)
        err << QStringLiteral("%1 张照片未通过检查，已按 --force 写出").arg(forced) << "\n";
    return refused == 0 && forced == 0 ? 0 : 1;
}
