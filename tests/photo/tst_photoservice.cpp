// The rules of taking and saving, without a window: one sitter, one file.
#include "appstate.h"
#include "jpegcodec.h"
#include "photorender.h"
#include "photoservice.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "testroster.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList photosIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Mean difference of two pictures' lower fifth, where a caption stands.
double captionBandDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    int n = 0;
    for (int y = a.height() * 4 / 5; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x, ++n)
            sum += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / n;
}

const QSize photoSize(151, 201);
const QRectF region(100, 40, 300, 400);

// One station: its roster, its settings, its clock, on a shared folder.
struct Station {
    AppState app;
    RosterState roster;
    PhotoService service{roster, app};
    qint64 now = 100000;
    QList<PhotoNotice> notices;

    Station(const QString& folder, const QStringList& names)
    {
        app.setPhotoFolder(folder);
        QList<QStringList> rows;
        for (const QString& name : names)
            rows << QStringList{name, QStringLiteral("初一")};
        roster.setRows(rosterOf(rows));
        service.clock = [this] { return now; };
        QObject::connect(&service, &PhotoService::notice, &service, [this](const PhotoNotice& n) { notices << n; });
    }
    // The camera's picture, `ageMs` old.
    TakeRequest picture(qint64 ageMs = 0, qint64 periodMs = 33, QColor colour = QColor(120, 160, 200)) const
    {
        TakeRequest r;
        r.picture.frame = QImage(640, 480, QImage::Format_RGB32);
        r.picture.frame.fill(colour);
        r.picture.arrivalMs = now - ageMs;
        r.picture.periodMs = periodMs;
        r.region = region;
        r.target = photoSize;
        return r;
    }
    bool take(qint64 ageMs = 0) { return service.take(picture(ageMs)); }
    void waitForSave() const { QTRY_VERIFY_WITH_TIMEOUT(!service.saving(), 20000); }
    QString lastStatus() const { return notices.isEmpty() ? QString() : notices.last().status; }
    QString lastMessage() const
    {
        for (auto it = notices.crbegin(); it != notices.crend(); ++it)
            if (!it->message.isEmpty())
                return it->message;
        return {};
    }
};

}  // namespace

class PhotoServiceTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString folder;
    QString photo(const QString& name) const { return folder + "/" + name + ".jpg"; }

