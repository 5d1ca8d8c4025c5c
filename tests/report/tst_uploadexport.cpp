// 导出上报: one zip per class of photos made to a preset, read back as a
// registry would, and the problem list beside them.
#include "jpegfacts.h"
#include "photopreset.h"
#include "testfiles.h"
#include "testroster.h"
#include "uploadexport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

namespace {

struct ZipEntry {
    QString name;
    QByteArray bytes;
    bool stored = false;
    bool utf8Flag = false;
};

// The entries of a zip file through libzip, and each name's UTF-8 flag
// (general purpose bit 11) from the central directory itself.
QList<ZipEntry> readZip(const QString& path)
{
    QList<ZipEntry> entries;
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, zip_uint64_t(i), 0, &st);
        ZipEntry e;
        e.name = QString::fromUtf8(st.name);
        e.stored = st.comp_method == ZIP_CM_STORE;
        e.bytes.resize(qsizetype(st.size));
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        zip_fread(file, e.bytes.data(), st.size);
        zip_fclose(file);
        entries << e;
    }
    zip_discard(archive);
    const QByteArray raw = readAll(path);
    int at = 0;
    for (ZipEntry& e : entries) {
        at = int(raw.indexOf(QByteArray("PK\x01\x02", 4), at));
        if (at < 0)
            break;
        e.utf8Flag = (uchar(raw[at + 9]) & 0x08) != 0;
        at += 4;
    }
    return entries;
}

PhotoPreset registryPreset()
{
    return *photopresets::load(QString()).find(QStringLiteral("学籍"));
}

}  // namespace

class UploadExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString photos() const { return dir_.filePath(QStringLiteral("photos")); }
    QString out() const { return dir_.filePath(QStringLiteral("上报")); }

