#include "facedetector.h"
#include "facepictures.h"
#include "idframing.h"
#include "reframe.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
    void initTestCase()
    {
        if (!available())
            QSKIP("the shared test portrait is missing");
    }

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
                              QStringLiteral("noface\t未检测到人脸"), QStringLiteral("two\t检测到多张人脸"),
                              QStringLiteral("wide\tok")}));
        for (const char* name : {"good", "mirror", "wide"}) {
            const QImage photo(out.filePath(QString::fromLatin1(name) + QStringLiteral(".jpg")));
            QCOMPARE(photo.size(), QSize(151, 201));
        }
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("noface.jpg"))));
        QCOMPARE(digestOf(sources.filePath(QStringLiteral("good.png"))), goodBefore);
    }

    void theFaceIsCentredInThePhoto()
    {
        auto detector = FaceDetector::create();
        QVERIFY(detector.ok());
        for (const QImage& picture : {portrait(), shifted({1280, 720}, {600, 150}), mirrored()}) {
            auto photo = reframePicture(picture, QSize(300, 400), **detector);
            QVERIFY2(photo.ok(), qPrintable(photo.error()));
            const QList<QRect> faces = (*detector)->detect(photo.value());
            QCOMPARE(faces.size(), 1);
            const QRect face = faces.constFirst();
            QVERIFY(std::abs(face.center().x() - 150) < 300 * 0.05);
            const double share = faceHeightOf(face) / 400;
            QVERIFY2(share > 0.45 && share < 0.65, qPrintable(QString::number(share)));
        }
    }

    void sizeLimitIsMetWithARealJpegOrRefused()
    {
        QTemporaryDir sources;
        QTemporaryDir out;
        const QString source = sources.filePath(QStringLiteral("p.png"));
        QVERIFY(portrait().save(source));
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
        QCOMPARE(same.lines, QStringList{QStringLiteral("self\t不能覆盖原文件")});
        QCOMPARE(digestOf(source), before);

        QCOMPARE(reframe({source, QSize(0, 201), 0, dir.path(), 90}).status, 2);
        QCOMPARE(reframe({dir.filePath(QStringLiteral("missing")), QSize(151, 201), 0, dir.path(), 90}).status, 2);
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
        QVERIFY(QFileInfo(out.filePath(QStringLiteral("a.jpg"))).size() <= 20 * 1024);
        QVERIFY(withoutFace().save(sources.filePath(QStringLiteral("b.png"))));
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201"),
                      QStringLiteral("-o"), out.path()}),
                 1);
        // Bad arguments: no size, a size that is no size, no output folder.
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("-o"), out.path()}), 2);
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("big"),
                      QStringLiteral("-o"), out.path()}),
                 2);
        QCOMPARE(run({QStringLiteral("--reframe"), sources.path(), QStringLiteral("--size"), QStringLiteral("151x201")}),
                 2);
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
