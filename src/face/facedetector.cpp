#include "facedetector.h"

#include <QFile>
#include <QFileInfo>

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_processing/shape_predictor.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <mutex>

namespace {

// The HOG detector scans 80 x 80 windows; a candidate is looked at with its
// box at about this size.
constexpr double confirmSide = 100.0;
// Of the cascade's candidates, at most this many (the largest) are confirmed.
constexpr int maxCandidates = 12;
// The cascade and the first HOG pass work on copies at most this high.
constexpr int coarseHeight = 240;
constexpr int cascadeHeight = 480;
constexpr int hogHeight = 300;
// The deep pass: HOG at up to this height.
constexpr int deepHeight = 720;
// Smaller faces (a head under about 50 px) cannot be told from patterns.
constexpr double minFaceSide = 28.0;
// A face's detector box per head height (top of the hair to the chin).
constexpr double boxPerHead = 0.55;

QRectF toQt(const dlib::rectangle& r, double scale, QPointF offset)
{
    return {offset.x() + r.left() * scale, offset.y() + r.top() * scale, (r.width()) * scale, (r.height()) * scale};
}

double overlap(const QRectF& a, const QRectF& b)
{
    const QRectF both = a.intersected(b);
    if (both.isEmpty())
        return 0;
    const double shared = both.width() * both.height();
    return shared / (a.width() * a.height() + b.width() * b.height() - shared);
}

cv::Mat scaledCopy(const cv::Mat& grey, double scale)
{
    if (std::abs(scale - 1.0) < 1e-3)
        return grey;
    cv::Mat out;
    cv::resize(
        grey, out,
        cv::Size(std::max(1, int(std::lround(grey.cols * scale))), std::max(1, int(std::lround(grey.rows * scale)))), 0,
        0, scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

double meanInside(const cv::Mat& grey, const std::vector<cv::Point>& polygon)
{
    const cv::Rect bounds = cv::boundingRect(polygon) & cv::Rect(0, 0, grey.cols, grey.rows);
    if (bounds.area() < 4)
        return -1;
    cv::Mat mask = cv::Mat::zeros(bounds.size(), CV_8UC1);
    std::vector<cv::Point> shifted;
    for (const cv::Point& p : polygon)
        shifted.emplace_back(p - bounds.tl());
    cv::fillConvexPoly(mask, shifted, cv::Scalar(255));
    if (cv::countNonZero(mask) < 4)
        return -1;
    return cv::mean(grey(bounds), mask)[0];
}

}  // namespace

QString defaultFaceCascadePath()
{
    const QString chosen = qEnvironmentVariable("STATION_FACE_CASCADE");
    if (!chosen.isEmpty())
        return chosen;
    return QStringLiteral("/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt2.xml");
}

QString defaultFaceModelPath()
{
    const QString chosen = qEnvironmentVariable("STATION_FACE_MODEL");
    if (!chosen.isEmpty())
        return chosen;
    return QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat");
}

// What every detector shares: the landmark model and the HOG detector's
// weights, read once per process.
class FaceModel {
public:
    dlib::shape_predictor landmarks;
    dlib::frontal_face_detector hog;

    static Result<std::shared_ptr<const FaceModel>> shared()
    {
        static std::mutex mutex;
        static std::shared_ptr<const FaceModel> loaded;
        const std::lock_guard<std::mutex> lock(mutex);
        if (loaded)
            return loaded;
        const QString path = defaultFaceModelPath();
        if (!QFileInfo::exists(path))
            return failure(QStringLiteral("找不到人脸特征点模型 %1（请安装 libdlib-data）").arg(path));
        auto model = std::make_shared<FaceModel>();
        try {
            std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
            dlib::deserialize(model->landmarks, in);
            model->hog = dlib::get_frontal_face_detector();
        } catch (const std::exception&) {
            return failure(QStringLiteral("无法读取人脸特征点模型 %1（文件损坏？请重新安装 libdlib-data）").arg(path));
        }
        if (model->landmarks.num_parts() != 68)
            return failure(QStringLiteral("人脸特征点模型 %1 不是 68 点模型").arg(path));
        loaded = std::move(model);
        return loaded;
    }
};

struct FaceDetector::Parts {
    std::shared_ptr<const FaceModel> model;
    // Each detector scans with its own copy: dlib's scan keeps state.
    mutable dlib::frontal_face_detector hog;
    mutable cv::CascadeClassifier cascade;

    // HOG boxes in grey (picture coordinates) found on a copy at scale.
    QList<QRectF> hogFaces(const cv::Mat& grey, double scale, const QRectF& region = {}, double threshold = 0) const
    {
        cv::Mat source = grey;
        QPointF offset;
        if (!region.isEmpty()) {
            const cv::Rect r =
                cv::Rect(int(region.left()), int(region.top()), int(region.width()), int(region.height())) &
                cv::Rect(0, 0, grey.cols, grey.rows);
            if (r.width < 8 || r.height < 8)
                return {};
            source = grey(r);
            offset = QPointF(r.x, r.y);
        }
        cv::Mat work = scaledCopy(source, scale);
        // dlib reads the Mat's rows in place.
        if (!work.isContinuous())
            work = work.clone();
        std::vector<dlib::rect_detection> found;
        hog(dlib::cv_image<unsigned char>(work), found, threshold);
        QList<QRectF> boxes;
        for (const dlib::rect_detection& d : found)
            boxes << toQt(d.rect, 1.0 / scale, offset);
        return boxes;
    }

    // The HOG face that confirms a candidate box, looked for in a crop around it.
    std::optional<QRectF> confirm(const cv::Mat& grey, const QRectF& candidate) const
    {
        const double side = std::max(candidate.width(), candidate.height());
        const QRectF region(candidate.center().x() - side * 1.2, candidate.center().y() - side * 1.2, side * 2.4,
                            side * 2.4);
        const double scale = std::min(4.0, confirmSide / side);
        std::optional<QRectF> best;
        // A little below the detector's own threshold: the cascade has
        // already picked the place, and the landmarks judge the fit.
        for (const QRectF& box : hogFaces(grey, scale, region, -0.3)) {
            const double ratio = box.width() / side;
            if (ratio < 0.5 || ratio > 2.0 || !box.contains(candidate.center()))
                continue;
            if (!best || overlap(box, candidate) > overlap(*best, candidate))
                best = box;
        }
        return best;
    }

    // The landmarks for a confirmed box, when they fit a face: a plausible
    // shape, and eyes darker than the cheeks below them.
    std::optional<Face> fit(const cv::Mat& grey, const QRectF& box) const
    {
        if (box.width() < minFaceSide)
            return std::nullopt;
        const cv::Mat& source = grey.isContinuous() ? grey : grey.clone();
        const dlib::rectangle r(long(std::lround(box.left())), long(std::lround(box.top())),
                                long(std::lround(box.right())), long(std::lround(box.bottom())));
        const dlib::full_object_detection shape = model->landmarks(dlib::cv_image<unsigned char>(source), r);
        Face face;
        face.box = box;
        for (unsigned long i = 0; i < shape.num_parts() && i < 68; ++i)
            face.points[i] = QPointF(shape.part(i).x(), shape.part(i).y());
        const QPointF eyes = face.rightEye() - face.leftEye();
        const double eyeDistance = std::hypot(eyes.x(), eyes.y());
        if (eyeDistance < 4 || eyeDistance / box.width() < 0.2 || eyeDistance / box.width() > 0.7)
            return std::nullopt;
        const double width = face.width() / eyeDistance;
        const double down = face.eyeToChin() / eyeDistance;
        if (width < 1.4 || width > 3.4 || down < 0.8 || down > 2.4)
            return std::nullopt;
        auto polygon = [&face](std::initializer_list<int> indices) {
            std::vector<cv::Point> points;
            for (int i : indices)
                points.emplace_back(int(std::lround(face.point(i).x())), int(std::lround(face.point(i).y())));
            return points;
        };
        // Eyes darker than the cheeks below them: the shape fits any box it is
        // given, the picture under it tells a face from a pattern.
        const double leftEye = meanInside(grey, polygon({36, 37, 38, 39, 40, 41}));
        const double rightEye = meanInside(grey, polygon({42, 43, 44, 45, 46, 47}));
        // The cheeks: between the lower eyelids, the nose's wings and the jaw.
        const double leftCheek = meanInside(grey, polygon({41, 40, 31, 48, 3, 2, 1}));
        const double rightCheek = meanInside(grey, polygon({47, 46, 35, 54, 13, 14, 15}));
        if (leftEye < 0 || rightEye < 0 || leftCheek < 0 || rightCheek < 0)
            return std::nullopt;
        const double cheeks = (leftCheek + rightCheek) / 2;
        if (leftEye > cheeks - 2 || rightEye > cheeks - 2)
            return std::nullopt;
        return face;
    }
};

FaceDetector::FaceDetector(std::unique_ptr<Parts> parts)
    : parts_(std::move(parts))
{
}

FaceDetector::~FaceDetector() = default;

Result<std::unique_ptr<FaceDetector>> FaceDetector::create()
{
    Result<std::shared_ptr<const FaceModel>> model = FaceModel::shared();
    if (!model)
        return failure(model.error());
    auto parts = std::make_unique<Parts>();
    parts->model = model.value();
    parts->hog = parts->model->hog;
    const QString cascadePath = defaultFaceCascadePath();
    bool loaded = false;
    try {
        loaded = parts->cascade.load(QFile::encodeName(cascadePath).toStdString());
    } catch (const cv::Exception&) {
        loaded = false;
    }
    if (!loaded || parts->cascade.empty())
        return failure(QStringLiteral("无法读取人脸检测数据 %1（请安装 opencv-data）").arg(cascadePath));
    return std::unique_ptr<FaceDetector>(new FaceDetector(std::move(parts)));
}

QList<Face> FaceDetector::find(const QImage& picture, const FaceSearch& search) const
{
    if (picture.isNull())
        return {};
    const QImage greyImage = picture.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(greyImage.height(), greyImage.width(), CV_8UC1, const_cast<uchar*>(greyImage.constBits()),
                       size_t(greyImage.bytesPerLine()));
    const cv::Mat grey = view.isContinuous() ? view : view.clone();
    const QRectF whole(0, 0, grey.cols, grey.rows);

    QList<Face> faces;
    auto add = [&](const QRectF& box) {
        for (const Face& known : std::as_const(faces)) {
            if (overlap(known.box, box) > 0.3)
                return;
        }
        if (std::optional<Face> face = parts_->fit(grey, box))
            faces << *face;
    };

    // Where the face was a moment ago: a small look there is enough.
    if (search.near && !search.near->isEmpty()) {
        if (std::optional<QRectF> box = parts_->confirm(grey, *search.near))
            add(*box);
        if (!faces.isEmpty())
            return faces;
    }

    // The cascade finds upright faces cheaply; each is then confirmed at its
    // own scale. Faces are looked for from minSide pixels (on the copy) up
    // to maxSide (0: no limit).
    auto cascadePass = [&](double scale, int minSide, int maxSide, double angle = 0) {
        cv::Mat work = scaledCopy(grey, scale);
        // A turned copy finds heads leaning the other way; its candidates
        // are turned back.
        cv::Mat turn = cv::Mat::eye(2, 3, CV_64F);
        if (angle != 0) {
            turn = cv::getRotationMatrix2D(cv::Point2f(work.cols / 2.0f, work.rows / 2.0f), angle, 1.0);
            cv::Mat turned;
            cv::warpAffine(work, turned, turn, work.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
            work = turned;
            cv::invertAffineTransform(turn, turn);
        }
        cv::Mat equalised;
        cv::equalizeHist(work, equalised);
        std::vector<cv::Rect> found;
        try {
            parts_->cascade.detectMultiScale(equalised, found, 1.15, 3, 0, cv::Size(minSide, minSide),
                                             maxSide > 0 ? cv::Size(maxSide, maxSide) : cv::Size());
        } catch (const cv::Exception&) {
            found.clear();
        }
        std::sort(found.begin(), found.end(), [](const cv::Rect& a, const cv::Rect& b) { return a.area() > b.area(); });
        if (int(found.size()) > maxCandidates)
            found.resize(maxCandidates);
        for (const cv::Rect& r : found) {
            const double cx = r.x + r.width / 2.0;
            const double cy = r.y + r.height / 2.0;
            const QPointF centre(
                (turn.at<double>(0, 0) * cx + turn.at<double>(0, 1) * cy + turn.at<double>(0, 2)) / scale,
                (turn.at<double>(1, 0) * cx + turn.at<double>(1, 1) * cy + turn.at<double>(1, 2)) / scale);
            const QSizeF size(r.width / scale, r.height / scale);
            const QRectF candidate(centre - QPointF(size.width() / 2, size.height() / 2), size);
            std::optional<QRectF> box = parts_->confirm(grey, candidate);
            if (box)
                add(*box);
        }
    };
    const double smallestBox = boxPerHead * search.minHeadShare * grey.rows * 0.85;
    // Coarse to fine: a small copy finds the usual sitter (a head from about
    // 15 % of the height) at a quarter of the cost; a copy twice as high the
    // smaller faces, when the first found none.
    const double coarse = std::min(1.0, double(coarseHeight) / grey.rows);
    cascadePass(coarse, std::max(20, int(smallestBox * coarse)), 0);
    const double fine = std::min(1.0, double(cascadeHeight) / grey.rows);
    if (faces.isEmpty() && fine > coarse * 1.2 && smallestBox * coarse < 20)
        cascadePass(fine, std::max(20, int(smallestBox * fine)), int(40 * fine / coarse));
    // Faces the cascade misses (a leaning head, a close-up cut at the chin):
    // HOG on a small copy finds the large ones, the cascade on turned copies
    // the leaning ones, HOG on a larger copy the rest.
    if (faces.isEmpty()) {
        const double scale = std::min(1.0, double(hogHeight) / grey.rows);
        for (const QRectF& box : parts_->hogFaces(grey, scale))
            add(box.intersected(whole));
    }
    if (search.deep) {
        for (double angle : {18.0, -18.0}) {
            if (faces.isEmpty())
                cascadePass(fine, std::max(20, int(smallestBox * fine)), 0, angle);
        }
    }
    // Small faces: the cascade again on a copy where they are 40 pixels
    // wide, upright and turned both ways.
    if (search.deep) {
        const double scale = std::min(3.0, 40.0 / smallestBox);
        for (double angle : {0.0, 10.0, -10.0}) {
            if (faces.isEmpty() && (angle != 0 || scale * grey.rows > cascadeHeight * 1.2))
                cascadePass(scale, 34, int(40.0 * 3.0), angle);
        }
    }
    if (faces.isEmpty() && search.deep && grey.rows > hogHeight) {
        const double scale = std::min(1.0, double(deepHeight) / grey.rows);
        for (const QRectF& box : parts_->hogFaces(grey, scale))
            add(box.intersected(whole));
    }

    // The sitter first: of the faces at least half as wide as the widest, the
    // one nearest the middle; a large face beside the sitter comes next.
    double widest = 0;
    for (const Face& face : std::as_const(faces))
        widest = std::max(widest, face.box.width());
    const QPointF middle = whole.center();
    auto rank = [&](const Face& face) {
        const QPointF d = face.box.center() - middle;
        const bool large = face.box.width() >= widest * 0.5;
        return std::make_pair(large ? 0 : 1, large ? std::hypot(d.x(), d.y()) : -face.box.width());
    };
    std::stable_sort(faces.begin(), faces.end(), [&](const Face& a, const Face& b) { return rank(a) < rank(b); });
    return faces;
}

QList<QRect> FaceDetector::detect(const QImage& picture) const
{
    QList<QRect> boxes;
    for (const Face& face : find(picture))
        boxes << face.box.toAlignedRect();
    return boxes;
}
