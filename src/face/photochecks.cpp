#include "photochecks.h"

#include "idframing.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace {

cv::Mat greyAtHeight(const QImage& picture, int height)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat full(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    cv::Mat out;
    const int width = std::max(1, int(std::lround(double(grey.width()) * height / grey.height())));
    cv::resize(full, out, cv::Size(width, height), 0, 0, grey.height() > height ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

}  // namespace

QString problemText(PhotoProblem problem)
{
    switch (problem) {
    case PhotoProblem::NoFace:
        return QStringLiteral("未检测到人脸");
    case PhotoProblem::SeveralFaces:
        return QStringLiteral("检测到多张人脸");
    case PhotoProblem::FaceTooSmall:
        return QStringLiteral("人脸太小");
    case PhotoProblem::FaceTooLarge:
        return QStringLiteral("人脸太大");
    case PhotoProblem::OffCentre:
        return QStringLiteral("人脸不居中");
    case PhotoProblem::Blurred:
        return QStringLiteral("照片模糊");
    case PhotoProblem::TooDark:
        return QStringLiteral("照片太暗");
    case PhotoProblem::TooBright:
        return QStringLiteral("照片太亮");
    }
    return {};
}

QString PhotoVerdict::text() const
{
    if (problems.isEmpty())
        return QStringLiteral("照片检查通过");
    QStringList parts;
    for (PhotoProblem p : problems)
        parts << problemText(p);
    return parts.join(QStringLiteral("，"));
}

double sharpnessOf(const QImage& picture)
{
    if (picture.isNull())
        return 0;
    const cv::Mat grey = greyAtHeight(picture, 300);
    cv::Mat laplacian;
    cv::Laplacian(grey, laplacian, CV_64F);
    cv::Scalar mean;
    cv::Scalar edges;
    cv::meanStdDev(laplacian, mean, edges);
    cv::Scalar contrast;
    cv::meanStdDev(grey, mean, contrast);
    // Relative to the picture's own contrast, so a dim but sharp photo is
    // not taken for a blurred one.
    if (contrast[0] < 1.0)
        return 0;
    return 100.0 * edges[0] * edges[0] / (contrast[0] * contrast[0]);
}

double luminanceOf(const QImage& picture)
{
    if (picture.isNull())
        return 0;
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat full(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    return cv::mean(full)[0];
}

PhotoVerdict checkPhoto(const QImage& photo, const QList<QRect>& faces, const PhotoCheckLimits& limits)
{
    PhotoVerdict verdict;
    verdict.faces = int(faces.size());
    verdict.sharpness = sharpnessOf(photo);
    verdict.luminance = luminanceOf(photo);
    if (faces.isEmpty()) {
        verdict.problems << PhotoProblem::NoFace;
    } else {
        if (faces.size() > 1)
            verdict.problems << PhotoProblem::SeveralFaces;
        const QRectF face = faces.constFirst();
        const double share = faceHeightOf(face) / photo.height();
        if (share < limits.minFaceShare)
            verdict.problems << PhotoProblem::FaceTooSmall;
        else if (share > limits.maxFaceShare)
            verdict.problems << PhotoProblem::FaceTooLarge;
        if (std::abs(face.center().x() - photo.width() / 2.0) > limits.maxOffCentre * photo.width())
            verdict.problems << PhotoProblem::OffCentre;
    }
    if (verdict.sharpness < limits.minSharpness)
        verdict.problems << PhotoProblem::Blurred;
    if (verdict.luminance < limits.minLuminance)
        verdict.problems << PhotoProblem::TooDark;
    else if (verdict.luminance > limits.maxLuminance)
        verdict.problems << PhotoProblem::TooBright;
    return verdict;
}
