#include "backdrop.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc/edge_filter.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// The photo's pixels as BGR bytes (RGB32 lies in memory as B, G, R, A).
cv::Mat bgrOf(const QImage& photo)
{
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    const cv::Mat view(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(view, bgr, cv::COLOR_BGRA2BGR);
    return bgr;
}

QImage imageOf(const cv::Mat& bgr)
{
    QImage out(bgr.cols, bgr.rows, QImage::Format_RGB32);
    cv::Mat view(out.height(), out.width(), CV_8UC4, out.bits(), size_t(out.bytesPerLine()));
    cv::cvtColor(bgr, view, cv::COLOR_BGR2BGRA);
    return out;
}

// A grey picture as a view of its bytes, or a copy of them.
cv::Mat greyView(const QImage& grey)
{
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                   size_t(grey.bytesPerLine()));
}

QImage greyImageOf(const cv::Mat& grey)
{
    QImage out(grey.cols, grey.rows, QImage::Format_Grayscale8);
    grey.copyTo(cv::Mat(out.height(), out.width(), CV_8UC1, out.bits(), size_t(out.bytesPerLine())));
    return out;
}

// The mean colour near each pixel of the pixels weight picks (0..1): a
// Gaussian blur of the weighted colours over one of the weights, so a colour
// is carried over into the pixels weight leaves out. Also gives the blurred
// weight, which tells how much was near.
std::pair<cv::Mat, cv::Mat> weightedMean(const cv::Mat& colour, const cv::Mat& weight, double sigma)
{
    cv::Mat weight3;
    cv::merge(std::vector<cv::Mat>{weight, weight, weight}, weight3);
    cv::Mat sum = colour.mul(weight3);
    cv::GaussianBlur(sum, sum, cv::Size(), sigma);
    cv::GaussianBlur(weight3, weight3, cv::Size(), sigma);
    cv::Mat mean;
    cv::divide(sum, weight3 + cv::Scalar::all(1e-4), mean);
    return {mean, weight3};
}

// The sitter's shape as the landmarks give it, in working coordinates.
struct SitterShape {
    std::vector<cv::Point> face;  // jaw and brows
    cv::Point2f chin;
    cv::Point2f crown;
    float faceWidth = 0;
    float faceHeight = 0;  // crown to chin
    float centreX = 0;
};

SitterShape shapeOf(const Face& sitter, double scale)
{
    auto at = [scale](QPointF p) { return cv::Point2f(float(p.x() * scale), float(p.y() * scale)); };
    SitterShape s;
    for (int i = 0; i <= 16; ++i)
        s.face.emplace_back(at(sitter.point(i)));
    for (int i = 26; i >= 17; --i)
        s.face.emplace_back(at(sitter.point(i)));
    s.chin = at(sitter.chin());
    s.crown = at(sitter.estimatedCrown());
    s.faceWidth = float(sitter.width() * scale);
    s.faceHeight = std::max(1.0f, s.chin.y - s.crown.y);
    s.centreX = (at(sitter.point(0)).x + at(sitter.point(16)).x) / 2;
    return s;
}

// The border the backdrop is learnt from: the top strip, and the sides down
// to a little below the chin (lower down the shoulders may reach the edge),
// less the head's reach.
cv::Mat borderOf(cv::Size size, const SitterShape& shape)
{
    cv::Mat band = cv::Mat::zeros(size, CV_8UC1);
    const int width = std::max(2, int(std::lround(0.035 * std::min(size.width, size.height))));
    const int sidesTo = std::clamp(int(shape.chin.y + 0.2f * shape.faceHeight), width * 2, size.height);
    band(cv::Rect(0, 0, size.width, width)).setTo(1);
    band(cv::Rect(0, 0, width, sidesTo)).setTo(1);
    band(cv::Rect(size.width - width, 0, width, sidesTo)).setTo(1);
    // A frame set tight cuts through the hair: where the head may be, the
    // border says nothing of the backdrop.
    const cv::Point headCentre(int(shape.centreX), int((shape.crown.y + shape.chin.y) / 2));
    const cv::Size headReach(int(shape.faceWidth * 0.68f), int(shape.faceHeight * 0.62f));
    cv::ellipse(band, headCentre, headReach, 0, 0, 360, cv::Scalar(0), cv::FILLED);
    return band;
}

