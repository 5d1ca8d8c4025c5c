// Tethered cameras through libgphoto2: the camera's live view where it has
// one; 照相 fires the shutter and downloads the full-resolution picture.
// Without live view the picture is the newest capture downloaded (fired
// here or on the camera itself), like a hot folder.
#include "capturesession.h"
#include "gphoto.h"
#include "sourcekind.h"

#include <QBuffer>
#include <QImageReader>
#include <chrono>
#include <gphoto2/gphoto2.h>
#include <optional>
#include <thread>
#include <utility>

namespace capture {

namespace {

constexpr auto kKind = "gphoto2";

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::optional<QImage> decode(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);  // the camera writes its orientation into EXIF
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    return image.convertToFormat(QImage::Format_RGB32);
}

class TetheredReader final : public SourceReader {
public:
    TetheredReader(const CaptureSource& source, gphoto::Context context, gphoto::CameraPtr camera)
        : source_(source)
        , context_(std::move(context))
        , camera_(std::move(camera))
    {
    }

    // Asks for one live-view picture; a camera that has none says so at once.
    bool probeLiveView()
    {
        auto picture = preview();
        liveView_ = bool(picture);
        if (picture) {
            size_ = picture->size();
            pending_ = std::move(*picture);
        }
        return liveView_;
    }

    QSize frameSize() const override { return size_; }
    double frameRate() const override { return liveView_ ? 15 : 0; }
    CaptureFormat format() const override { return {size_, QString(), frameRate()}; }
    bool stills() const override { return !liveView_; }

    Read next(Interrupt& interrupt, qint64) override
    {
        if (!pending_.isNull())
            return picture(std::exchange(pending_, QImage()), std::exchange(pendingArrivalNs_, 0));
        if (liveView_) {
            int rc = GP_OK;
            auto image = preview(&rc);
            if (!image)
                return failed(rc);
            size_ = image->size();
            return picture(std::move(*image), 0);
        }
        // No live view: captures fired on the camera itself arrive as events.
        CameraEventType type = GP_EVENT_UNKNOWN;
        void* data = nullptr;
        const int rc = gp_camera_wait_for_event(camera_.get(), 50, &type, &data, context_.get());
        Read r;
        if (rc == GP_ERROR_NOT_SUPPORTED) {
            // A camera that reports no events: only captures fired here arrive.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return r;
        }
        if (rc < GP_OK) {
            free(data);
            return interrupt.stop ? r : failed(rc);
        }
        if (type == GP_EVENT_FILE_ADDED && data) {
            const auto* path = static_cast<CameraFilePath*>(data);
            Result<QImage> still = download(*path);
            free(data);
            if (still) {
                size_ = still->size();
                return picture(std::move(still).value(), nowNs());
            }
            return r;
        }
        free(data);
        return r;
    }

    Result<QImage> captureStill(Interrupt&) override
    {
        CameraFilePath path{};
        const int rc = gp_camera_capture(camera_.get(), GP_CAPTURE_IMAGE, &path, context_.get());
        if (rc < GP_OK)
            return failure(QStringLiteral("拍照失败：") + gphoto::errorText(rc, source_.description));
        Result<QImage> still = download(path);
        if (still && !liveView_) {
            // Without live view the preview shows the newest capture.
            pending_ = *still;
            pendingArrivalNs_ = nowNs();
        }
        return still;
    }

private:
    std::optional<QImage> preview(int* result = nullptr)
    {
        gphoto::File file = gphoto::newFile();
        const int rc = file ? gp_camera_capture_preview(camera_.get(), file.get(), context_.get()) : GP_ERROR_NO_MEMORY;
        if (result)
            *result = rc;
        if (rc < GP_OK)
            return std::nullopt;
        auto image = decode(gphoto::bytesOf(file.get()));
        if (!image && result)
            *result = GP_ERROR_CORRUPTED_DATA;
        return image;
    }

    Result<QImage> download(const CameraFilePath& path)
    {
        gphoto::File file = gphoto::newFile();
        if (!file)
            return failure(gphoto::errorText(GP_ERROR_NO_MEMORY, source_.description));
        const int rc =
            gp_camera_file_get(camera_.get(), path.folder, path.name, GP_FILE_TYPE_NORMAL, file.get(), context_.get());
        if (rc < GP_OK)
            return failure(QStringLiteral("无法从相机取回照片：") + gphoto::errorText(rc, source_.description));
        auto image = decode(gphoto::bytesOf(file.get()));
        if (!image)
            return failure(
                QStringLiteral("相机的照片 %1 无法解码（请把相机设为 JPEG 格式）").arg(QString::fromUtf8(path.name)));
        return std::move(*image);
    }

    static Read picture(QImage image, qint64 arrivalNs)
    {
        Read r;
        r.outcome = Read::Outcome::Picture;
        r.picture.image = std::move(image);
        r.picture.arrivalNs = arrivalNs;
        return r;
    }
    Read failed(int rc) const
    {
        Read r;
        r.outcome = Read::Outcome::Failed;
        r.error = gphoto::errorText(rc, source_.description);
        return r;
    }

    CaptureSource source_;
    gphoto::Context context_;
    gphoto::CameraPtr camera_;
    bool liveView_ = false;
    QSize size_;
    QImage pending_;
    qint64 pendingArrivalNs_ = 0;
};

QList<CaptureSource> scan(const QString&)
{
    QList<CaptureSource> found;
    for (const gphoto::Detected& d : gphoto::detect()) {
        CaptureSource s;
        s.kind = QString::fromLatin1(kKind);
        s.description = d.model;
        s.url = d.port;
        found.append(s);
    }
    return found;
}

Result<ReaderPtr> open(const CaptureSource& source, const CaptureFormat&, const std::shared_ptr<Interrupt>&)
{
    gphoto::Context context = gphoto::newContext();
    Result<gphoto::CameraPtr> camera = gphoto::open({source.description, source.url}, context.get());
    if (!camera)
        return failure(camera.error());
    auto reader = std::make_unique<TetheredReader>(source, std::move(context), std::move(camera).value());
    reader->probeLiveView();
    return ReaderPtr(std::move(reader));
}

// Plugged in again, a camera gets another USB address: the same model is looked for.
std::optional<CaptureSource> find(const CaptureSource& lost)
{
    for (const CaptureSource& s : scan(QString()))
        if (s.description == lost.description)
            return s;
    return std::nullopt;
}

}  // namespace

const SourceKind& tetheredKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
        k.id = QString::fromLatin1(kKind);
        k.scan = &scan;
        k.open = &open;
        k.identity = [](const CaptureSource& s) { return QStringLiteral("gphoto2|") + s.description; };
        k.find = &find;
        k.firesShutter = true;
        k.comesBack = true;
        return k;
    }();
    return kind;
}

}  // namespace capture
