#include "autoframing.h"
#include "facedetector.h"
#include "facepictures.h"
#include "idframing.h"
#include "photochecks.h"
#include "sizelimit.h"

#include <QtTest>

using namespace facepictures;

class FaceTest : public QObject {
    Q_OBJECT
    std::unique_ptr<FaceDetector> detector_;

private slots:
    void initTestCase()
    {
        auto made = FaceDetector::create();
        QVERIFY2(made.ok(), qPrintable(made.error()));
        detector_ = std::move(made).value();
        QVERIFY2(available(), "tests/data/pictures/portrait.png is missing");
    }

    void framingFollowsIdentityGeometry_data()
    {
        QTest::addColumn<QRectF>("face");
        QTest::addColumn<QSizeF>("target");
        QTest::newRow("151x201") << QRectF(177, 66, 95, 95) << QSizeF(151, 201);
        QTest::newRow("640x480 landscape") << QRectF(40, 300, 200, 210) << QSizeF(640, 480);
        QTest::newRow("1000x200") << QRectF(10, 10, 30, 30) << QSizeF(1000, 200);
    }
    void framingFollowsIdentityGeometry()
    {
        QFETCH(QRectF, face);
        QFETCH(QSizeF, target);
        const IdentityGeometry g;
        const QRectF frame = identityFrame(face, target);
        QVERIFY(!frame.isEmpty());
        QCOMPARE(frame.width() / frame.height(), target.width() / target.height());
        QCOMPARE(faceHeightOf(face) / frame.height(), g.faceShare);
        QCOMPARE(frame.center().x(), face.center().x());
        const double eyes = face.top() + g.eyesInBox * face.height();
        QCOMPARE((eyes - frame.top()) / frame.height(), g.eyeLine);
    }

    void moveInsideKeepsSizeOrRefuses()
    {
        const QRectF bounds(0, 0, 512, 512);
        // Inside already: unchanged.
        QCOMPARE(moveInside(QRectF(100, 100, 150, 200), bounds), QRectF(100, 100, 150, 200));
        // A little over the top edge: moved down, same size.
        QCOMPARE(moveInside(QRectF(100, -10, 150, 200), bounds), QRectF(100, 0, 150, 200));
        // Far over the edge: the face would no longer be centred.
        QVERIFY(!moveInside(QRectF(-100, 0, 150, 200), bounds));
        // Larger than the picture.
        QVERIFY(!moveInside(QRectF(0, 0, 150, 600), bounds));
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

    void detectorFindsThePortraitsFace_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QRect>("expected");  // the face's rough place
        QTest::newRow("portrait") << portrait() << QRect(177, 66, 95, 95);
        QTest::newRow("shifted on 1280x720") << shifted({1280, 720}, {600, 150}) << QRect(777, 216, 95, 95);
        QTest::newRow("scaled 0.6 on 640x480") << shifted({640, 480}, {20, 40}, 0.6) << QRect(126, 80, 57, 57);
        QTest::newRow("mirrored") << mirrored() << QRect(512 - 177 - 95, 66, 95, 95);
    }
    void detectorFindsThePortraitsFace()
    {
        QFETCH(QImage, picture);
        QFETCH(QRect, expected);
        const QList<QRect> faces = detector_->detect(picture);
        QCOMPARE(faces.size(), 1);
        const QRect& face = faces.constFirst();
        const double tolerance = expected.width() * 0.3;
        QVERIFY2(
            std::abs(face.center().x() - expected.center().x()) < tolerance &&
                std::abs(face.center().y() - expected.center().y()) < tolerance &&
                std::abs(face.width() - expected.width()) < tolerance,
            qPrintable(
                QStringLiteral("found %1,%2 %3x%4").arg(face.x()).arg(face.y()).arg(face.width()).arg(face.height())));
    }

    void detectorCountsFaces()
    {
        QCOMPARE(detector_->detect(twoFaces()).size(), 2);
        QCOMPARE(detector_->detect(withoutFace()).size(), 0);
        QCOMPARE(detector_->detect(QImage()).size(), 0);
    }

