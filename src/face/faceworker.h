#pragma once
#include "facedetector.h"
#include "photochecks.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QObject;
template <typename T> class QFutureWatcher;

// Runs face work on a worker thread, one job at a time, with a detector of
// its own that is loaded by the first job (so the window never waits for the
// cascade). The job's end is reported on the context's thread.
class FaceWorker {
public:
    // The detector, or null when none could be loaded (error says why).
    using Work = std::function<void(const FaceDetector* detector, const QString& error)>;
    enum class WhenBusy {
        Drop,  // a job offered while one runs is dropped (live pictures)
        Wait,  // it waits, in place of any job that waited before it
    };

    explicit FaceWorker(QObject* context);
    ~FaceWorker();
    FaceWorker(const FaceWorker&) = delete;
    FaceWorker& operator=(const FaceWorker&) = delete;

    bool busy() const { return running_ != nullptr; }
    // False when the job was dropped. done runs on the context's thread once
    // work has ended (not when the context or this worker is gone by then).
    bool run(Work work, std::function<void()> done, WhenBusy whenBusy);

private:
    struct Detector;
    struct Job {
        Work work;
        std::function<void()> done;
    };
    void start(Job job);

    QPointer<QObject> context_;
    std::shared_ptr<Detector> detector_;
    QFutureWatcher<void>* running_ = nullptr;
    std::optional<Job> waiting_;
};

// What the review of a photo just taken found.
struct TakenPhotoReview {
    bool backdropAsked = false;
    bool checkAsked = false;
    std::optional<PhotoVerdict> verdict;  // when the checks ran
    QString checkError;  // why the checks could not run
    QImage replaced;  // the photo with its new backdrop; null when none was asked or possible
    QString backdropRefusal;  // why the backdrop was left as it is

    bool checksPassed() const { return !checkAsked || (verdict && verdict->passed()); }
    bool backdropRefused() const { return !backdropRefusal.isEmpty(); }
    // The status line's sentence: "背景已更换；照片检查通过".
    QString status() const;
    // The verdict's label: the checks' text, after a refusal of the backdrop.
    QString label() const;
};

// The backdrop of a photo just taken replaced by backdrop (when given), then
// the checks (when asked) of the photo as it will be saved. Without a
// detector (why says why) the review says that nothing could be done.
TakenPhotoReview reviewTakenPhoto(const QImage& photo, QSize target, const FramingNorm& norm,
                                  const std::optional<QColor>& backdrop, bool check, const FaceDetector* detector,
                                  const QString& why = {});

// The checks of a photo just taken (the camera pixels under the frame), with
// the faces the detector finds in it, for a photo of target's size.
PhotoVerdict checkTakenPhoto(const QImage& photo, QSize target, const FramingNorm& norm, const FaceDetector& detector);