private slots:
    void init()
    {
        folder = dir.path() + "/" + QString::number(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(folder));
    }

    void aSecondPressNeverCountsForTheNextStudent()
    {
        Station s(folder, {"张三", "李四", "王五"});
        s.service.session().setAutoSave(true);
        QVERIFY(s.take());
        s.waitForSave();
        QCOMPARE(s.roster.currentRow(), 1);

        // A double click 120 ms later: ignored, with a word why.
        s.now += 120;
        QVERIFY(!s.take());
        QVERIFY(s.lastStatus().contains("请稍候"));
        QVERIFY(s.lastMessage().isEmpty());
        // After the pause, a picture from before the move is not the next student.
        s.now += PhotoService::kSettleMs;
        TakeRequest old = s.picture();
        old.picture.arrivalMs = s.now - PhotoService::kSettleMs;
        QVERIFY(!s.service.take(old));
        QCOMPARE(photosIn(folder), QStringList{"张三.jpg"});

        QVERIFY(s.take());
        s.waitForSave();
        QCOMPARE(photosIn(folder), (QStringList{"张三.jpg", "李四.jpg"}));
        QCOMPARE(s.roster.currentRow(), 2);
    }

    void aFrozenCamerasPictureIsRefused()
    {
        Station s(folder, {"张三"});
        QVERIFY(!s.take(600));
        QVERIFY2(s.lastMessage().contains("画面已停止更新"), qPrintable(s.lastMessage()));
        QVERIFY(!s.service.hasUnsavedTake());
        // A slow camera's picture may be two of its periods old.
        QVERIFY(s.service.take(s.picture(600, 400)));
        QVERIFY(!s.service.take(s.picture(900, 400)));
    }

    void aStillCountsOnlyAfterTheStudentWasChosen()
    {
        // A hot folder's newest file may be minutes old, but never from
        // before the current student.
        Station s(folder, {"张三", "李四"});
        s.now += 5000;
        s.roster.setCurrentRow(1);
        TakeRequest r = s.picture(60000);
        r.picture.still = true;
        QVERIFY(!s.service.take(r));
        QVERIFY(s.lastMessage().contains("还没有这位学生的新照片"));
        s.now += 1000;
        r.picture.arrivalMs = s.now - 100;  // dropped in after the choice
        QVERIFY(s.service.take(r));
    }

    void aSaveFinishesForTheStudentItWasTakenOf()
    {
        Station s(folder, {"张三", "李四", "王五", "赵六"});
        QVERIFY(s.take());
        QVERIFY(s.service.save());
        QVERIFY(s.service.saving());
        // The operator clicks another student while the photo is written.
        s.roster.setCurrentRow(3);
        QVERIFY(!s.service.hasUnsavedTake());
        s.waitForSave();
        QCOMPARE(photosIn(folder), QStringList{"张三.jpg"});
        QCOMPARE(s.roster.currentRow(), 3);  // left where the operator put it
        QVERIFY(s.service.canUndo());
    }

    void aFreePhotoIsCaptionedWithTheNameItIsSavedUnder()
    {
        Station s(folder, {});
        PhotoSession& session = s.service.session();
        session.setFreeShooting(true);
        session.setManualNaming(true);
        session.setTypedName("wang5");
        QVERIFY(s.take());
        session.setTypedName("zhao6");
        QVERIFY(s.service.save());
        s.waitForSave();
        QCOMPARE(photosIn(folder), QStringList{"zhao6.jpg"});

        const QImage saved = jpeg::decode(readAll(photo("zhao6"))).value();
        QImage cut(10, 10, QImage::Format_RGB32);
        cut.fill(QColor(120, 160, 200));
        auto rendered = [&](const QString& caption) {
            return photorender::renderPhoto(cut, photoSize, caption, Qt::black).value();
        };
        QVERIFY(captionBandDifference(saved, rendered("zhao6")) < captionBandDifference(saved, rendered("wang5")));
        QVERIFY(captionBandDifference(saved, rendered("zhao6")) < captionBandDifference(saved, rendered(QString())));
    }

    void twoStationsNeverOverwriteEachOther()
    {
        // Both take the same student and save at once: one photo is written,
        // the other station is shown the comparison.
        Station a(folder, {"张三"});
        Station b(folder, {"张三"});
        QVERIFY(a.take() && b.service.take(b.picture(0, 33, Qt::red)));
        QVERIFY(a.service.save() && b.service.save());
        a.waitForSave();
        b.waitForSave();
        QCOMPARE(photosIn(folder), QStringList{"张三.jpg"});
        QCOMPARE(int(a.service.comparing()) + int(b.service.comparing()), 1);
        Station& loser = a.service.comparing() ? a : b;
        QVERIFY(loser.lastStatus().contains("别处保存"));
        const QByteArray winnersPhoto = readAll(photo("张三"));

        // Replaced after the comparison; the other station's photo is kept.
        QVERIFY(loser.service.save(PhotoService::Choice::New));
        loser.waitForSave();
        QVERIFY(readAll(photo("张三")) != winnersPhoto);
        const QStringList kept = photosIn(folder + "/已替换");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readAll(folder + "/已替换/" + kept.first()), winnersPhoto);

        // A photo changed by another station after the comparison is compared again.
        Station c(folder, {"张三"});
        QVERIFY(c.take());
        QVERIFY(c.service.comparing());
        a.roster.setCurrentRow(0);
        a.now += PhotoService::kSettleMs;
        QVERIFY(a.take());
        QVERIFY(a.service.save(PhotoService::Choice::New));
        a.waitForSave();
        const QByteArray changed = readAll(photo("张三"));
        QVERIFY(c.service.save(PhotoService::Choice::New));
        c.waitForSave();
        QVERIFY(c.service.comparing());
        QVERIFY(c.lastStatus().contains("比较后已被改动"));
        QCOMPARE(readAll(photo("张三")), changed);

        // Numbered names: each station takes the next free number.
        Station d(folder, {});
        Station e(folder, {});
        for (Station* st : {&d, &e}) {
            st->service.session().setFreeShooting(true);
            QVERIFY(st->take());
            QVERIFY(st->service.save());
        }
        d.waitForSave();
        e.waitForSave();
        const QString prefix = PhotoService::autoNamePrefix();
        QVERIFY(QFile::exists(photo(prefix + "1")) && QFile::exists(photo(prefix + "2")));
        QVERIFY(!d.service.comparing() && !e.service.comparing());
    }

    void theLastSaveCanBeUndone()
    {
        Station s(folder, {"张三", "李四"});
        QVERIFY(QFile(photo("张三")).open(QIODevice::WriteOnly));
        QVERIFY(QFile(photo("张三")).resize(0));
        s.service.session().setAutoSave(true);
        QVERIFY(s.take());
        QVERIFY(s.service.comparing());
        QVERIFY(s.service.save(PhotoService::Choice::New));
        s.waitForSave();
        QCOMPARE(s.roster.currentRow(), 1);
        const QByteArray fresh = readAll(photo("张三"));
        QVERIFY(!fresh.isEmpty());
        // The camera's region around the photo is kept beside it, larger than the cut.
        const QImage original = jpeg::decode(readAll(folder + "/原图/张三.jpg")).value();
        QVERIFY(original.width() > region.width() && original.height() > region.height());

        // The new photo goes aside, the old one comes back, and so does the student.
        QSignalSpy undone(&s.service, &PhotoService::undone);
        QVERIFY(s.service.undoLastSave());
        QCOMPARE(readAll(photo("张三")), QByteArray());
        QCOMPARE(s.roster.currentRow(), 0);
        QCOMPARE(undone.size(), 1);
        bool keptAside = false;
        for (const QString& name : photosIn(folder + "/已替换"))
            keptAside = keptAside || readAll(folder + "/已替换/" + name) == fresh;
        QVERIFY(keptAside);
        QVERIFY(!s.service.canUndo());
        QVERIFY(!s.service.undoLastSave());
        QVERIFY(!QFile::exists(folder + "/原图/张三.jpg"));  // it goes with its photo

        // A photo changed since its save is not taken back.
        s.now += PhotoService::kSettleMs;
        s.roster.setCurrentRow(1);
        QVERIFY(s.take());
        s.waitForSave();
        QFile changed(photo("李四"));
        QVERIFY(changed.open(QIODevice::Append) && changed.write("x") == 1);
        changed.close();
        const QByteArray edited = readAll(photo("李四"));
        QVERIFY(!s.service.undoLastSave());
        QVERIFY(s.lastMessage().contains("不能撤销"));
        QCOMPARE(readAll(photo("李四")), edited);
    }

    // A take whose backdrop is being replaced: a save by hand waits for the
    // new photo and saves that one; a backdrop that could not be replaced is
    // not saved by itself.
    void theNewBackdropIsWhatIsSaved()
    {
        Station s(folder, {"张三", "李四"});
        PhotoPreset preset = PhotoPreset::custom(photoSize);
        preset.background = QColor(255, 255, 255);
        s.service.session().setPreset(preset);
        s.service.session().setReplaceBackdrop(true);
        std::function<void(const TakeReview&)> answer;
        std::optional<QColor> asked;
        s.service.takeReview = [&](const QImage&, const std::optional<QColor>& backdrop,
                                   std::function<void(const TakeReview&)> reply) {
            asked = backdrop;
            answer = std::move(reply);
            return true;
        };
        QVERIFY(s.take());
        QCOMPARE(asked, std::optional<QColor>(Qt::white));
        QVERIFY(s.service.save());
        QVERIFY(!s.service.saving());
        QVERIFY(!QFile::exists(photo("张三")));
        TakeReview review;
        review.photo = QImage(300, 400, QImage::Format_RGB32);
        review.photo.fill(Qt::white);
        answer(review);
        s.waitForSave();
        QCOMPARE(QImage(photo("张三")).pixelColor(5, 5), QColor(Qt::white));

        s.service.session().setAutoSave(true);
        s.now += PhotoService::kSettleMs;
        QVERIFY(s.take());
        TakeReview refused;
        refused.backdropRefused = true;
        answer(refused);
        QVERIFY(!s.service.saving());
        QVERIFY(s.lastStatus().contains("未自动保存"));
        QVERIFY(!QFile::exists(photo("李四")));
        QVERIFY(s.service.saveAllowed());
    }
};

QTEST_MAIN(PhotoServiceTest)
#include "tst_photoservice.moc"
