#include "autoframing.h"
#include "facedetector.h"
#include "faceset.h"
#include "faceworker.h"
#include "idframing.h"
#include "photochecks.h"
#include "sizelimit.h"

#include <QtTest>

using namespace facepictures;

namespace {

QString problemsOf(const PhotoVerdict& v)
{
    QStringList names;
    for (PhotoProblem p : v.problems)
        names << problemText(p);
    return names.join(QLatin1Char(',')) +
           QStringLiteral(" (sharpness %1, face %2)").arg(v.sharpness).arg(v.faceLuminance);
}

}  // namespace

class FaceTest : public QObject {
    Q_OBJECT
    std::unique_ptr<FaceDetector> detector_;
    Face portraitFace_;
    PhotoFrame portraitFrame_;  // the norm's frame around the portrait's head

    // The head measured again in a photo: share, eye line and top margin.
    struct Placed {
        double head = 0, eyes = 0, top = 0, roll = 0, across = 0;
    };
    std::optional<Placed> placedIn(const QImage& photo)
    {
        const QList<Face> faces = detector_->find(photo);
        if (faces.isEmpty())
            return std::nullopt;
        const HeadMeasure h = measureHead(photo, faces.first());
        const double height = photo.height();
        return Placed{h.headHeight() / height, h.eyes.y() / height, (h.eyes.y() - h.crown) / height, h.roll,
                      h.toPicture().map(QPointF(h.across, 0)).x() / photo.width()};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(available(), "tests/data/pictures/portrait.png is missing");
        auto made = FaceDetector::create();
        QVERIFY2(made.ok(), qPrintable(made.error()));
        detector_ = std::move(made).value();
        const QList<Face> faces = detector_->find(portrait());
        QCOMPARE(faces.size(), 1);
        portraitFace_ = faces.first();
        const auto frame = frameByNorm(measureHead(portrait(), portraitFace_), FramingNorm::registry(),
                                       QSizeF(151, 201), QSizeF(portrait().size()));
        QVERIFY2(frame.ok(), qPrintable(frame.error()));
        portraitFrame_ = *frame;
    }

