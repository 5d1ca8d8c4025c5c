#include "facedetector.h"
#include "faceset.h"
#include "idframing.h"
#include "reframe.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace facepictures;

namespace {

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

struct Run {
    int status = -1;
    QStringList lines;
    QString errors;
};

Run reframe(const ReframeJob& job)
{
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    Run run;
    run.status = runReframe(job, o, e);
    o.flush();
    e.flush();
    run.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = err;
    return run;
}

}  // namespace

class ReframeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(available(), "tests/data/pictures/portrait.png is missing"); }

    void aFolderOfGoodAndBadPictures()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        QVERIFY(portrait().save(sources.filePath(QStringLiteral("good.png"))));
        QVERIFY(shifted({1280, 720}, {600, 150}).save(sources.filePath(QStringLiteral("wide.jpg"))));
        QVERIFY(mirrored().save(sources.filePath(QStringLiteral("mirror.bmp"))));
        QVERIFY(withoutFace().save(sources.filePath(QStringLiteral("noface.png"))));
        QVERIFY(twoFaces().save(sources.filePath(QStringLiteral("two.png"))));
        // The face at the very top: no room above it for the frame.
        QVERIFY(portrait().copy(100, 60, 300, 300).save(sources.filePath(QStringLiteral("edge.png"))));
        {
            QFile broken(sources.filePath(QStringLiteral("broken.jpg")));
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write("not a picture at all");
        }
        QFile notes(sources.filePath(QStringLiteral("notes.txt")));  // not a picture: not listed
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();
        const QByteArray goodBefore = digestOf(sources.filePath(QStringLiteral("good.png")));

        const Run run = reframe({sources.path(), QSize(151, 201), 0, out.path(), 90});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.lines,
                 QStringList({QStringLiteral("broken\t无法读取文件"), QStringLiteral("edge\t人脸太靠近边缘，无法取景"),
                              QStringLiteral("good\tok"), QStringLiteral("mirror\tok"),
                              QStringLiteral("noface\t未检测到人脸"),
                              QStringLiteral("two\t检测到多张人脸，无法确定拍摄对象"), QStringLiteral("wide\tok")}));
        for (const char* name : {"good", "mirror", "wide"}) {
            const QImage photo(out.filePath(QString::fromLatin1(name) + QStringLiteral(".jpg")));
            QCOMPARE(photo.size(), QSize(151, 201));
        }
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("noface.jpg"))));
        QCOMPARE(digestOf(sources.filePath(QStringLiteral("good.png"))), goodBefore);
    }

    // The photo holds the sitter as the norm wants, whatever else the
    // picture holds: a face in the queue far outside the cut, a close-up, an
    // identity photo cut again, a head leaning a little (levelled).
    void photosMeetTheNormAndPassTheirChecks_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("refusal");  // empty: ok
        QTest::newRow("portrait") << portrait() << QString();
        QTest::newRow("mirrored") << mirrored() << QString();
        QTest::newRow("1280x720") << shifted({1280, 720}, {600, 150}) << QString();
        {
            faceset::Placement sitter{{1920, 1080}, 0.4, {0.45, 0.4}};
            QImage queue = faceset::place(sitter).picture;
            QPainter p(&queue);
            p.drawImage(QRectF(1650, 700, 200, 200), portrait());  // a head of 60 px by the door
            QTest::newRow("a small face in the queue outside the cut") << queue << QString();
        }
        QTest::newRow("close-up") << portrait().copy(QRectF(225 - 88, 6, 176, 236).toRect()) << QString();
        {
            // An identity-card photo (358 x 441) cut again to the registry's size.
            auto detector = FaceDetector::create();
            const QList<Face> faces = (*detector)->find(portrait());
            const auto frame = frameByNorm(measureHead(portrait(), faces.first()), FramingNorm::identityCard(),
                                           QSizeF(358, 441), QSizeF(512, 512));
            QTest::newRow("identity photo") << cutPhoto(portrait(), *frame, QSize(358, 441)) << QString();
        }
        // The portrait's head leans 3 degrees of itself.
        QTest::newRow("leaning 6 degrees") << faceset::turned(shifted({900, 700}, {200, 150}, 1.4), -9) << QString();
        QTest::newRow("leaning 20 degrees")
            << faceset::turned(shifted({900, 700}, {200, 150}, 1.4), 20) << QStringLiteral("歪头约");
        QTest::newRow("close-up, head 85%")
            << portrait().copy(QRectF(225 - 70, 98 - 94, 141, 188).toRect()) << QStringLiteral("人脸过大/离镜头太近");
    }
    void photosMeetTheNormAndPassTheirChecks()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, refusal);
        auto detector = FaceDetector::create();
        QVERIFY(detector.ok());
        const QSize size(151, 201);
        const auto made = reframePicture(picture, size, **detector);
        QCOMPARE(made.ok(), refusal.isEmpty());
        if (!made.ok()) {
            QVERIFY2(made.error().startsWith(refusal), qPrintable(made.error()));
            return;
        }
        QVERIFY2(made->verdict.passed(), qPrintable(made->verdict.text()));
        QCOMPARE(made->photo.size(), size);
        // Measured again in the photo written.
        const QImage twice = made->photo.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QList<Face> faces = (*detector)->find(twice);
        QCOMPARE(faces.size(), 1);
        const HeadMeasure head = measureHead(twice, faces.first());
        const FramingNorm norm = FramingNorm::registry();
        const double share = head.headHeight() / twice.height();
        QVERIFY2(share > norm.headMin - 0.03 && share < norm.headMax + 0.03, qPrintable(QString::number(share)));
        // Levelled, or (a close-up with no room to turn the cut) the slight
        // lean the checks accept.
        QVERIFY2(std::abs(head.roll) < 4.0, qPrintable(QString::number(head.roll)));
        const double across = head.toPicture().map(QPointF(head.across, 0)).x();
        QVERIFY2(std::abs(across - twice.width() / 2.0) < twice.width() * 0.06, qPrintable(QString::number(across)));
    }

    // A photo that fails its checks is named with its reasons and not
    // written, unless forced; forced, it is written and still named.
    void failingPhotosAreWrittenOnlyWhenForced()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        QVERIFY(faceset::defocused(portrait(), 3).save(sources.filePath(QStringLiteral("soft.png"))));
        QVERIFY(faceset::exposed(portrait(), 0.3).save(sources.filePath(QStringLiteral("dark.png"))));
        ReframeJob job{sources.path(), QSize(151, 201), 0, out.path(), 90};
        const Run refused = reframe(job);
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.lines, QStringList({QStringLiteral("dark\t脸部太暗：请增加正面光线"),
                                             QStringLiteral("soft\t照片模糊：请对焦并保持不动")}));
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());

        job.force = true;
        const Run forced = reframe(job);
        QCOMPARE(forced.status, 1);
        QCOMPARE(forced.lines, refused.lines);
        QCOMPARE(QImage(out.filePath(QStringLiteral("soft.jpg"))).size(), QSize(151, 201));
        QCOMPARE(QImage(out.filePath(QStringLiteral("dark.jpg"))).size(), QSize(151, 201));
        QVERIFY(forced.errors.contains(QStringLiteral("--force")));
    }

    void sizeLimitIsMetWithARealJpegOrRefused()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        const QString source = sources.filePath(QStringLiteral("p.png"));
        // Large enough for 600 x 800 without enlarging.
        QVERIFY(portrait().scaled(1800, 1800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(source));
        const Run fits = reframe({source, QSize(600, 800), 40 * 1024, out.path(), 95});
        QCOMPARE(fits.status, 0);
        const QFileInfo written(out.filePath(QStringLiteral("p.jpg")));
        QVERIFY(written.size() > 0 && written.size() <= 40 * 1024);
        QCOMPARE(QImage(written.filePath()).size(), QSize(600, 800));

        const Run tooSmall = reframe({source, QSize(600, 800), 1024, out.path(), 95});
        QCOMPARE(tooSmall.status, 1);
        QVERIFY2(tooSmall.lines.value(0).startsWith(QStringLiteral("p\t照片无法压缩到 1.0 KB 以内")),
                 qPrintable(tooSmall.lines.value(0)));
        // The earlier photo stays as it was.
        QCOMPARE(QFileInfo(written.filePath()).size(), written.size());
    }

    void theSourceIsNeverOverwrittenAndBadJobsAreRefused()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("self.jpg"));
        QVERIFY(portrait().save(source));
        const QByteArray before = digestOf(source);
        const Run same = reframe({source, QSize(151, 201), 0, dir.path(), 90});
        QCOMPARE(same.status, 1);
        QCOMPARE(same.lines, QStringList{QStringLiteral("self\t不能覆盖原文件 self.jpg")});
        QCOMPARE(digestOf(source), before);

        QCOMPARE(reframe({source, QSize(0, 201), 0, dir.path(), 90}).status, 2);
        QCOMPARE(reframe({dir.filePath(QStringLiteral("missing")), QSize(151, 201), 0, dir.path(), 90}).status, 2);
    }

    // Pictures that make one photo name are refused, each saying with which;
    // an output into the source folder never takes an original's place.
    void namesakesAndOriginalsAreNeverWrittenOver()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        for (const char* name : {"a.jpg", "a.png", "b.png"})
            QVERIFY(portrait().save(sources.filePath(QString::fromLatin1(name))));
        const QByteArray original = digestOf(sources.filePath(QStringLiteral("a.jpg")));
        const QStringList namesakes{QStringLiteral("a\t与 a.png 同名，都会生成 a.jpg，均未处理"),
                                    QStringLiteral("a\t与 a.jpg 同名，都会生成 a.jpg，均未处理")};

        const Run elsewhere = reframe({sources.path(), QSize(151, 201), 0, out.path(), 90});
        QCOMPARE(elsewhere.status, 1);
        QCOMPARE(elsewhere.lines, namesakes + QStringList{QStringLiteral("b\tok")});
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("a.jpg"))));

        const Run intoSources = reframe({sources.path(), QSize(151, 201), 0, sources.path(), 90});
        QCOMPARE(intoSources.status, 1);
        QCOMPARE(intoSources.lines, namesakes + QStringList{QStringLiteral("b\tok")});
        QCOMPARE(digestOf(sources.filePath(QStringLiteral("a.jpg"))), original);
        QCOMPARE(QImage(sources.filePath(QStringLiteral("b.jpg"))).size(), QSize(151, 201));

        // One picture into its own folder, where another picture has its photo's name.
        const Run one = reframe({sources.filePath(QStringLiteral("a.png")), QSize(151, 201), 0, sources.path(), 90});
        QCOMPARE(one.lines, QStringList{QStringLiteral("a\t不能覆盖原文件 a.jpg")});
        QCOMPARE(digestOf(sources.filePath(QStringLiteral("a.jpg"))), original);
        QVERIFY(!QFileInfo::exists(sources.filePath(QStringLiteral("已替换"))));
    }

    // A photo re-framed again replaces the earlier one only once that is kept.
    void anOlderPhotoIsKeptInReplaced()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        QVERIFY(portrait().save(sources.filePath(QStringLiteral("p.png"))));
        QFile older(out.filePath(QStringLiteral("p.jpg")));
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("an earlier photo");
        older.close();
        QCOMPARE(reframe({sources.path(), QSize(151, 201), 0, out.path(), 90}).lines,
                 QStringList{QStringLiteral("p\tok")});
        QCOMPARE(QImage(out.filePath(QStringLiteral("p.jpg"))).size(), QSize(151, 201));
        const QDir kept(out.filePath(QStringLiteral("已替换")));
        const QStringList copies = kept.entryList(QDir::Files);
        QCOMPARE(copies.size(), 1);
        QVERIFY2(copies[0].startsWith(QStringLiteral("p-")), qPrintable(copies[0]));
        QFile copy(kept.filePath(copies[0]));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("an earlier photo"));
    }

    // A named pipe is never opened: reading it would wait for a writer for ever.
    void aPipeIsRefusedUnread()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        QVERIFY(portrait().save(sources.filePath(QStringLiteral("good.png"))));
        const QString pipe = sources.filePath(QStringLiteral("pipe.jpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const Run folder = reframe({sources.path(), QSize(151, 201), 0, out.path(), 90});
        QCOMPARE(folder.status, 1);
        QCOMPARE(folder.lines, QStringList({QStringLiteral("good\tok"), QStringLiteral("pipe\t不是普通文件，未读取")}));

        // Given alone, through the program: it ends, with the reason.
        QProcess p;
        p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), {QStringLiteral("--reframe"), pipe, QStringLiteral("--size"),
                                                          QStringLiteral("151x201"), QStringLiteral("-o"), out.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(), QStringLiteral("pipe\t不是普通文件，未读取\n").toUtf8());
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("未生成照片")));
    }

    void commandLineExitStatus()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        QVERIFY(portrait().save(sources.filePath(QStringLiteral("a.png"))));
        auto run = [](const QStringList& arguments, QByteArray* stdOut = nullptr) {
            QProcess p;
            p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), arguments);
            if (!p.waitForFinished(60000))
                return -1;
            if (stdOut)
                *stdOut = p.readAllStandardOutput();
            return p.exitCode();
        };
        QByteArray printed;
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201"),
                      QStringLiteral("--max-kb"), QStringLiteral("20"), QStringLiteral("-o"), out.path()},
                     &printed),
                 0);
        QCOMPARE(printed, QByteArray("a\tok\n"));
        QVERIFY(QFileInfo(out.filePath(QStringLiteral("a.jpg"))).size() <= 20 * 1000);
        QVERIFY(withoutFace().save(sources.filePath(QStringLiteral("b.png"))));
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201"),
                      QStringLiteral("-o"), out.path()}),
                 1);
        // Bad arguments: no size, a size that is no size, no output folder.
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("-o"), out.path()}), 2);
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("big"),
                      QStringLiteral("-o"), out.path()}),
                 2);
        QCOMPARE(
            run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201")}), 2);
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201"),
                      QStringLiteral("--background"), QStringLiteral("greenish"), QStringLiteral("-o"), out.path()}),
                 2);
        // Without the landmark model: refused, naming the package that brings it.
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("STATION_FACE_MODEL"), sources.filePath(QStringLiteral("missing.dat")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE),
                {QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201"),
                 QStringLiteral("-o"), out.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("找不到人脸特征点模型")) && said.contains(QStringLiteral("libdlib-data")),
                 qPrintable(said));
    }

    void progressForLargeFolders()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        const QImage small = withoutFace().scaled(64, 32);
        for (int i = 0; i < 21; ++i)
            QVERIFY(small.save(sources.filePath(QStringLiteral("p%1.png").arg(i, 2, 10, QLatin1Char('0')))));
        const Run run = reframe({sources.path(), QSize(151, 201), 0, out.path(), 90});
        QCOMPARE(run.lines.size(), 21);
        QVERIFY(run.errors.contains(QStringLiteral("已处理 21/21")));
    }
};

QTEST_MAIN(ReframeTest)
#include "tst_reframe.moc"
