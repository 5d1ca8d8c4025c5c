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

QString TakenPhotoReview::status() const
{
    QStringList said;
    if (backdropAsked)
        said << (backdropRefused() ? backdropRefusal : QStringLiteral("背景已更换"));
    if (checkAsked) {
        const QString text = verdict ? verdict->text() : checkError;
        said << (checksPassed() ? QStringLiteral("照片检查通过") : QStringLiteral("照片检查未通过：") + text);
    }
    return said.join(QStringLiteral("；"));
}

QString TakenPhotoReview::label() const
{
    if (!checkAsked)
        return status();
    const QString text = verdict ? verdict->text() : checkError;
    return backdropRefused() ? backdropRefusal + QStringLiteral("；") + text : text;
}

TakenPhotoReview reviewTakenPhoto(const QImage& photo, QSize target, const FramingNorm& norm,
                                  const std::optional<QColor>& backdrop, bool check, const FaceDetector* detector,
                                  const QString& why)
{
    TakenPhotoReview review;
    review.backdropAsked = backdrop.has_value();
    review.checkAsked = check;
    if (!detector) {
        if (backdrop)
            review.backdropRefusal = QStringLiteral("无法更换背景：") + why;
        review.checkError = QStringLiteral("无法检查照片：") + why;
        return review;
    }
    PhotoUnderCheck input;
    input.photo = photo;
    input.faces = detector->find(photo, FaceSearch::inPhoto());
    if (backdrop) {
        if (const Result<QImage> replaced = replaceBackdrop(photo, input.faces, *backdrop)) {
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
    return *reviewTakenPhoto(photo, target, norm, std::nullopt, true, &detector).verdict;
}