// The backdrop's colours: a few Lab centres learnt from the border, so a
// two-tone wall or a gradient is still one backdrop.
struct BackdropModel {
    std::vector<cv::Vec3f> centres;

    float distance(const cv::Vec3f& lab) const
    {
        float best = 1e9f;
        for (const cv::Vec3f& c : centres)
            best = std::min(best, float(cv::norm(lab - c)));
        return best;
    }
};

BackdropModel learnBackdrop(const cv::Mat& lab, const cv::Mat& band)
{
    std::vector<cv::Vec3f> samples;
    for (int y = 0; y < lab.rows; ++y)
        for (int x = 0; x < lab.cols; ++x)
            if (band.at<uchar>(y, x))
                samples.push_back(lab.at<cv::Vec3f>(y, x));
    BackdropModel model;
    const int clusters = std::min<int>(3, int(samples.size()));
    if (clusters == 0)
        return model;
    cv::Mat data(int(samples.size()), 3, CV_32F, samples.data());
    cv::Mat labels;
    cv::Mat centres;
    cv::setRNGSeed(7);  // the same photo gives the same matte
    cv::kmeans(data, clusters, labels, cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 20, 0.5), 2,
               cv::KMEANS_PP_CENTERS, centres);
    for (int k = 0; k < centres.rows; ++k)
        model.centres.emplace_back(centres.at<float>(k, 0), centres.at<float>(k, 1), centres.at<float>(k, 2));
    return model;
}

double percentile(std::vector<float> values, double share)
{
    if (values.empty())
        return 0;
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
    return values[at];
}

// Share of the band on strong edges of the lightness (in Lab L units per pixel
// of the working picture: a stripe's edge, not a cloth's weave).
double edgeShareOf(const cv::Mat& lab, const cv::Mat& band)
{
    cv::Mat lightness;
    cv::extractChannel(lab, lightness, 0);
    cv::Mat gx;
    cv::Mat gy;
    cv::Sobel(lightness, gx, CV_32F, 1, 0, 3, 1.0 / 8);
    cv::Sobel(lightness, gy, CV_32F, 0, 1, 3, 1.0 / 8);
    cv::Mat magnitude;
    cv::magnitude(gx, gy, magnitude);
    int inBand = 0;
    int strong = 0;
    for (int y = 0; y < band.rows; ++y)
        for (int x = 0; x < band.cols; ++x)
            if (band.at<uchar>(y, x)) {
                ++inBand;
                if (magnitude.at<float>(y, x) > 6.0f)
                    ++strong;
            }
    return inBand ? double(strong) / inBand : 0;
}

// The seeds of the graph cut: the border's backdrop-coloured pixels are
// backdrop for certain; face, neck and the middle of the chest are the
// sitter's; the head's outline is probably the sitter's; the rest goes by
// its distance from the backdrop's colours.
cv::Mat seedsOf(const cv::Mat& distance, const cv::Mat& band, float keyDistance, const SitterShape& shape)
{
    const cv::Size size = distance.size();
    cv::Mat mask(size, CV_8UC1);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const bool backdropColoured = distance.at<float>(y, x) < keyDistance;
            uchar label = backdropColoured ? cv::GC_PR_BGD : cv::GC_PR_FGD;
            if (band.at<uchar>(y, x) && backdropColoured)
                label = cv::GC_BGD;
            mask.at<uchar>(y, x) = label;
        }
    const cv::Rect whole(cv::Point(0, 0), size);
    // The head: an ellipse from the crown to the chin, probably the sitter.
    const cv::Point2f headCentre(shape.centreX, (shape.crown.y + shape.chin.y) / 2);
    const cv::Size headAxes(int(shape.faceWidth * 0.52f), int(shape.faceHeight * 0.5f));
    cv::Mat head = cv::Mat::zeros(size, CV_8UC1);
    cv::ellipse(head, cv::Point(headCentre), headAxes, 0, 0, 360, cv::Scalar(1), cv::FILLED);
    mask.setTo(cv::GC_PR_FGD, head & (mask != cv::GC_BGD));
    // The face, the neck and the middle of the chest: the sitter for certain.
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{shape.face}, cv::Scalar(cv::GC_FGD));
    const int neckHalf = int(shape.faceWidth * 0.22f);
    const cv::Rect neck =
        cv::Rect(int(shape.centreX) - neckHalf, int(shape.chin.y), neckHalf * 2, int(shape.faceHeight * 0.3f)) & whole;
    mask(neck).setTo(cv::GC_FGD);
    const int chestTop = int(shape.chin.y + shape.faceHeight * 0.55f);
    const int chestHalf = int(shape.faceWidth * 0.6f);
    const cv::Rect chest =
        cv::Rect(int(shape.centreX) - chestHalf, chestTop, chestHalf * 2, std::max(0, size.height - chestTop)) & whole;
    mask(chest).setTo(cv::GC_FGD);
    return mask;
}

