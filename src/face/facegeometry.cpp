#include "facegeometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double length(QPointF p)
{
    return std::hypot(p.x(), p.y());
}

QPointF meanOf(const Face& face, int from, int to)
{
    QPointF sum;
    for (int i = from; i <= to; ++i)
        sum += face.point(i);
    return sum / (to - from + 1);
}

// Unit vectors along the eye line and square to it (towards the chin).
std::pair<QPointF, QPointF> axesOf(const Face& face)
{
    QPointF across = face.rightEye() - face.leftEye();
    const double l = length(across);
    across = l > 0 ? across / l : QPointF(1, 0);
    return {across, QPointF(-across.y(), across.x())};
}

double dot(QPointF a, QPointF b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// Crown above the eye line per eye-to-chin distance, measured on frontal
// portraits with short hair against a plain backdrop.
constexpr double crownPerEyeToChin = 1.12;

struct Rgb {
    int r = 0, g = 0, b = 0;
};

int distance(Rgb a, Rgb b)
{
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

}  // namespace

QPointF Face::leftEye() const
{
    return meanOf(*this, 36, 41);
}

QPointF Face::rightEye() const
{
    return meanOf(*this, 42, 47);
}

double Face::rollDegrees() const
{
    const QPointF d = rightEye() - leftEye();
    return qRadiansToDegrees(std::atan2(d.y(), d.x()));
}

double Face::width() const
{
    return std::abs(dot(point(16) - point(0), axesOf(*this).first));
}

double Face::eyeToChin() const
{
    return dot(chin() - eyeMid(), axesOf(*this).second);
}

double Face::noseBetweenCheeks() const
{
    const QPointF across = axesOf(*this).first;
    const double span = dot(point(16) - point(0), across);
    if (std::abs(span) < 1e-6)
        return 0.5;
    return dot(point(30) - point(0), across) / span;
}

double Face::eyeOpening() const
{
    auto opening = [this](int first) {
        const double wide = length(point(first + 3) - point(first));
        if (wide < 1e-6)
            return 0.0;
        return (length(point(first + 1) - point(first + 5)) + length(point(first + 2) - point(first + 4))) / (2 * wide);
    };
    return (opening(36) + opening(42)) / 2;
}

double Face::mouthOpening() const
{
    const double wide = length(point(64) - point(60));
    if (wide < 1e-6)
        return 0;
    return (length(point(61) - point(67)) + length(point(62) - point(66)) + length(point(63) - point(65))) / (3 * wide);
}

QPointF Face::estimatedCrown() const
{
    return eyeMid() - axesOf(*this).second * (crownPerEyeToChin * eyeToChin());
}

QTransform HeadMeasure::toPicture() const
{
    QTransform t;
    t.translate(eyes.x(), eyes.y());
    t.rotate(roll);
    return t;
}

HeadMeasure HeadMeasure::mapped(const QTransform& pictureToPhoto) const
{
    HeadMeasure m = *this;
    const QPointF o = pictureToPhoto.map(QPointF(0, 0));
    const double scale = length(pictureToPhoto.map(QPointF(1, 0)) - o);
    const QTransform head = toPicture();
    m.eyes = pictureToPhoto.map(eyes);
    const QPointF eyeLine = pictureToPhoto.map(head.map(QPointF(1, 0))) - m.eyes;
    m.roll = qRadiansToDegrees(std::atan2(eyeLine.y(), eyeLine.x()));
    m.across = this->across * scale;
    m.crown = crown * scale;
    m.chin = chin * scale;
    m.faceWidth = faceWidth * scale;
    return m;
}

Face mappedFace(const Face& face, const QTransform& pictureToPhoto)
{
    Face out = face;
    for (QPointF& p : out.points)
        p = pictureToPhoto.map(p);
    out.box = pictureToPhoto.mapRect(face.box);
    return out;
}

HeadMeasure measureHead(const QImage& picture, const Face& face)
{
    HeadMeasure m;
    const auto [across, down] = axesOf(face);
    m.eyes = face.eyeMid();
    m.roll = face.rollDegrees();
    // The face's middle: halfway between the eyes' middle and the cheeks'
    // (the jaw's outline alone wanders with hair and shadow).
    m.across = 0.5 * dot((face.point(0) + face.point(16)) / 2 - m.eyes, across);
    m.chin = face.eyeToChin();
    m.faceWidth = face.width();
    const double estimate = crownPerEyeToChin * m.chin;
    m.crown = estimate;
    if (picture.isNull() || m.chin < 4 || m.faceWidth < 4)
        return m;

    const QImage rgb = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    auto sample = [&](double s, double t, Rgb* out) {
        // s across from the face's middle, t above the eye line.
        const QPointF p = m.eyes + across * (m.across + s) - down * t;
        const int x = int(std::lround(p.x()));
        const int y = int(std::lround(p.y()));
        if (x < 0 || y < 0 || x >= rgb.width() || y >= rgb.height())
            return false;
        const QRgb c = reinterpret_cast<const QRgb*>(rgb.constScanLine(y))[x];
        *out = {qRed(c), qGreen(c), qBlue(c)};
        return true;
    };

    // The backdrop: above the head and beside its upper half.
    const double w = m.faceWidth;
    const double step = std::max(1.0, w / 40);
    std::vector<Rgb> backdrop;
    for (double t = estimate * 1.45; t <= estimate * 1.75; t += step)
        for (double s = -0.7 * w; s <= 0.7 * w; s += step)
            if (Rgb c; sample(s, t, &c))
                backdrop.push_back(c);
    for (double t = estimate * 0.55; t <= estimate * 1.2; t += step)
        for (double s = 0.95 * w; s <= 1.2 * w; s += step)
            for (double side : {-1.0, 1.0})
                if (Rgb c; sample(side * s, t, &c))
                    backdrop.push_back(c);
    if (backdrop.size() < 30)
        return m;
    auto median = [&backdrop](int Rgb::*channel) {
        std::vector<int> v;
        v.reserve(backdrop.size());
        for (const Rgb& c : backdrop)
            v.push_back(c.*channel);
        std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const Rgb plain{median(&Rgb::r), median(&Rgb::g), median(&Rgb::b)};
    std::vector<int> spread;
    for (const Rgb& c : backdrop)
        spread.push_back(distance(c, plain));
    std::nth_element(spread.begin(), spread.begin() + long(spread.size() * 9 / 10), spread.end());
    const int spread90 = spread[spread.size() * 9 / 10];
    if (spread90 > 28)
        return m;  // not plain: the estimate stands
    const int differs = std::max(24, spread90 * 2 + 10);

    // From above the head down: the first rows where much of the strip over
    // the face is not backdrop are the hair.
    int inRow = 0;
    for (double t = estimate * 1.5; t >= estimate * 0.75; t -= 1.0) {
        int total = 0;
        int hair = 0;
        for (double s = -0.3 * w; s <= 0.3 * w; s += step) {
            Rgb c;
            if (!sample(s, t, &c))
                continue;
            ++total;
            hair += distance(c, plain) > differs ? 1 : 0;
        }
        if (total < 5)
            continue;
        inRow = hair * 4 > total ? inRow + 1 : 0;
        if (inRow == 3) {
            // Hair much higher or lower than a head's proportions allow is
            // something else against the backdrop.
            if (t + 2.0 > estimate * 1.25 || t + 2.0 < estimate * 0.8)
                return m;
            m.crown = t + 2.0;
            m.crownMeasured = true;
            return m;
        }
    }
    return m;
}
