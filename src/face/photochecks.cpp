#include "photochecks.h"

#include <QtMath>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The photo's exposure and backdrop are judged on a copy this high.
constexpr int analysisHeight = 200;

cv::Mat matOf(const QImage& rgb32)
{
    return cv::Mat(rgb32.height(), rgb32.width(), CV_8UC4, const_cast<uchar*>(rgb32.constBits()),
                   size_t(rgb32.bytesPerLine()));
}

cv::Mat greyOf(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    cv::Mat grey;
    cv::cvtColor(matOf(rgb), grey, cv::COLOR_BGRA2GRAY);
    return grey;
}

std::vector<cv::Point> facePolygon(const Face& face, double scale)
{
    std::vector<cv::Point> points;
    for (int i = 0; i <= 16; ++i)
        points.emplace_back(int(std::lround(face.point(i).x() * scale)), int(std::lround(face.point(i).y() * scale)));
    for (int i = 26; i >= 17; --i)
        points.emplace_back(int(std::lround(face.point(i).x() * scale)), int(std::lround(face.point(i).y() * scale)));
    std::vector<cv::Point> hull;
    cv::convexHull(points, hull);
    return hull;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + long(std::min(values.size() - 1, size_t(share * double(values.size()))));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

QString percent(double share)
{
    return QString::number(std::lround(share * 100)) + QLatin1Char('%');
}

}  // namespace

QString problemText(PhotoProblem problem)
{
    switch (problem) {
    case PhotoProblem::NoFace:
        return QStringLiteral("未检测到人脸");
    case PhotoProblem::SeveralFaces:
        return QStringLiteral("检测到多张人脸");
    case PhotoProblem::Tilted:
        return QStringLiteral("歪头");
    case PhotoProblem::Turned:
        return QStringLiteral("侧脸");
    case PhotoProblem::EyesClosed:
        return QStringLiteral("闭眼");
    case PhotoProblem::MouthOpen:
        return QStringLiteral("张嘴");
    case PhotoProblem::TooDark:
        return QStringLiteral("脸部太暗");
    case PhotoProblem::TooBright:
        return QStringLiteral("脸部过亮");
    case PhotoProblem::Backlit:
        return QStringLiteral("逆光");
    case PhotoProblem::Blurred:
        return QStringLiteral("照片模糊");
    case PhotoProblem::LowResolution:
        return QStringLiteral("原图分辨率不足");
    case PhotoProblem::HeadTooSmall:
        return QStringLiteral("头部太小");
    case PhotoProblem::HeadTooLarge:
        return QStringLiteral("人脸过大/离镜头太近");
    case PhotoProblem::EyeLineOff:
        return QStringLiteral("眼睛位置不合规范");
    case PhotoProblem::TopMarginOff:
        return QStringLiteral("头顶留白不合规范");
    case PhotoProblem::FaceWidthOff:
        return QStringLiteral("脸宽不合规范");
    case PhotoProblem::OffCentre:
        return QStringLiteral("人脸不居中");
    case PhotoProblem::BusyBackground:
        return QStringLiteral("背景不纯");
    }
    return {};
}

QString PhotoVerdict::text() const
{
    if (problems.isEmpty())
        return QStringLiteral("照片检查通过");
    return reasons.join(QStringLiteral("; "));
}

double sharpnessOf(const QImage& photo, const Face& face)
{
    if (photo.isNull())
        return 0;
    // The face from the brows to the chin, cheek to cheek.
    QRectF area;
    for (int i = 0; i <= 26; ++i)
        area = area.isNull() ? QRectF(face.point(i), QSizeF(1, 1)) : area.united(QRectF(face.point(i), QSizeF(1, 1)));
    const QRect cut = area.toAlignedRect().intersected(photo.rect());
    if (cut.width() < 8 || cut.height() < 8)
        return 0;
    const cv::Mat grey = greyOf(photo.copy(cut));
    cv::Mat small;
    const double scale = std::min(1.0, 128.0 / grey.rows);
    cv::resize(grey, small, cv::Size(), scale, scale, cv::INTER_AREA);
    cv::Mat smooth;
    cv::GaussianBlur(small, smooth, cv::Size(0, 0), 1.0);
    cv::Mat high;
    cv::Mat low;
    const cv::Mat window = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7));
    cv::dilate(smooth, high, window);
    cv::erode(smooth, low, window);
    cv::Mat gx;
    cv::Mat gy;
    cv::Sobel(smooth, gx, CV_32F, 1, 0, 3, 1.0 / 8);
    cv::Sobel(smooth, gy, CV_32F, 0, 1, 3, 1.0 / 8);
    std::vector<double> slopes;
    for (int y = 0; y < smooth.rows; ++y) {
        for (int x = 0; x < smooth.cols; ++x) {
            const int range = high.at<uchar>(y, x) - low.at<uchar>(y, x);
            if (range < 40)
                continue;
            slopes.push_back(std::hypot(gx.at<float>(y, x), gy.at<float>(y, x)) / range);
        }
    }
    if (slopes.size() < 20)
        return 0;
    return percentile(std::move(slopes), 0.9);
}