// The sitter's part of the cut: the pieces joined to the face, and those
// that reach the bottom edge (the body goes on below the photo); specks of
// the backdrop's colours elsewhere are not the sitter.
cv::Mat sitterPieces(const cv::Mat& foreground, const SitterShape& shape)
{
    cv::Mat labels;
    const int count = cv::connectedComponents(foreground, labels, 8, CV_32S);
    std::vector<bool> keep(size_t(count), false);
    const cv::Rect whole(cv::Point(0, 0), foreground.size());
    auto keepAt = [&](cv::Point p) {
        if (whole.contains(p) && foreground.at<uchar>(p))
            keep[size_t(labels.at<int>(p))] = true;
    };
    for (const cv::Point& p : shape.face)
        keepAt(p);
    keepAt(cv::Point(int(shape.centreX), int(shape.chin.y) - 2));
    for (int x = 0; x < foreground.cols; ++x)
        keepAt(cv::Point(x, foreground.rows - 1));
    cv::Mat kept = cv::Mat::zeros(foreground.size(), CV_8UC1);
    for (int y = 0; y < labels.rows; ++y)
        for (int x = 0; x < labels.cols; ++x)
            if (keep[size_t(labels.at<int>(y, x))])
                kept.at<uchar>(y, x) = 1;
    return kept;
}

// The matte at the photo's resolution: sure inside and outside the coarse
// cut's outline, and along it each pixel's share between the sitter's colour
// and the backdrop's nearby (a strand of hair over the backdrop is partly
// both), smoothed along the photo's own edges.
cv::Mat refinedAlpha(const cv::Mat& full, const cv::Mat& coarse)
{
    cv::Mat up;
    cv::resize(coarse * 255, up, full.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat hard = up > 127;
    const int r = std::max(2, int(std::lround(full.rows * 0.01)));
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * r + 1, 2 * r + 1));
    cv::Mat inside;
    cv::Mat reach;
    cv::erode(hard, inside, disc);
    cv::dilate(hard, reach, disc);
    cv::Mat colour;
    full.convertTo(colour, CV_32FC3);
    // The colours nearby of the sure sitter and the sure backdrop.
    auto nearby = [&colour, r](const cv::Mat& sure) {
        cv::Mat weight;
        sure.convertTo(weight, CV_32F, 1.0 / 255);
        return weightedMean(colour, weight, 2.5 * r);
    };
    const auto [sitterColour, sitterWeight] = nearby(inside);
    const cv::Mat outside = reach == 0;
    const auto [backdropColour, backdropWeight] = nearby(outside);
    cv::Mat alpha(full.size(), CV_32F);
    for (int y = 0; y < full.rows; ++y) {
        const uchar* in = inside.ptr<uchar>(y);
        const uchar* near = reach.ptr<uchar>(y);
        const auto* c = colour.ptr<cv::Vec3f>(y);
        const auto* f = sitterColour.ptr<cv::Vec3f>(y);
        const auto* b = backdropColour.ptr<cv::Vec3f>(y);
        const auto* fw = sitterWeight.ptr<cv::Vec3f>(y);
        const auto* bw = backdropWeight.ptr<cv::Vec3f>(y);
        const uchar* h = hard.ptr<uchar>(y);
        float* a = alpha.ptr<float>(y);
        for (int x = 0; x < full.cols; ++x) {
            if (in[x] || !near[x]) {
                a[x] = in[x] ? 1.0f : 0.0f;
                continue;
            }
            const cv::Vec3f fb = f[x] - b[x];
            const float span = fb.dot(fb);
            // Without both colours nearby, or with colours too alike to
            // tell apart, the coarse cut decides.
            if (fw[x][0] < 0.01f || bw[x][0] < 0.01f || span < 30.0f * 30.0f) {
                a[x] = h[x] ? 1.0f : 0.0f;
                continue;
            }
            a[x] = std::clamp((c[x] - b[x]).dot(fb) / span, 0.0f, 1.0f);
        }
    }
    cv::Mat guide;
    full.convertTo(guide, CV_32FC3, 1.0 / 255);
    cv::ximgproc::guidedFilter(guide, alpha, alpha, 2, 1e-4);
    return alpha;
}

