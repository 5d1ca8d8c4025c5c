// The backdrop is replaced only where it can be told from the sitter: the
// matte against a known one over several backdrops, the new colour at the
// border, and a refusal on a busy scene.
#include "backdrop.h"
#include "backdroppictures.h"
#include "facedetector.h"
#include "facepictures.h"
#include "reframe.h"

#include <QtTest>

#include <memory>

using namespace backdroppictures;

class TestBackdrop : public QObject {
    Q_OBJECT

    std::unique_ptr<FaceDetector> detector_;

    Face sitterOf(const QImage& photo)
    {
        const QList<Face> faces = detector_->find(photo);
        if (faces.isEmpty())
            return {};
        return faces.constFirst();
    }

    // Mean colour of the top strip of a photo, its left fifth (no hair there).
    static QColor topStrip(const QImage& photo)
    {
        qint64 r = 0;
        qint64 g = 0;
        qint64 b = 0;
        qint64 n = 0;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < photo.width() / 5; ++x) {
                const QRgb c = photo.pixel(x, y);
                r += qRed(c);
                g += qGreen(c);
                b += qBlue(c);
                ++n;
            }
        return QColor(int(r / n), int(g / n), int(b / n));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(facepictures::available(), "the test portrait is missing");
        auto detector = FaceDetector::create();
        QVERIFY2(detector.ok(), qPrintable(detector.error()));
        detector_ = std::move(detector).value();
    }

    void theSitterIsCutFromPlainBackdrops_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("minIoU");
        QTest::addColumn<int>("cutAtTop");  // a frame set so tight that it cuts through the hair
        QTest::newRow("plain") << int(Backdrop::Plain) << 0.97 << 0;
        QTest::newRow("gradient") << int(Backdrop::Gradient) << 0.97 << 0;
        QTest::newRow("cloth") << int(Backdrop::Cloth) << 0.93 << 0;
        QTest::newRow("two-tone") << int(Backdrop::TwoTone) << 0.93 << 0;
        QTest::newRow("cloth, hair cut") << int(Backdrop::Cloth) << 0.93 << 60;
    }

    // The matte matches the known one, and the new backdrop is the colour
    // asked for at the border.
    void theSitterIsCutFromPlainBackdrops()
    {
        QFETCH(int, kind);
        QFETCH(double, minIoU);
        QFETCH(int, cutAtTop);
        Composite c = compose(Backdrop(kind));
        c.photo = c.photo.copy(0, cutAtTop, c.photo.width(), c.photo.height() - cutAtTop);
        c.alpha = c.alpha.copy(0, cutAtTop, c.alpha.width(), c.alpha.height() - cutAtTop);
        const QList<Face> faces = detector_->find(c.photo);
        QVERIFY2(!faces.isEmpty(), "the composite's face is not found");
        const BackdropMatte matte = matteSitter(c.photo, faces.constFirst());
        const double iou = personIoU(matte.alpha, c.alpha);
        qInfo("IoU %.4f, edge-band alpha error %.3f, spread %.1f, edges %.3f, claimed %.3f", iou,
              edgeBandError(matte.alpha, c.alpha), matte.spread, matte.edgeShare, matte.claimed);
        if (!qEnvironmentVariableIsEmpty("BACKDROP_DUMP")) {
            const QString tag = QString::fromLatin1(QTest::currentDataTag());
            c.photo.save(QStringLiteral("/tmp/backdrop-%1-in.png").arg(tag));
            matte.alpha.save(QStringLiteral("/tmp/backdrop-%1-alpha.png").arg(tag));
            composeOver(c.photo, matte.alpha, QColor(160, 200, 240))
                .save(QStringLiteral("/tmp/backdrop-%1-out.png").arg(tag));
        }
        QVERIFY2(matte.ok(), qPrintable(matte.refusal));
        QVERIFY2(iou >= minIoU, qPrintable(QString::number(iou)));

        const QColor wanted(160, 200, 240);
        const Result<QImage> replaced = replaceBackdrop(c.photo, faces.constFirst(), wanted);
        QVERIFY(replaced.ok());
        QCOMPARE(replaced->size(), c.photo.size());
        const QColor border = topStrip(replaced.value());
        QVERIFY(std::abs(border.red() - wanted.red()) <= 3);
        QVERIFY(std::abs(border.green() - wanted.green()) <= 3);
        QVERIFY(std::abs(border.blue() - wanted.blue()) <= 3);
    }

    // A flag and a model shuttle behind the sitter: the photo is left alone
    // and the operator told why.
    void aBusySceneIsRefused()
    {
        const QImage portrait = facepictures::portrait();
        const QImage cut = portrait.copy(48, 0, 416, 512);
        const QList<Face> faces = detector_->find(cut);
        QVERIFY(!faces.isEmpty());
        const BackdropMatte matte = matteSitter(cut, faces.constFirst());
        qInfo("spread %.1f, edges %.3f, claimed %.3f", matte.spread, matte.edgeShare, matte.claimed);
        QCOMPARE(matte.refusal, busyBackdropMessage());
        const Result<QImage> replaced = replaceBackdrop(cut, faces.constFirst(), Qt::white);
        QVERIFY(!replaced.ok());
        QCOMPARE(replaced.error(), QStringLiteral("背景太杂，无法更换，请使用纯色背景布"));
    }

    // --reframe --background: the new backdrop, matted at the checks'
    // resolution; a busy one is named and the photo left as it was.
    void reframingPutsTheSitterOnTheColour()
    {
        const Composite c = compose(Backdrop::Gradient, QSize(600, 740));
        const auto plain = reframePicture(c.photo, QSize(358, 441), *detector_, FramingNorm::registry(), Qt::white);
        QVERIFY2(plain.ok(), qPrintable(plain.ok() ? QString() : plain.error()));
        QVERIFY2(plain->backdropRefusal.isEmpty(), qPrintable(plain->backdropRefusal));
        QCOMPARE(plain->photo.size(), QSize(358, 441));
        QCOMPARE(topStrip(plain->photo), QColor(Qt::white));
        const Composite busy = compose(Backdrop::Busy, QSize(600, 740));
        const auto refused =
            reframePicture(busy.photo, QSize(358, 441), *detector_, FramingNorm::registry(), Qt::white);
        QVERIFY(refused.ok());
        QCOMPARE(refused->backdropRefusal, busyBackdropMessage());
        QVERIFY(!refused->passed());
        QVERIFY(refused->text().startsWith(busyBackdropMessage()));
    }

    void colourNames()
    {
        QCOMPARE(backdropColourNamed(QStringLiteral("White")), QColor(Qt::white));
        QCOMPARE(backdropColourNamed(QStringLiteral("#A0C8F0")), QColor(160, 200, 240));
        QVERIFY(backdropColourNamed(QStringLiteral("red")).has_value());
        QVERIFY(!backdropColourNamed(QStringLiteral("#12345")).has_value());
        QVERIFY(!backdropColourNamed(QStringLiteral("green-ish")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestBackdrop)
#include "tst_backdrop.moc"
