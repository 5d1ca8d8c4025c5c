#pragma once
#include "autoframing.h"
#include "faceworker.h"
#include "framingnorm.h"
#include "photoservice.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QRect>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QTimer;
class CameraController;
class Viewfinder;

// The main window's units of the face features, filled by the window.
struct FaceUnits {
    QCheckBox* autoFrame = nullptr;  // 自动取景选择框
    QCheckBox* check = nullptr;  // 照片检查选择框
    QLabel* verdict = nullptr;  // 检查结果标签
    std::function<void(const QString&)> setStatus;
};

// Automatic framing of the live picture and the checks of a photo just
// taken. Faces are searched on worker threads; the window only shows what
// AutoFraming decides and what the checks say.
class FaceController : public QObject {
    Q_OBJECT
public:
    FaceController(const FaceUnits& units, CameraController& camera, Viewfinder& viewfinder, QObject* parent);

    const AutoFraming& framing() const { return framing_; }
    // The norm that following aims at and the checks apply (the student
    // registry's until a size preset gives another).
    void setNorm(const FramingNorm& norm) { norm_ = norm; }
    const FramingNorm& norm() const { return norm_; }

    // Starts the review of a photo just taken (the camera pixels under the
    // frame): its backdrop replaced by backdrop when given, then the checks
    // when they are switched on. False when there is nothing to do; else
    // answer gets the review on this thread once it is done. The photo is
    // judged for a target of the viewfinder's size by this controller's norm.
    bool reviewTake(const QImage& photo, const std::optional<QColor>& backdrop,
                    std::function<void(const TakeReview&)> answer);

signals:
    // A live detection came back (with or without faces).
    void detected();
    // The checks of a take came back and are shown.
    void checked(bool passed);

private:
    void autoFrameToggled(bool on);
    void offerPicture();
    void facesFound(const QList<HeadMeasure>& heads, QSize pictureSize);
    // The face model loads on the workers at first use, before the first
    // take or live picture needs it.
    void warmUp();
    void glide();

    FaceUnits u_;
    CameraController& camera_;
    Viewfinder& viewfinder_;
    AutoFraming framing_;
    FaceWorker liveWorker_;
    FaceWorker checkWorker_;
    QTimer* poll_;
    QTimer* glide_;
    quint64 offeredSerial_ = 0;
    struct KnownFaces {
        qint64 pictureKey = 0;
        QList<HeadMeasure> heads;
        std::optional<QRectF> sitter;  // picture coordinates
    };
    std::optional<KnownFaces> lastFaces_;  // of the last picture searched
    int emptyPolls_ = 0;
    FramingNorm norm_ = FramingNorm::registry();
    std::optional<QRect> goal_;
};