// The matte of the photo's BGR pixels (alpha as bytes, empty when refused).
std::pair<BackdropMatte, cv::Mat> matteOf(const cv::Mat& full, const Face& sitter, const BackdropLimits& limits)
{
    BackdropMatte matte;
    if (full.empty()) {
        matte.refusal = QStringLiteral("没有照片");
        return {matte, {}};
    }
    const double scale = std::min(1.0, double(limits.workingHeight) / full.rows);
    cv::Mat small;
    cv::resize(full, small, cv::Size(), scale, scale, cv::INTER_AREA);
    if (small.cols < 16 || small.rows < 16) {
        matte.refusal = QStringLiteral("照片太小，无法更换背景");
        return {matte, {}};
    }
    cv::Mat lab;
    small.convertTo(lab, CV_32FC3, 1.0 / 255);
    cv::cvtColor(lab, lab, cv::COLOR_BGR2Lab);

    const SitterShape shape = shapeOf(sitter, scale);
    const cv::Mat band = borderOf(small.size(), shape);
    const BackdropModel model = learnBackdrop(lab, band);
    cv::Mat distance(small.size(), CV_32F);
    std::vector<float> bandDistances;
    for (int y = 0; y < lab.rows; ++y)
        for (int x = 0; x < lab.cols; ++x) {
            const float d = model.distance(lab.at<cv::Vec3f>(y, x));
            distance.at<float>(y, x) = d;
            if (band.at<uchar>(y, x))
                bandDistances.push_back(d);
        }
    matte.spread = percentile(bandDistances, 0.9);
    matte.edgeShare = edgeShareOf(lab, band);
    if (matte.spread > limits.maxSpread || matte.edgeShare > limits.maxEdgeShare) {
        matte.refusal = busyBackdropMessage();
        return {matte, {}};
    }
    // The key: clearly further from the backdrop than its own spread.
    const float keyDistance = float(std::clamp(2.0 * matte.spread, 8.0, 30.0));

    cv::Mat mask = seedsOf(distance, band, keyDistance, shape);
    const int certainBackdrop = cv::countNonZero(mask == cv::GC_BGD);
    const int certainSitter = cv::countNonZero(mask == cv::GC_FGD);
    if (certainBackdrop < std::max(50, int(bandDistances.size()) / 4) || certainSitter == 0) {
        matte.claimed = 1;
        matte.refusal = busyBackdropMessage();
        return {matte, {}};
    }
    try {
        cv::Mat backdropModel;
        cv::Mat sitterModel;
        cv::grabCut(small, mask, cv::Rect(), backdropModel, sitterModel, 3, cv::GC_INIT_WITH_MASK);
    } catch (const cv::Exception&) {
        matte.refusal = busyBackdropMessage();
        return {matte, {}};
    }
    const cv::Mat foreground = sitterPieces((mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD), shape);
    int bandClaimed = 0;
    for (int y = 0; y < band.rows; ++y)
        for (int x = 0; x < band.cols; ++x)
            if (band.at<uchar>(y, x) && foreground.at<uchar>(y, x))
                ++bandClaimed;
    matte.claimed = bandDistances.empty() ? 1 : double(bandClaimed) / double(bandDistances.size());
    if (matte.claimed > limits.maxClaimed) {
        matte.refusal = busyBackdropMessage();
        return {matte, {}};
    }
    // Back to the photo's resolution along its own edges: hair stays soft.
    cv::Mat alpha8;
    refinedAlpha(full, foreground).convertTo(alpha8, CV_8U, 255);
    return {matte, alpha8};
}