private slots:
    void twoClassesAreReadBackAsTheRegistryWould()
    {
        // Photos are saved by student number; the registry wants identity numbers.
        const QColor saved(200, 40, 40);
        const QColor original(40, 160, 40);
        writeSolidPhoto(photos() + "/S01.jpg", QSize(600, 800), saved);
        writeSolidPhoto(photos() + "/原图/S01.jpg", QSize(900, 1000), original);  // the camera region kept
        writeSolidPhoto(photos() + "/S03.jpg", QSize(600, 800), saved);
        writeSolidPhoto(photos() + "/S04.jpg", QSize(151, 201), saved);  // smaller than the preset
        writeSolidPhoto(photos() + "/S05.jpg", QSize(600, 800), saved);
        writeSolidPhoto(photos() + "/S06.jpg", QSize(600, 800), saved);
        writeSolidPhoto(photos() + "/S07.jpg", QSize(600, 800), saved);
        ExportJob job;
        job.rows = rosterOf({{"S01", "11010519491231002X", "一班"},
                             {"S02", "440304198506123455", "一班"},  // no photo
                             {"S03", "1.10101E+17", "一班"},  // damaged by Excel
                             {"S04", "320106200809150025", "二班"},
                             {"S05", "320106200809150025", "二班"},  // the same number again
                             {"S06", "", "二班"},  // has none: named by the fallback
                             {"S07", "11010519491231002x", "二班"}});  // row 1's, with a small x
        job.photoColumn = 0;
        job.nameColumn = 1;
        job.groupColumn = 2;
        job.fallback = NameTemplate::parse(QStringLiteral("3301010001_{列3}_{A}"), {"A", "B", "C"}).value();
        job.preset = registryPreset();
        job.photoFolder = photos();
        job.outFolder = out();
        Result<StagedExport> staged = stageExport(job);
        QVERIFY2(staged.ok(), qPrintable(staged.error()));
        QCOMPARE(staged->summary(), QStringLiteral("2 个分组，3 张照片，5 个问题"));
        QVERIFY(staged.value().publish().ok());

        // Nothing but the zips and the problem list, and no temporary left.
        QCOMPARE(QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"一班.zip", "二班.zip", "问题记录.csv"}));
        QMap<QString, QStringList> names;
        for (const QString& zip : {QStringLiteral("一班"), QStringLiteral("二班")}) {
            for (const ZipEntry& e : readZip(out() + "/" + zip + ".zip")) {
                names[zip] << e.name;
                QVERIFY2(e.utf8Flag && e.stored, qPrintable(e.name));
                QCOMPARE(jfifDpi(e.bytes), 350);
                QVERIFY(e.bytes.size() <= 60000);
                const QImage photo = jpeg::decode(e.bytes).value();
                QCOMPARE(photo.size(), QSize(358, 441));
                // Row 1's photo is made from its kept camera region.
                const QColor expected = e.name.startsWith("1101") ? original : saved;
                QVERIFY2(qAbs(photo.pixelColor(179, 220).green() - expected.green()) < 12, qPrintable(e.name));
            }
        }
        QCOMPARE(names.value("一班"), QStringList({"11010519491231002X.jpg"}));
        QCOMPARE(names.value("二班"), QStringList({"320106200809150025.jpg", "3301010001_二班_S06.jpg"}));

        const QByteArray list = readAll(out() + "/问题记录.csv");
        QVERIFY(list.startsWith("\xEF\xBB\xBF"));  // spreadsheets open the Chinese intact
        const QStringList lines = QString::fromUtf8(list).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[1], QStringLiteral("2,一班,S02,440304198506123455.jpg,没有照片"));
        QVERIFY(lines[2].startsWith(QStringLiteral("3,一班,S03,,身份证号可能被 Excel 改坏")));
        QCOMPARE(lines[3], QStringLiteral("4,二班,S04,320106200809150025.jpg,照片只有 151×186 像素，已放大到 358×441"));
        QCOMPARE(lines[4], QStringLiteral("5,二班,S05,320106200809150025.jpg,与第 4 行的上报文件名相同"));
        QCOMPARE(lines[5], QStringLiteral("7,二班,S07,11010519491231002X.jpg,与第 1 行的上报文件名相同"));
        QCOMPARE(lines[6], staged->summary());

        // Again: the older files are kept in 已替换 before they are replaced.
        Result<StagedExport> again = stageExport(job);
        const Result<QStringList> kept = again.value().publish();
        QVERIFY(kept.ok());
        QCOMPARE(kept->size(), 3);
        QVERIFY(kept->constFirst().contains(QStringLiteral("/已替换/")));
    }

    void aCancelledExportLeavesNothing()
    {
        writeSolidPhoto(photos() + "/T1.jpg", QSize(358, 441));
        ExportJob job;
        job.rows = rosterOf({{"T1", "T1", "三班"}});
        job.preset = registryPreset();
        job.photoFolder = photos();
        job.outFolder = dir_.filePath(QStringLiteral("cancelled"));
        int calls = 0;
        QVERIFY(!stageExport(job, [&calls](int, int) { return ++calls < 2; }).ok());
        QVERIFY(QDir(job.outFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // Staged and dropped unpublished: nothing either.
        QVERIFY(stageExport(job).ok());
        QVERIFY(QDir(job.outFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // With a backdrop colour each photo goes through the replacer; one it
    // cannot change goes in as it is and is listed with the reason.
    void backdropsAreReplacedOrListed()
    {
        writeSolidPhoto(photos() + "/B1.jpg", QSize(358, 441), QColor(90, 90, 90));
        writeSolidPhoto(photos() + "/B2.jpg", QSize(358, 441), QColor(10, 10, 10));
        ExportJob job;
        job.rows = rosterOf({{"B1", "B1", "四班"}, {"B2", "B2", "四班"}});
        job.preset = registryPreset();
        job.photoFolder = photos();
        job.outFolder = dir_.filePath(QStringLiteral("backdrop"));
        job.backdrop = job.preset.background;
        job.replaceBackdrop = [](const QImage& photo, const QColor& colour) -> Result<QImage> {
            if (qGray(photo.pixel(0, 0)) < 40)
                return failure(QStringLiteral("背景太杂，无法更换，请使用纯色背景布"));
            QImage replaced = photo;
            replaced.fill(colour);
            return replaced;
        };
        Result<StagedExport> staged = stageExport(job);
        QVERIFY(staged.ok());
        QCOMPARE(staged->photos, 2);
        QCOMPARE(staged->problems.size(), size_t(1));
        QCOMPARE(staged->problems.front().reason, QStringLiteral("背景太杂，无法更换，请使用纯色背景布，背景未更换"));
        QVERIFY(staged->problems.front().packed);
        QVERIFY(staged.value().publish().ok());
        for (const ZipEntry& e : readZip(job.outFolder + "/四班.zip")) {
            const QColor corner = jpeg::decode(e.bytes).value().pixelColor(5, 5);
            const QColor expected = e.name == QStringLiteral("B1.jpg") ? QColor(160, 200, 240) : QColor(10, 10, 10);
            QVERIFY2(qAbs(corner.blue() - expected.blue()) < 8, qPrintable(e.name));
        }
    }

    void theCommandSaysHowItWent_data()
    {
        // Run as the operator runs it; PHOTOS and OUT stand for the folders.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const QString ids = QStringLiteral(STATION_TEST_DATA "/roster/ids-openpyxl.xlsx");
        const QStringList common{"--folder", "PHOTOS", "-o", "OUT", "--preset", "学籍"};
        QTest::newRow("every row in") << QStringList{"--export", "clean.csv", "--name-by", "B"} + common << 0
                                      << "1 个分组，2 张照片，0 个问题";
        QTest::newRow("some rows not") << QStringList{"--export", ids, "--header-row", "--fallback", "学校_{C}_{B}"} +
                                              common
                                       << 1 << "2 个分组，3 张照片，7 个问题";
        QTest::newRow("unknown preset") << QStringList{"--export", ids,   "--folder", "PHOTOS",
                                                       "-o",       "OUT", "--preset", "护照"}
                                        << 2 << "没有照片规格“护照”";
        QTest::newRow("into the photos") << QStringList{"--export", ids,      "--folder", "PHOTOS",
                                                        "-o",       "PHOTOS", "--preset", "学籍"}
                                         << 2 << "就是照片文件夹";
        QTest::newRow("fallback column") << QStringList{"--export", ids, "--fallback", "{D}"} + common << 2 << "{D}";
        QTest::newRow("group column") << QStringList{"--export", ids, "--group-by", "F"} + common << 2 << "分组列 F";
    }
    void theCommandSaysHowItWent()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        // Photos by identity number for the fixture's rows; two rows for the clean case.
        const QString folder = dir_.filePath(QStringLiteral("byid"));
        for (const char* name : {"11010519491231002X", "320106200809150025", "110101900307123", "11010519491231002x",
                                 "4.40304198506124E+17", "440304198506123451", "S1", "S2"})
            writeSolidPhoto(folder + "/" + QString::fromUtf8(name) + ".jpg", QSize(400, 500));
        QVERIFY(writeAll(dir_.filePath("clean.csv"), "S1,11010519491231002X,一班\nS2,320106200809150025,一班\n"));
        const QString output = dir_.filePath(QStringLiteral("cli-") + QTest::currentDataTag());
        arguments.replaceInStrings(QRegularExpression("^PHOTOS$"), folder);
        arguments.replaceInStrings(QRegularExpression("^OUT$"), output);
        arguments.replaceInStrings(QRegularExpression("^clean.csv$"), dir_.filePath("clean.csv"));

        QProcess run;
        run.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), arguments);
        QVERIFY(run.waitForFinished(60000));
        const QString heard = QString::fromUtf8(run.readAllStandardOutput() + run.readAllStandardError());
        QCOMPARE(run.exitCode(), status);
        QVERIFY2(heard.contains(said), qPrintable(heard));
        if (status == 2)
            QVERIFY(!QFileInfo::exists(output));
        else
            QVERIFY(QFileInfo::exists(output + "/问题记录.csv"));
    }
};

QTEST_MAIN(UploadExportTest)
#include "tst_uploadexport.moc"