    void checksJudgeThePhoto_data()
    {
        QTest::addColumn<QImage>("photo");
        QTest::addColumn<QList<int>>("problems");
        const QImage good = portrait().copy(143, 7, 162, 216);  // the identity frame around the face
        QTest::newRow("good") << good << QList<int>{};
        QTest::newRow("blurred") << blurred(good) << QList<int>{int(PhotoProblem::Blurred)};
        QTest::newRow("dark") << darkened().copy(143, 7, 162, 216) << QList<int>{int(PhotoProblem::TooDark)};
        QTest::newRow("no face") << withoutFace() << QList<int>{int(PhotoProblem::NoFace)};
        QTest::newRow("whole portrait: face small") << portrait() << QList<int>{int(PhotoProblem::FaceTooSmall)};
        QTest::newRow("off centre") << portrait().copy(118, 7, 162, 216) << QList<int>{int(PhotoProblem::OffCentre)};
    }
    void checksJudgeThePhoto()
    {
        QFETCH(QImage, photo);
        QFETCH(QList<int>, problems);
        const PhotoVerdict verdict = checkPhoto(photo, detector_->detect(photo));
        QList<int> found;
        for (PhotoProblem p : verdict.problems)
            found << int(p);
        QVERIFY2(
            found == problems,
            qPrintable(verdict.text() +
                       QStringLiteral(" sharpness %1 luminance %2").arg(verdict.sharpness).arg(verdict.luminance)));
        QCOMPARE(verdict.passed(), problems.isEmpty());
    }

    void twoFacesAreReported()
    {
        const QImage two = twoFaces().copy(143, 7, 512 + 162, 216);
        const PhotoVerdict verdict = checkPhoto(two, detector_->detect(two));
        QVERIFY(verdict.problems.contains(PhotoProblem::SeveralFaces));
        QVERIFY(verdict.text().contains(QStringLiteral("检测到多张人脸")));
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
        const QRectF face(500, 200, 60, 60);
        const QRectF small(360, 220, 30, 30);
        AutoFraming framing;
        framing.start();
        const QList<QList<QRectF>> seen{{}, {}, {face, small}, {face, small}, {face, small, small}, {face}, {face}};
        const QStringList said{"未检测到人脸",
                               "",
                               "检测到2张人脸，取景框跟随最大的一张",
                               "",
                               "检测到3张人脸，取景框跟随最大的一张",
                               "当前状态: 自动取景中",
                               ""};
        for (int i = 0; i < seen.size(); ++i) {
            const AutoFraming::Step step = framing.onFaces(seen[i], QSize(151, 201), limits, 2);
            QCOMPARE(step.message, said[i]);
            // No face: the frame stays; otherwise it goes to the largest face,
            // with the target's aspect inside the drag limits.
            QCOMPARE(step.goal.has_value(), !seen[i].isEmpty());
            if (step.goal) {
                QVERIFY(qAbs(step.goal->center().x() - face.center().x()) <= 1);
                QVERIFY(qAbs(double(step.goal->width() - 4) / (step.goal->height() - 4) - 151.0 / 201) < 0.01);
                QCOMPARE(viewfinder::clampFrame(*step.goal, limits), *step.goal);
            }
        }
        framing.takenOverByHand();
        QVERIFY(!framing.onFaces({face}, QSize(151, 201), limits, 2).goal);
        framing.start();
        QVERIFY(framing.onFaces({face}, QSize(151, 201), limits, 2).goal);
        // A face too large for the preview gives the largest frame that fits.
        const std::optional<QRect> huge = frameForFace(QRectF(400, 100, 400, 400), QSize(151, 201), limits, 2);
        QVERIFY(huge && huge->height() == limits.bottom - limits.top);
    }
};

QTEST_MAIN(FaceTest)
#include "tst_face.moc"