// The BGR pixels of full on colour where alpha (bytes) leaves them.
QImage composed(const cv::Mat& full, const cv::Mat& a, const QColor& colour)
{
    // Where the backdrop was: its colour behind each edge pixel, spread from
    // the pixels that are backdrop for certain (a gradient or a two-tone wall
    // is followed), worked out on a small copy.
    const double scale = std::min(1.0, 160.0 / full.rows);
    cv::Mat small;
    cv::Mat smallAlpha;
    cv::resize(full, small, cv::Size(), scale, scale, cv::INTER_AREA);
    cv::resize(a, smallAlpha, small.size(), 0, 0, cv::INTER_AREA);
    cv::Mat weight;
    cv::threshold(smallAlpha, weight, 8, 1.0, cv::THRESH_BINARY_INV);
    weight.convertTo(weight, CV_32F);
    cv::erode(weight, weight, cv::Mat());
    cv::Mat smallF;
    small.convertTo(smallF, CV_32FC3);
    cv::Mat backdrop = weightedMean(smallF, weight, std::max(2.0, small.cols * 0.06)).first;
    cv::resize(backdrop, backdrop, full.size(), 0, 0, cv::INTER_LINEAR);

    const cv::Vec3f wanted(float(colour.blue()), float(colour.green()), float(colour.red()));
    cv::Mat out(full.size(), CV_8UC3);
    for (int y = 0; y < full.rows; ++y) {
        const auto* pixel = full.ptr<cv::Vec3b>(y);
        const auto* behind = backdrop.ptr<cv::Vec3f>(y);
        const uchar* share = a.ptr<uchar>(y);
        auto* result = out.ptr<cv::Vec3b>(y);
        for (int x = 0; x < full.cols; ++x) {
            // A faint halo is backdrop, a near-solid pixel the sitter's.
            const float sitter = std::clamp((share[x] / 255.0f - 0.04f) / 0.92f, 0.0f, 1.0f);
            if (sitter <= 0) {
                result[x] = cv::Vec3b(uchar(wanted[0] + 0.5f), uchar(wanted[1] + 0.5f), uchar(wanted[2] + 0.5f));
                continue;
            }
            // The pixel less the old backdrop's share, plus the new one's.
            for (int c = 0; c < 3; ++c) {
                const float v = pixel[x][c] + (1 - sitter) * (wanted[c] - behind[x][c]);
                result[x][c] = cv::saturate_cast<uchar>(v);
            }
        }
    }
    return imageOf(out);
}

}  // namespace

QString busyBackdropMessage()
{
    return QStringLiteral("背景太杂，无法更换，请使用纯色背景布");
}

BackdropMatte matteSitter(const QImage& photo, const Face& sitter, const BackdropLimits& limits)
{
    auto [matte, alpha] = matteOf(photo.isNull() ? cv::Mat() : bgrOf(photo), sitter, limits);
    if (!alpha.empty())
        matte.alpha = greyImageOf(alpha);
    return matte;
}

QImage composeOver(const QImage& photo, const QImage& alpha, const QColor& colour)
{
    return composed(bgrOf(photo), greyView(alpha.convertToFormat(QImage::Format_Grayscale8)).clone(), colour);
}

Result<QImage> replaceBackdrop(const QImage& photo, const Face& sitter, const QColor& colour,
                               const BackdropLimits& limits)
{
    const cv::Mat full = photo.isNull() ? cv::Mat() : bgrOf(photo);
    const auto [matte, alpha] = matteOf(full, sitter, limits);
    if (!matte.ok())
        return failure(matte.refusal);
    return composed(full, alpha, colour);
}

Result<QImage> replaceBackdrop(const QImage& photo, const QList<Face>& faces, const QColor& colour)
{
    if (faces.isEmpty())
        return failure(QStringLiteral("未检测到人脸，无法更换背景"));
    return replaceBackdrop(photo, faces.constFirst(), colour);
}

Result<QImage> replaceSitterBackdrop(const QImage& photo, const QColor& colour)
{
    thread_local std::unique_ptr<FaceDetector> detector;
    if (!detector) {
        auto created = FaceDetector::create();
        if (!created)
            return failure(created.error());
        detector = std::move(created).value();
    }
    return replaceBackdrop(photo, detector->find(photo, FaceSearch::inPhoto()), colour);
}