PhotoVerdict checkPhoto(const PhotoUnderCheck& input, const FramingNorm& norm, QSize target,
                        const PhotoCheckLimits& limits)
{
    PhotoVerdict v;
    const QImage& photo = input.photo;
    auto add = [&v](PhotoProblem problem, const QString& reason) {
        v.problems << problem;
        v.reasons << reason;
    };
    const QRectF inside(photo.rect());
    QList<Face> faces;
    for (const Face& face : input.faces) {
        if (inside.contains(face.box.center()))
            faces << face;
    }
    v.faces = int(faces.size());
    if (photo.isNull() || faces.isEmpty()) {
        add(PhotoProblem::NoFace, QStringLiteral("未检测到人脸：请正对镜头"));
        return v;
    }
    if (faces.size() > 1)
        add(PhotoProblem::SeveralFaces, QStringLiteral("照片内有%1张人脸：请只留拍摄对象一人").arg(faces.size()));
    const Face& face = faces.constFirst();
    const HeadMeasure head = input.head ? *input.head : measureHead(photo, face);

    // The pose.
    if (std::abs(face.rollDegrees()) > limits.maxRoll)
        add(PhotoProblem::Tilted,
            QStringLiteral("歪头约%1°：请摆正头部").arg(std::lround(std::abs(face.rollDegrees()))));
    if (std::abs(face.noseBetweenCheeks() - 0.5) > limits.maxNoseShift)
        add(PhotoProblem::Turned, QStringLiteral("侧脸：请正对镜头"));
    if (face.eyeOpening() < limits.minEyeOpening)
        add(PhotoProblem::EyesClosed, QStringLiteral("闭眼：请睁开眼睛重拍"));
    if (face.mouthOpening() > limits.maxMouthOpening)
        add(PhotoProblem::MouthOpen, QStringLiteral("张嘴：请闭上嘴重拍"));

    // Exposure on the face, against the backdrop beside and above the head.
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    // Always this high, so edges measure alike at every photo size.
    const double scale = double(analysisHeight) / photo.height();
    cv::Mat small;
    cv::resize(matOf(rgb), small, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::Mat grey;
    cv::cvtColor(small, grey, cv::COLOR_BGRA2GRAY);
    cv::Mat faceMask = cv::Mat::zeros(grey.size(), CV_8UC1);
    cv::fillConvexPoly(faceMask, facePolygon(face, scale), cv::Scalar(255));
    const int facePixels = cv::countNonZero(faceMask);
    cv::Mat backdropMask = cv::Mat(grey.size(), CV_8UC1, cv::Scalar(255));
    {
        const QTransform axes = head.toPicture();
        const QPointF middle = axes.map(QPointF(head.across, (head.chin - head.crown) / 2)) * scale;
        // The head with a margin for loose hair.
        const cv::Size axesLength(int(std::lround(head.faceWidth * 0.85 * scale)),
                                  int(std::lround(head.headHeight() * 0.6 * scale)));
        cv::ellipse(backdropMask, cv::Point(int(std::lround(middle.x())), int(std::lround(middle.y()))), axesLength,
                    head.roll, 0, 360, cv::Scalar(0), cv::FILLED);
        // Below the cheekbones: collar, shoulders and clothes.
        const double chinRow = axes.map(QPointF(head.across, head.chin * 0.3)).y() * scale;
        const int from = std::clamp(int(std::lround(chinRow)), 0, grey.rows);
        backdropMask.rowRange(from, grey.rows).setTo(cv::Scalar(0));
    }
    const int backdropPixels = cv::countNonZero(backdropMask);
    if (facePixels >= 16) {
        v.faceLuminance = cv::mean(grey, faceMask)[0];
        cv::Mat clipped;
        cv::threshold(grey, clipped, 249, 255, cv::THRESH_BINARY);
        cv::bitwise_and(clipped, faceMask, clipped);
        const double clippedShare = double(cv::countNonZero(clipped)) / facePixels;
        const double backdropLuminance = backdropPixels > 16 ? cv::mean(grey, backdropMask)[0] : 0;
        if (backdropPixels > 16 && backdropLuminance > 120 && v.faceLuminance < limits.backlitRatio * backdropLuminance)
            add(PhotoProblem::Backlit, QStringLiteral("逆光：脸部比背景暗得多，请在正面补光或调换拍摄方向"));
        else if (v.faceLuminance < limits.minFaceLuminance)
            add(PhotoProblem::TooDark, QStringLiteral("脸部太暗：请增加正面光线"));
        else if (v.faceLuminance > limits.maxFaceLuminance || clippedShare > limits.maxClipped)
            add(PhotoProblem::TooBright, QStringLiteral("脸部过亮或过曝：请减弱光线或降低曝光"));
    }

    v.sharpness = sharpnessOf(photo, face);
    if (v.sharpness < limits.minSharpness)
        add(PhotoProblem::Blurred, QStringLiteral("照片模糊：请对焦并保持不动"));
    const double sourceHeight = input.sourceHeight > 0 ? input.sourceHeight : photo.height();
    v.enlargement = target.height() / sourceHeight;
    if (v.enlargement > limits.maxEnlargement)
        add(PhotoProblem::LowResolution,
            QStringLiteral("原图分辨率不足（需放大%1倍）：请靠近镜头或使用更高分辨率的照片")
                .arg(v.enlargement, 0, 'f', 1));

    // Where the head sits, by the norm.
    const double height = photo.height();
    const double tolerance = limits.bandTolerance;
    const double share = head.headHeight() / height;
    if (norm.headMax > 0 && share < norm.headMin - tolerance)
        add(PhotoProblem::HeadTooSmall, QStringLiteral("头部太小（占%1，应为%2–%3）：请靠近镜头或缩小取景框")
                                            .arg(percent(share), percent(norm.headMin), percent(norm.headMax)));
    else if (norm.headMax > 0 && share > norm.headMax + tolerance)
        add(PhotoProblem::HeadTooLarge, QStringLiteral("人脸过大/离镜头太近（头部占%1，应为%2–%3）：请后退或放大取景框")
                                            .arg(percent(share), percent(norm.headMin), percent(norm.headMax)));
    const double eyeLine = head.eyes.y() / height;
    if (norm.eyeLineMax > 0 && (eyeLine < norm.eyeLineMin - tolerance || eyeLine > norm.eyeLineMax + tolerance))
        add(PhotoProblem::EyeLineOff,
            QStringLiteral("眼睛位置%1（距顶%2，应为%3–%4）：请%5移取景框")
                .arg(eyeLine < norm.eyeLineMin ? QStringLiteral("偏高") : QStringLiteral("偏低"), percent(eyeLine),
                     percent(norm.eyeLineMin), percent(norm.eyeLineMax),
                     eyeLine < norm.eyeLineMin ? QStringLiteral("上") : QStringLiteral("下")));
    const double top = head.toPicture().map(QPointF(head.across, -head.crown)).y() / height;
    if (norm.topMarginMax > 0 && (top < norm.topMarginMin - tolerance || top > norm.topMarginMax + tolerance))
        add(PhotoProblem::TopMarginOff,
            QStringLiteral("头顶留白%1（%2，应为%3–%4）：请%5移取景框")
                .arg(top < norm.topMarginMin ? QStringLiteral("不足") : QStringLiteral("过多"), percent(top),
                     percent(norm.topMarginMin), percent(norm.topMarginMax),
                     top < norm.topMarginMin ? QStringLiteral("上") : QStringLiteral("下")));
    const double faceWidth = head.faceWidth / photo.width();
    if (norm.faceWidthMax > 0 &&
        (faceWidth < norm.faceWidthMin - tolerance || faceWidth > norm.faceWidthMax + tolerance))
        add(PhotoProblem::FaceWidthOff,
            QStringLiteral("脸宽占%1，应为%2–%3：请调整取景框大小")
                .arg(percent(faceWidth), percent(norm.faceWidthMin), percent(norm.faceWidthMax)));
    const double across = head.toPicture().map(QPointF(head.across, 0)).x();
    if (std::abs(across - photo.width() / 2.0) > limits.maxOffCentre * photo.width())
        add(PhotoProblem::OffCentre, QStringLiteral("人脸不居中：请左右调整取景框"));

    // A plain backdrop: few strong edges and one colour.
    if (backdropPixels > 200) {
        cv::Mat soft;
        cv::GaussianBlur(grey, soft, cv::Size(0, 0), 0.8);
        cv::Mat gx;
        cv::Mat gy;
        cv::Sobel(soft, gx, CV_32F, 1, 0, 3, 0.25);
        cv::Sobel(soft, gy, CV_32F, 0, 1, 3, 0.25);
        cv::Mat magnitude;
        cv::magnitude(gx, gy, magnitude);
        cv::Mat strong;
        cv::threshold(magnitude, strong, 24, 255, cv::THRESH_BINARY);
        strong.convertTo(strong, CV_8UC1);
        cv::bitwise_and(strong, backdropMask, strong);
        const double edges = double(cv::countNonZero(strong)) / backdropPixels;
        if (edges > limits.maxBusyBackground)
            add(PhotoProblem::BusyBackground, QStringLiteral("背景不纯：请在纯色背景前拍摄"));
    }
    return v;
}