    // Faces where the portrait's went, the sitter first; none on walls, text
    // and cards, whose boxes from the cascade fit no face's landmarks.
    void facesAreFoundWhereTheyAreAndNowhereElse_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QList<QPointF>>("eyes");
        using faceset::Placement;
        auto placed = [](Placement p) { return faceset::place(p); };
        QTest::newRow("portrait") << portrait() << QList<QPointF>{faceset::portraitEyes()};
        const faceset::Sample wide = placed(Placement{{1280, 720}, 0.3, {0.7, 0.4}});
        QTest::newRow("1280x720, head 30%") << wide.picture << QList<QPointF>{wide.eyes};
        Placement far{{1920, 1080}, 0.1, {0.3, 0.5}};
        far.angle = 5;
        far.noise = 5;
        far.backdrop = faceset::Backdrop::Bricks;
        const faceset::Sample small = placed(far);
        QTest::newRow("1920x1080, head 10%, turned, bricks") << small.picture << QList<QPointF>{small.eyes};
        Placement leaning{{1280, 960}, 0.4, {0.5, 0.4}};
        leaning.angle = 20;
        const faceset::Sample twenty = placed(leaning);
        QTest::newRow("leaning 20 degrees") << twenty.picture << QList<QPointF>{twenty.eyes};
        // The sitter in the middle comes first, before a larger face at the side.
        {
            QImage two(1600, 900, QImage::Format_RGB32);
            two.fill(Qt::gray);
            QPainter p(&two);
            p.drawImage(QRectF(575, 200, 450, 450), portrait());
            p.drawImage(QRectF(1050, 50, 540, 540), mirrored());
            p.end();
            const QPointF first = QPointF(575, 200) + faceset::portraitEyes() * (450.0 / 512);
            const QPointF second = QPointF(1050 + (512 - 225) * 540.0 / 512, 50 + 103 * 540.0 / 512);
            QTest::newRow("sitter in the middle, a larger face beside") << two << QList<QPointF>{first, second};
        }
        QTest::newRow("brick wall") << faceset::brickWall(QSize(1280, 720)) << QList<QPointF>{};
        QTest::newRow("sudoku") << QImage(QStringLiteral(STATION_TEST_DATA "/pictures/sudoku.jpg")) << QList<QPointF>{};
        QTest::newRow("cards") << QImage(QStringLiteral(STATION_TEST_DATA "/pictures/cards.png")) << QList<QPointF>{};
        QTest::newRow("suit and flag") << withoutFace() << QList<QPointF>{};
        QTest::newRow("no picture") << QImage() << QList<QPointF>{};
    }
    void facesAreFoundWhereTheyAreAndNowhereElse()
    {
        QFETCH(QImage, picture);
        QFETCH(QList<QPointF>, eyes);
        if (!eyes.isEmpty() || !picture.isNull())
            QVERIFY(!picture.isNull());
        const QList<Face> faces = detector_->find(picture);
        QCOMPARE(faces.size(), eyes.size());
        for (int i = 0; i < faces.size(); ++i) {
            const QPointF d = faces[i].eyeMid() - eyes[i];
            QVERIFY2(std::hypot(d.x(), d.y()) < faces[i].eyeToChin() * 0.15,
                     qPrintable(QStringLiteral("face %1 eyes at %2,%3")
                                    .arg(i)
                                    .arg(faces[i].eyeMid().x())
                                    .arg(faces[i].eyeMid().y())));
        }
    }

    // The photo cut by the norm holds the head as the norm wants it, at any
    // place and size in the picture, levelled when it leans.
    void framingPutsTheHeadWhereTheNormWantsIt_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<bool>("card");  // the identity card's norm, else the registry's
        QTest::newRow("portrait") << portrait() << false;
        QTest::newRow("portrait, identity card") << portrait() << true;
        QTest::newRow("1920x1080, head 30% at the left")
            << faceset::place({{1920, 1080}, 0.3, {0.25, 0.45}}).picture << false;
        faceset::Placement leaning{{1280, 960}, 0.3, {0.5, 0.4}};
        leaning.angle = -7;
        QTest::newRow("leaning 7 degrees") << faceset::place(leaning).picture << false;
    }
    void framingPutsTheHeadWhereTheNormWantsIt()
    {
        QFETCH(QImage, picture);
        QFETCH(bool, card);
        const FramingNorm norm = card ? FramingNorm::identityCard() : FramingNorm::registry();
        const QSize target = card ? QSize(358, 441) : QSize(151, 201);
        const QList<Face> faces = detector_->find(picture);
        QVERIFY(!faces.isEmpty());
        const auto frame =
            frameByNorm(measureHead(picture, faces.first()), norm, QSizeF(target), QSizeF(picture.size()));
        QVERIFY2(frame.ok(), qPrintable(frame.error()));
        const QImage photo = cutPhoto(picture, *frame, target * 2);
        QCOMPARE(photo.size(), target * 2);
        const std::optional<Placed> placed = placedIn(photo);
        QVERIFY(placed);
        const double slack = 0.025;
        const QString seen = QStringLiteral("head %1 eyes %2 top %3 roll %4")
                                 .arg(placed->head)
                                 .arg(placed->eyes)
                                 .arg(placed->top)
                                 .arg(placed->roll);
        QVERIFY2(placed->head > norm.headMin - slack && placed->head < norm.headMax + slack, qPrintable(seen));
        QVERIFY2(placed->eyes > norm.eyeLineMin - slack && placed->eyes < norm.eyeLineMax + slack, qPrintable(seen));
        QVERIFY2(placed->top > norm.topMarginMin - slack && placed->top < norm.topMarginMax + slack, qPrintable(seen));
        QVERIFY2(std::abs(placed->roll) < 2.0, qPrintable(seen));
        QVERIFY2(std::abs(placed->across - 0.5) < 0.05, qPrintable(seen));
    }

    // A close-up is cut tighter while the picture holds the norm's frame; a
    // head leaning too far or too close is refused, with its reason.
    void closeUpsAndLeaningHeads_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("refusal");  // empty: framed
        // The portrait's head: the hair's top at y 18, 160 px high, across at 225.
        auto closeUp = [&](double share) {
            const double height = 160 / share;
            return portrait().copy(QRectF(225 - height * 0.375, 18 - height * 0.05, height * 0.75, height).toRect());
        };
        QTest::newRow("close-up, head 62%") << closeUp(0.62) << QString();
        QTest::newRow("close-up, head 70%") << closeUp(0.70) << QString();
        QTest::newRow("close-up, head 80%") << closeUp(0.80) << QStringLiteral("人脸过大/离镜头太近");
        QTest::newRow("leaning 20 degrees") << faceset::turned(portrait(), 20) << QStringLiteral("歪头");
        QTest::newRow("hair cut off at the top")
            << portrait().copy(100, 60, 300, 300) << QStringLiteral("人脸太靠近边缘");
    }
    void closeUpsAndLeaningHeads()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, refusal);
        const QList<Face> faces = detector_->find(picture);
        QVERIFY(!faces.isEmpty());
        const auto frame = frameByNorm(measureHead(picture, faces.first()), FramingNorm::registry(), QSizeF(151, 201),
                                       QSizeF(picture.size()));
        QCOMPARE(frame.ok(), refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QVERIFY2(frame.error().contains(refusal), qPrintable(frame.error()));
            return;
        }
        const std::optional<Placed> placed = placedIn(cutPhoto(picture, *frame, QSize(302, 402)));
        QVERIFY(placed);
        QVERIFY2(placed->head > 0.58 && placed->head < 0.74, qPrintable(QString::number(placed->head)));
    }

    // Each check names its own problem and only it; noise does not pass for
    // sharpness, and a sharp noisy photo passes.
    void eachCheckNamesItsProblem_data()
    {
        QTest::addColumn<QImage>("picture");  // the portrait, changed
        QTest::addColumn<double>("shrink");  // the cut made this much smaller before the check
        QTest::addColumn<QList<int>>("problems");
        QTest::addColumn<QList<int>>("placement");  // may come with them: a moved head is placed anew
        auto numbers = [](const QList<PhotoProblem>& problems) {
            QList<int> out;
            for (PhotoProblem p : problems)
                out << int(p);
            return out;
        };
        auto row = [&](const char* name, const QImage& picture, QList<PhotoProblem> problems, double shrink = 1,
                       bool moved = false) {
            const QList<PhotoProblem> placement{PhotoProblem::HeadTooLarge, PhotoProblem::EyeLineOff,
                                                PhotoProblem::TopMarginOff, PhotoProblem::OffCentre};
            QTest::newRow(name) << picture << shrink << numbers(problems)
                                << numbers(moved ? placement : QList<PhotoProblem>{});
        };
        const auto& points = portraitFace_.points;
        row("good", portrait(), {});
        row("noisy but sharp", faceset::noisy(portrait(), 12), {});
        row("defocused", faceset::defocused(portrait(), 3), {PhotoProblem::Blurred});
        row("defocused and noisy", faceset::noisy(faceset::defocused(portrait(), 3), 12), {PhotoProblem::Blurred});
        row("dark", faceset::exposed(portrait(), 0.3), {PhotoProblem::TooDark});
        row("overexposed", faceset::exposed(portrait(), 1.7), {PhotoProblem::TooBright});
        row("backlit", faceset::backlit(), {PhotoProblem::Backlit});
        row("brick wall behind", faceset::beforeBricks(), {PhotoProblem::BusyBackground});
        row("eyes closed", faceset::closedEyes(points), {PhotoProblem::EyesClosed});
        row("mouth open", faceset::openMouth(points), {PhotoProblem::MouthOpen});
        row("turned aside", faceset::turnedAside(points), {PhotoProblem::Turned}, 1, true);
        row("leaning 14 degrees", faceset::turned(portrait(), 14), {PhotoProblem::Tilted}, 1, true);
        row("enlarged 2.5 times", portrait(), {PhotoProblem::LowResolution}, 2.5);
    }
    void eachCheckNamesItsProblem()
    {
        QFETCH(QImage, picture);
        QFETCH(double, shrink);
        QFETCH(QList<int>, problems);
        QFETCH(QList<int>, placement);
        QImage cut = cutPhoto(picture, portraitFrame_, portraitFrame_.size.toSize());
        if (shrink > 1)
            cut = cut.scaled(cut.size() / shrink, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const PhotoVerdict verdict = checkTakenPhoto(cut, QSize(151, 201), FramingNorm::registry(), *detector_);
        QList<int> found;
        for (PhotoProblem p : verdict.problems) {
            if (!placement.contains(int(p)))
                found << int(p);
        }
        QVERIFY2(found == problems, qPrintable(problemsOf(verdict)));
        QCOMPARE(verdict.reasons.size(), verdict.problems.size());
        QCOMPARE(verdict.text() == QStringLiteral("照片检查通过"), problems.isEmpty());
    }

    // Where the head sits, how many faces there are: judged against the norm.
    void checksJudgeTheHeadsPlace()
    {
        auto problems = [this](const QImage& photo) {
            return checkTakenPhoto(photo, QSize(151, 201), FramingNorm::registry(), *detector_).problems;
        };
        // The whole portrait: the head a third of the height.
        QVERIFY(problems(portrait()).contains(PhotoProblem::HeadTooSmall));
        // A close-up: the head past the band.
        const QImage tight = portrait().copy(QRectF(225 - 75, 98 - 100, 150, 200).toRect());
        QVERIFY(problems(tight).contains(PhotoProblem::HeadTooLarge));
        // The frame lowered: the eyes and the hair's top too low.
        PhotoFrame lowered = portraitFrame_;
        lowered.centre.ry() -= portraitFrame_.size.height() * 0.15;
        const QList<PhotoProblem> low = problems(cutPhoto(portrait(), lowered, portraitFrame_.size.toSize()));
        QVERIFY(low.contains(PhotoProblem::EyeLineOff) && low.contains(PhotoProblem::TopMarginOff));
        // Two sitters in one photo; none at all.
        QImage two(400, 266, QImage::Format_RGB32);
        two.fill(Qt::gray);
        QPainter p(&two);
        p.drawImage(QRect(0, 0, 200, 200), portrait().copy(125, 0, 200, 200));
        p.drawImage(QRect(200, 0, 200, 200), mirrored().copy(187, 0, 200, 200));
        p.end();
        QVERIFY(problems(two).contains(PhotoProblem::SeveralFaces));
        QCOMPARE(problems(withoutFace()), QList<PhotoProblem>{PhotoProblem::NoFace});
    }

    void followerIsStillForAStillFaceAndFollowsAMovingOne()
    {
        FrameFollower follower(4.0, 0.5);
        const QRectF first(100, 100, 150, 200);
        QCOMPARE(follower.propose(first), first);
        // Detector jitter of a few pixels: the frame does not move.
        for (double d : {2.0, -3.0, 1.0, 4.0})
            QCOMPARE(follower.propose(first.translated(d, -d)), first);
        // A real move: followed part of the way, then reached within the band.
        const QRectF moved = first.translated(60, 0);
        const QRectF step = follower.propose(moved);
        QVERIFY(step.left() > first.left() && step.left() < moved.left());
        QCOMPARE(step.size(), first.size());
        QRectF now = step;
        for (int i = 0; i < 10; ++i)
            now = follower.propose(moved);
        QVERIFY(std::abs(now.left() - moved.left()) <= 4.0);
    }

    void sizeLimitSearchesTheQuality()
    {
        // A stand-in encoder whose size grows with quality like a JPEG's.
        QList<int> tried;
        const QualityEncoder encoder = [&tried](int quality) -> Result<QByteArray> {
            tried << quality;
            return QByteArray(1000 + quality * 100, 'x');
        };
        // No limit, or the first encoding fits: one encoding at the chosen quality.
        auto plain = encodeWithinLimit(encoder, 85, 0);
        QVERIFY(plain.ok());
        QCOMPARE(plain->quality, 85);
        QCOMPARE(tried, QList<int>{85});
        // 6,000 bytes fits up to quality 50: the highest fitting one is found.
        tried.clear();
        auto fitted = encodeWithinLimit(encoder, 85, 6000);
        QVERIFY(fitted.ok());
        QCOMPARE(fitted->quality, 50);
        QVERIFY(fitted->bytes.size() <= 6000);
        QVERIFY(tried.size() < 10);  // a search, not a walk
        // Below what quality 30 gives: refused with the smallest size reached.
        auto impossible = encodeWithinLimit(encoder, 85, 2000);
        QVERIFY(!impossible.ok());
        QVERIFY2(impossible.error().contains(QStringLiteral("3.9 KB")), qPrintable(impossible.error()));
    }

    void autoFramingSaysEachChangeOnceAndYieldsToTheHand()
    {
        const viewfinder::DragLimits limits;
        // Heads in window coordinates: the sitter's and a smaller one.
        const HeadMeasure face =
            measureHead(portrait(), portraitFace_).mapped(QTransform::fromTranslate(300, 150).scale(0.5, 0.5));
        const HeadMeasure small = face.mapped(QTransform::fromTranslate(-100, 50).scale(0.5, 0.5));
        const QPointF faceMiddle = face.toPicture().map(QPointF(face.across, 0));
        AutoFraming framing;
        framing.start();
        const QList<QList<HeadMeasure>> seen{{},     {},    {face, small}, {face, small}, {face, small, small},
                                             {face}, {face}};
        const QStringList said{"未检测到人脸",
                               "",
                               "检测到2张人脸，取景框跟随居中的一张",
                               "",
                               "检测到3张人脸，取景框跟随居中的一张",
                               "当前状态: 自动取景中",
                               ""};
        const FramingNorm norm = FramingNorm::registry();
        for (int i = 0; i < seen.size(); ++i) {
            const AutoFraming::Step step = framing.onFaces(seen[i], norm, QSize(151, 201), limits, 2);
            QCOMPARE(step.message, said[i]);
            // No face: the frame stays; otherwise it goes to the sitter, with
            // the target's aspect inside the drag limits.
            QCOMPARE(step.goal.has_value(), !seen[i].isEmpty());
            if (step.goal) {
                QVERIFY2(qAbs(step.goal->center().x() - faceMiddle.x()) <= 2,
                         qPrintable(QString::number(step.goal->center().x())));
                QVERIFY(qAbs(double(step.goal->width() - 4) / (step.goal->height() - 4) - 151.0 / 201) < 0.01);
                QCOMPARE(viewfinder::clampFrame(*step.goal, limits), *step.goal);
            }
        }
        framing.takenOverByHand();
        QVERIFY(!framing.onFaces({face}, norm, QSize(151, 201), limits, 2).goal);
        framing.start();
        QVERIFY(framing.onFaces({face}, norm, QSize(151, 201), limits, 2).goal);
        // A head too large for the preview gives the largest frame that fits.
        const HeadMeasure huge = face.mapped(QTransform::fromTranslate(-300, -200).scale(3, 3));
        const std::optional<QRect> frame = frameForHead(huge, norm, QSize(151, 201), limits, 2);
        QVERIFY(frame && frame->height() == limits.bottom - limits.top);
    }
};

QTEST_MAIN(FaceTest)
#include "tst_face.moc"
