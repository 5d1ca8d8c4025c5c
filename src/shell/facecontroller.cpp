#include "facecontroller.h"

#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "shapebox.h"
#include "viewfinder.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

#include <memory>

namespace {

// At most this often (ms); a picture that arrives while a search runs is not
// searched. While nothing is seen, every other period is skipped: a whole
// picture's search costs more than a look where the face just was.
constexpr int livePeriodMs = 110;
constexpr int glidePeriodMs = 40;

void showVerdict(QLabel* label, const QString& text, bool passed)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, passed ? QColor(0, 128, 0) : QColor(255, 0, 0));
    label->setPalette(palette);
    label->setText(text);
    label->setToolTip(text);
}

}  // namespace

FaceController::FaceController(const FaceUnits& units, CameraController& camera, Viewfinder& viewfinder,
                               QObject* parent)
    : QObject(parent)
    , u_(units)
    , camera_(camera)
    , viewfinder_(viewfinder)
    , liveWorker_(this)
    , checkWorker_(this)
    , poll_(new QTimer(this))
    , glide_(new QTimer(this))
{
    poll_->setInterval(livePeriodMs);
    // Tests count its turns to know the live picture was looked at.
    poll_->setObjectName(QStringLiteral("livePoll"));
    glide_->setInterval(glidePeriodMs);
    connect(poll_, &QTimer::timeout, this, &FaceController::offerPicture);
    connect(glide_, &QTimer::timeout, this, &FaceController::glide);
    connect(u_.autoFrame, &QCheckBox::toggled, this, &FaceController::autoFrameToggled);
    connect(u_.check, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            warmUp();
    });
    if (u_.check->isChecked() || u_.autoFrame->isChecked())
        warmUp();
    connect(&viewfinder_, &Viewfinder::manuallyMoved, this, [this] {
        if (!framing_.following())
            return;
        framing_.takenOverByHand();
        goal_.reset();
        glide_->stop();
        u_.setStatus(QStringLiteral("当前状态: 取景框已手动调整，自动取景暂停"));
    });
    // A new target size lays the frame out afresh: following starts from there.
    connect(&viewfinder_, &Viewfinder::targetChanged, this, [this] {
        if (framing_.following())
            framing_.relayout();
    });
    u_.verdict->clear();
}

void FaceController::warmUp()
{
    auto nothing = [](const FaceDetector*, const QString&) {};
    liveWorker_.run(
        nothing, [] {}, FaceWorker::WhenBusy::Drop);
    checkWorker_.run(
        nothing, [] {}, FaceWorker::WhenBusy::Drop);
}

void FaceController::autoFrameToggled(bool on)
{
    goal_.reset();
    glide_->stop();
    if (!on) {
        framing_.stop();
        poll_->stop();
        return;
    }
    framing_.start();
    offeredSerial_ = 0;
    lastFaces_.reset();
    emptyPolls_ = 0;
    warmUp();
    // Framing by the face goes with checking by it; the operator may still
    // switch the checks off.
    u_.check->setChecked(true);
    poll_->start();
}

