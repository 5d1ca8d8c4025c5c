#include "faceworker.h"

#include "backdrop.h"

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

struct FaceWorker::Detector {
    bool loaded = false;
    std::unique_ptr<FaceDetector> detector;
    QString error;
};

FaceWorker::FaceWorker(QObject* context)
    : context_(context)
    , detector_(std::make_shared<Detector>())
{
}

FaceWorker::~FaceWorker()
{
    // The job itself runs on; its end is no longer reported.
    delete running_;
}

bool FaceWorker::run(Work work, std::function<void()> done, WhenBusy whenBusy)
{
    if (!context_)
        return false;
    if (running_) {
        if (whenBusy == WhenBusy::Drop)
            return false;
        waiting_ = Job{std::move(work), std::move(done)};
        return true;
    }
    start(Job{std::move(work), std::move(done)});
    return true;
}

void FaceWorker::start(Job job)
{
    auto* watcher = new QFutureWatcher<void>();
    running_ = watcher;
    QObject::connect(watcher, &QFutureWatcher<void>::finished, context_.data(), [this, watcher, done = job.done] {
        running_ = nullptr;
        watcher->deleteLater();
        if (waiting_) {
            Job next = std::move(*waiting_);
            waiting_.reset();
            start(std::move(next));
        }
        done();
    });
    watcher->setFuture(QtConcurrent::run([detector = detector_, work = std::move(job.work)] {
        // Only one job runs at a time, so the detector is never shared.
        if (!detector->loaded) {
            detector->loaded = true;
            auto created = FaceDetector::create();
            if (created)
                detector->detector = std::move(created).value();
            else
                detector->error = created.error();
        }
        work(detector->detector.get(), detector->error);
    }));
}

namespace {

// The sitter fills much of a photo: small faces are not searched for.
QList<Face> facesOfPhoto(const QImage& photo, const FaceDetector& detector)
{
    FaceSearch search;
    search.minHeadShare = 0.25;
    return detector.find(photo, search);
}

}  // namespace

TakenPhotoReview reviewTakenPhoto(const QImage& photo, QSize target, const FramingNorm& norm,
                                  const std::optional<QColor>& backdrop, bool check, const FaceDetector& detector)
{
    TakenPhotoReview review;
    PhotoUnderCheck input;
    input.photo = photo;
    input.faces = facesOfPhoto(photo, detector);
    if (backdrop) {
        const Result<QImage> replaced = input.faces.isEmpty()
                                            ? Result<QImage>(failure(QStringLiteral("未检测到人脸，无法更换背景")))
                                            : replaceBackdrop(photo, input.faces.constFirst(), *backdrop);
        if (replaced) {
            review.replaced = replaced.value();
            input.photo = review.replaced;  // the backdrop is judged as it will be saved
        } else {
            review.backdropRefusal = replaced.error();
        }
    }
    if (check)
        review.verdict = checkPhoto(input, norm, target);
    return review;
}

PhotoVerdict checkTakenPhoto(const QImage& photo, QSize target, const FramingNorm& norm, const FaceDetector& detector)
{
    return *reviewTakenPhoto(photo, target, norm, std::nullopt, true, detector).verdict;
}
