// A hot folder: the camera's own software (or a card reader, or a tethering
// tool) writes picture files into a folder; the newest complete one is the
// picture. Each picture is a still that keeps the time it arrived.
#include "capturesession.h"
#include "sourcekind.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <chrono>
#include <limits>
#include <thread>

namespace capture {

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How often the folder is looked at, and how long a file's size and time
// must stay put before it is read: a camera program writes in bursts.
constexpr qint64 kPollNs = 100'000'000;
constexpr qint64 kSettleNs = 300'000'000;

const QStringList& pictureFilters()
{
    static const QStringList filters = [] {
        QStringList f;
        for (const QByteArray& suffix : QImageReader::supportedImageFormats())
            f << QStringLiteral("*.") + QString::fromLatin1(suffix);
        return f;
    }();
    return filters;
}

// A file still being written has no end yet: JPEG ends with its EOI marker,
// PNG with its IEND chunk. Other formats count once they decode.
bool looksComplete(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 16)
        return false;
    const QByteArray head = f.read(8);
    f.seek(std::max<qint64>(0, f.size() - 1024));
    const QByteArray tail = f.readAll();
    if (head.startsWith("\xFF\xD8"))
        return tail.contains("\xFF\xD9");
    if (head.startsWith("\x89PNG"))
        return tail.contains("IEND");
    return true;
}

class FolderReader final : public SourceReader {
public:
    FolderReader(const CaptureSource& source)
        : source_(source)
        , dir_(source.url)
    {
        dir_.setNameFilters(pictureFilters());
        dir_.setFilter(QDir::Files | QDir::Readable);
    }

    QSize frameSize() const override { return size_; }
    double frameRate() const override { return 0; }
    bool stills() const override { return true; }
    // Files that did not read (half written, damaged) until they changed.
    qint64 damagedPictures() const override { return refused_; }
    CaptureFormat format() const override { return {size_, QString(), 0}; }

    Read next(Interrupt& interrupt, qint64) override
    {
        const qint64 now = nowNs();
        if (lastPollNs_ && now - lastPollNs_ < kPollNs) {
            std::this_thread::sleep_for(
                std::chrono::nanoseconds(std::min<qint64>(kPollNs - (now - lastPollNs_), 20'000'000)));
            return {};
        }
        lastPollNs_ = now;
        if (!QFileInfo(source_.url).isDir()) {
            Read r;
            r.outcome = Read::Outcome::Failed;
            r.error = QStringLiteral("文件夹 %1 已不可用").arg(QDir::toNativeSeparators(source_.url));
            return r;
        }
        poll(now);
        // The newest settled file, newer than the one shown; one that does
        // not read is tried again only once it changes.
        while (!interrupt.stop) {
            Entry* best = nullptr;
            QString bestName;
            for (auto it = entries_.begin(); it != entries_.end(); ++it) {
                Entry& e = it.value();
                if (e.refused || now - e.changedNs < kSettleNs || e.arrivalNs <= shownArrivalNs_)
                    continue;
                if (!best || e.arrivalNs > best->arrivalNs) {
                    best = &e;
                    bestName = it.key();
                }
            }
            if (!best)
                return {};
            const QString path = dir_.filePath(bestName);
            QImageReader reader(path);
            reader.setAutoTransform(true);  // cameras write the orientation into EXIF
            QImage image;
            if (!looksComplete(path) || !reader.read(&image) || image.isNull()) {
                best->refused = true;
                ++refused_;
                continue;
            }
            shownArrivalNs_ = best->arrivalNs;
            size_ = image.size();
            Read r;
            r.outcome = Read::Outcome::Picture;
            r.picture.image = image.convertToFormat(QImage::Format_RGB32);
            r.picture.arrivalNs = best->arrivalNs;
            return r;
        }
        return {};
    }

private:
    struct Entry {
        qint64 size = -1;
        qint64 modifiedMs = 0;
        qint64 changedNs = 0;  // when size or time last changed (steady clock)
        qint64 arrivalNs = 0;  // when it arrived (steady clock)
        bool refused = false;  // did not read; tried again once it changes
    };

    void poll(qint64 now)
    {
        dir_.refresh();
        const QFileInfoList files = dir_.entryInfoList();
        QHash<QString, Entry> kept;
        const qint64 wallNowMs = QDateTime::currentMSecsSinceEpoch();
        for (const QFileInfo& info : files) {
            Entry e = entries_.value(info.fileName());
            const qint64 modified = info.lastModified().toMSecsSinceEpoch();
            if (e.size < 0) {
                // Files already there at the first look arrived when they were
                // written; later ones when they are first seen.
                e.arrivalNs = firstPoll_ ? std::min(now, now - (wallNowMs - modified) * 1'000'000) : now;
                e.changedNs = firstPoll_ ? now - kSettleNs : now;
            } else if (e.size != info.size() || e.modifiedMs != modified) {
                // Written slowly: it arrives when it is complete.
                e.changedNs = now;
                e.arrivalNs = now;
                e.refused = false;
            }
            e.size = info.size();
            e.modifiedMs = modified;
            kept.insert(info.fileName(), e);
        }
        entries_ = std::move(kept);
        firstPoll_ = false;
    }

    CaptureSource source_;
    QDir dir_;
    QHash<QString, Entry> entries_;
    bool firstPoll_ = true;
    qint64 lastPollNs_ = 0;
    qint64 shownArrivalNs_ = std::numeric_limits<qint64>::min();
    QSize size_;
    qint64 refused_ = 0;
};

Result<ReaderPtr> openFolder(const CaptureSource& source, const CaptureFormat&, const std::shared_ptr<Interrupt>&)
{
    if (!QFileInfo(source.url).isDir())
        return failure(QStringLiteral("找不到文件夹 %1。").arg(QDir::toNativeSeparators(source.url)));
    return ReaderPtr(std::make_unique<FolderReader>(source));
}

}  // namespace

const SourceKind& folderKind()
{
    static const SourceKind kind = [] {
        SourceKind k;
        k.id = QStringLiteral("folder");
        k.open = &openFolder;
        k.identity = [](const CaptureSource& s) { return s.url; };
        k.comesBack = true;
        return k;
    }();
    return kind;
}

}  // namespace capture