void FaceController::offerPicture()
{
    if (!framing_.following() || !camera_.state().previewOn() || !viewfinder_.targetError().isEmpty())
        return;
    if (viewfinder_.units().frame->dragging() || liveWorker_.busy())
        return;
    capControl* device = camera_.device();
    if (!device->session())
        return;
    quint64 serial = 0;
    const QImage picture = device->session()->latest(&serial);
    if (picture.isNull() || serial == offeredSerial_)
        return;
    // A still picture (a picture file as source) comes again every period as
    // the same image: its faces are known, so it is not searched again.
    if (lastFaces_ && picture.cacheKey() == lastFaces_->pictureKey) {
        offeredSerial_ = serial;
        facesFound(lastFaces_->heads, picture.size());
        return;
    }
    if (lastFaces_ && !lastFaces_->sitter && ++emptyPolls_ % 2 == 1)
        return;
    offeredSerial_ = serial;
    struct Found {
        QList<HeadMeasure> heads;
        std::optional<QRectF> sitter;
    };
    auto found = std::make_shared<Found>();
    FaceSearch search;
    // Following is for a sitter in front of the camera, not the room.
    search.minHeadShare = 0.15;
    search.deep = false;
    if (lastFaces_)
        search.near = lastFaces_->sitter;
    const QSize size = picture.size();
    const qint64 key = picture.cacheKey();
    liveWorker_.run(
        [picture, found, search](const FaceDetector* detector, const QString&) {
            if (!detector)
                return;
            const QList<Face> faces = detector->find(picture, search);
            for (const Face& face : faces)
                found->heads << measureHead(picture, face);
            if (!faces.isEmpty())
                found->sitter = faces.constFirst().box;
        },
        [this, found, size, key] {
            lastFaces_ = KnownFaces{key, found->heads, found->sitter};
            facesFound(found->heads, size);
        },
        FaceWorker::WhenBusy::Drop);
}

void FaceController::facesFound(const QList<HeadMeasure>& heads, QSize pictureSize)
{
    emit detected();
    if (!framing_.following())
        return;
    // From the picture to the window: the preview fills the camera unit,
    // centred, the overhang cropped.
    capControl* device = camera_.device();
    const capture::FillMapping mapping{QSizeF(pictureSize), QSizeF(device->size())};
    if (!mapping.isValid())
        return;
    const double scale = mapping.scale();
    const QPointF visible = mapping.visibleFrameRect().topLeft();
    const QPointF origin(device->pos());
    QTransform toWindow;
    toWindow.translate(origin.x(), origin.y());
    toWindow.scale(scale, scale);
    toWindow.translate(-visible.x(), -visible.y());
    QList<HeadMeasure> inWindow;
    for (const HeadMeasure& head : heads)
        inWindow << head.mapped(toWindow);
    const ShapeBox* frame = viewfinder_.units().frame;
    const AutoFraming::Step step =
        framing_.onFaces(inWindow, norm_, viewfinder_.target(), frame->dragLimits(), ShapeBox::kLineWidth);
    if (!step.message.isEmpty())
        u_.setStatus(step.message);
    if (step.goal && *step.goal != frame->geometry()) {
        goal_ = step.goal;
        if (!glide_->isActive())
            glide_->start();
        glide();
    }
}

void FaceController::glide()
{
    const ShapeBox* frame = viewfinder_.units().frame;
    if (!goal_ || !framing_.following() || frame->dragging() || frame->geometry() == *goal_) {
        glide_->stop();
        return;
    }
    viewfinder_.placeFrame(glideToward(frame->geometry(), *goal_));
}

bool FaceController::reviewTake(const QImage& photo, const std::optional<QColor>& backdrop,
                                std::function<void(const TakeReview&)> answer)
{
    const bool check = u_.check->isChecked();
    if (!check)
        u_.verdict->clear();  // an older take's verdict would pass for this one's
    if (!check && !backdrop)
        return false;
    showVerdict(u_.verdict, backdrop ? QStringLiteral("正在更换背景…") : QStringLiteral("正在检查照片…"), true);
    const QSize target = viewfinder_.target();
    const FramingNorm norm = norm_;
    auto review = std::make_shared<TakenPhotoReview>();
    checkWorker_.run(
        [photo, target, norm, backdrop, check, review](const FaceDetector* detector, const QString& why) {
            *review = reviewTakenPhoto(photo, target, norm, backdrop, check, detector, why);
        },
        [this, review, answer = std::move(answer)] {
            TakeReview answered;
            answered.passed = review->checksPassed();
            answered.photo = review->replaced;
            answered.backdropRefused = review->backdropRefused();
            showVerdict(u_.verdict, review->label(), answered.passed && !answered.backdropRefused);
            if (review->checkAsked)
                emit checked(answered.passed);
            u_.setStatus(QStringLiteral("当前状态: ") + review->status());
            answer(answered);
        },
        FaceWorker::WhenBusy::Wait);
    return true;
}
