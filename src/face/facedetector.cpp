#include "facedetector.h"

#include <QFileInfo>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cmath>

struct FaceDetector::Cascade {
    cv::CascadeClassifier classifier;
};

QString defaultFaceCascadePath()
{
    const QString chosen = qEnvironmentVariable("STATION_FACE_CASCADE");
    if (!chosen.isEmpty())
        return chosen;
    // alt2 gives fewer false faces on clothing and backgrounds than the
    // default cascade at about the same cost.
    for (const char* candidate : {"/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt2.xml",
                                  "/usr/share/opencv/haarcascades/haarcascade_frontalface_alt2.xml",
                                  "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml"}) {
        if (QFileInfo::exists(QString::fromLatin1(candidate)))
            return QString::fromLatin1(candidate);
    }
    return {};
}

Result<std::unique_ptr<FaceDetector>> FaceDetector::create()
{
    const QString path = defaultFaceCascadePath();
    if (path.isEmpty())
        return failure(QStringLiteral("找不到人脸检测数据（请安装 opencv-data）"));
    return fromFile(path);
}

Result<std::unique_ptr<FaceDetector>> FaceDetector::fromFile(const QString& cascadePath)
{
    auto cascade = std::make_unique<Cascade>();
    bool loaded = false;
    try {
        loaded = cascade->classifier.load(QFile::encodeName(cascadePath).toStdString());
    } catch (const cv::Exception&) {
        loaded = false;
    }
    if (!loaded || cascade->classifier.empty())
        return failure(QStringLiteral("无法读取人脸检测数据：%1").arg(cascadePath));
    return std::unique_ptr<FaceDetector>(new FaceDetector(std::move(cascade)));
}

FaceDetector::FaceDetector(std::unique_ptr<Cascade> cascade)
    : cascade_(std::move(cascade))
{
}

FaceDetector::~FaceDetector() = default;

QList<QRect> FaceDetector::detect(const QImage& picture, int workWidth) const
{
    if (picture.isNull())
        return {};
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    // The Mat borrows the QImage's rows (with their padding) without copying.
    const cv::Mat full(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    cv::Mat work;
    double scale = 1.0;
    if (workWidth > 0 && grey.width() > workWidth) {
        scale = double(grey.width()) / workWidth;
        cv::resize(full, work, cv::Size(workWidth, std::max(1, int(std::lround(grey.height() / scale)))), 0, 0,
                   cv::INTER_AREA);
    } else {
        work = full;
    }
    cv::Mat equalised;
    cv::equalizeHist(work, equalised);

    // A face smaller than a twelfth of the shorter side is not a sitter.
    const int minSide = std::max(20, std::min(equalised.cols, equalised.rows) / 12);
    std::vector<cv::Rect> found;
    try {
        cascade_->classifier.detectMultiScale(equalised, found, 1.1, 3, cv::CASCADE_SCALE_IMAGE,
                                              cv::Size(minSide, minSide));
    } catch (const cv::Exception&) {
        return {};
    }
    QList<QRect> faces;
    faces.reserve(int(found.size()));
    for (const cv::Rect& r : found) {
        faces.append(QRect(int(std::lround(r.x * scale)), int(std::lround(r.y * scale)),
                           int(std::lround(r.width * scale)), int(std::lround(r.height * scale))));
    }
    std::sort(faces.begin(), faces.end(), [](const QRect& a, const QRect& b) {
        return qint64(a.width()) * a.height() > qint64(b.width()) * b.height();
    });
    return faces;
}
