// Photo presets: the shipped list, a user's copy and its mistakes, and the
// density and file size a preset asks of the written JPEG.
#include "jpegcodec.h"
#include "jpegfacts.h"
#include "photopreset.h"
#include "photorender.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The test portrait cut to a preset's size: a real photo's detail, so file
// sizes behave as they do at the station.
QImage portraitAt(QSize size)
{
    const QImage portrait(QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png"));
    const QSize cut = size.scaled(portrait.size(), Qt::KeepAspectRatio);
    return portrait.copy(QRect(QPoint((portrait.width() - cut.width()) / 2, 0), cut))
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

class PhotoPresetsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Runs a save job for the picture; the written bytes, or the refusal.
    Result<QByteArray> save(const QImage& picture, int dpi, KbRange kb, const QString& name)
    {
        PhotoJob job;
        job.cut = picture;
        job.size = picture.size();
        job.dpi = dpi;
        job.minBytes = kb.minBytes();
        job.maxBytes = kb.maxBytes();
        job.target.path = dir_.filePath(name);
        const Result<safewrite::Published> written = runPhotoJob(job);
        if (!written)
            return failure(written.error());
        return readAll(job.target.path);
    }

private slots:
    void initTestCase() { QVERIFY(QFileInfo(QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png")).isFile()); }

    void shippedPresetsHoldWhatSchoolsAreAskedFor()
    {
        const PresetCatalogue shipped = photopresets::load(QString());
        QVERIFY(shipped.warning.isEmpty());
        QCOMPARE(shipped.names(),
                 QStringList({"学籍", "身份证", "社保卡", "一寸", "小一寸", "二寸", "高考", "学信网"}));
        const PhotoPreset& registry = *shipped.find(QStringLiteral("学籍"));
        QCOMPARE(registry.size, QSize(358, 441));
        QCOMPARE(registry.dpi, 350);
        QCOMPARE(registry.kb.maxBytes(), 60000);
        QVERIFY(registry.background.has_value());
        QCOMPARE(registry.framing.headMin, FramingNorm::registry().headMin);
        QCOMPARE(shipped.find(QStringLiteral("身份证"))->framing.faceWidthMax,
                 FramingNorm::identityCard().faceWidthMax);
        QCOMPARE(shipped.find(QStringLiteral("身份证"))->background, std::optional<QColor>(Qt::white));
        QCOMPARE(shipped.find(QStringLiteral("学信网"))->kb.minBytes(), 30 * 1024);
        QCOMPARE(shipped.find(QStringLiteral("一寸"))->size, QSize(295, 413));
        QVERIFY(!shipped.find(PhotoPreset::customName()));
        QCOMPARE(registry.summary(), QStringLiteral("358×441 像素，350 dpi，不超过 60 KB，背景 #A0C8F0"));
    }

    void aUsersCopyReplacesTheShippedList()
    {
        const QString file = dir_.filePath(QStringLiteral("own.ini"));
        QVERIFY(writeAll(file, "\xEF\xBB\xBF# 本校\r\n[二寸]\r\n尺寸 = 413 × 626\r\n分辨率＝300\r\n大小 = 20-40\r\n"
                               "[毕业证]\n尺寸=480x640\n取景=身份证\n头部 = 0.5-0.7\n"));
        const PresetCatalogue own = photopresets::load(file);
        QVERIFY2(own.warning.isEmpty(), qPrintable(own.warning));
        QCOMPARE(own.names(), QStringList({"二寸", "毕业证"}));
        QCOMPARE(own.presets[0].size, QSize(413, 626));
        QCOMPARE(own.presets[0].dpi, 300);
        QCOMPARE(own.presets[0].kb, (KbRange{20, 40}));
        // The norm is taken whole, then a band of it changed.
        QCOMPARE(own.presets[1].framing.headMin, 0.5);
        QCOMPARE(own.presets[1].framing.topMarginMax, FramingNorm::identityCard().topMarginMax);
        QCOMPARE(own.source, QDir::toNativeSeparators(file));
    }

    void aBrokenCopyIsNamedByItsLineAndTheShippedListServes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("size") << QByteArray("[a]\n# x\n尺寸 = 358\n") << 3 << "尺寸应为";
        QTest::newRow("no size") << QByteArray("[a]\n分辨率 = 300\n\n[b]\n尺寸 = 1x1\n") << 1 << "缺少“尺寸”";
        QTest::newRow("last has no size") << QByteArray("[a]\n尺寸 = 1x1\n[b]\n") << 3 << "缺少“尺寸”";
        QTest::newRow("unknown key") << QByteArray("[a]\n尺寸 = 1x1\n颜色 = #FFFFFF\n") << 3 << "不认识的项“颜色”";
        QTest::newRow("before any preset") << QByteArray("尺寸 = 1x1\n") << 1 << "前面没有 [规格名]";
        QTest::newRow("no equals") << QByteArray("[a]\n尺寸 358x441\n") << 2 << "应为“项 = 值”";
        QTest::newRow("twice") << QByteArray("[a]\n尺寸=1x1\n[a]\n") << 3 << "重复";
        QTest::newRow("reserved name") << QByteArray("[自定义]\n") << 1 << "不能作规格名";
        QTest::newRow("range upside down") << QByteArray("[a]\n尺寸=1x1\n大小 = 60-30\n") << 3 << "高于上限";
        QTest::newRow("colour") << QByteArray("[a]\n尺寸=1x1\n背景 = 淡蓝\n") << 3 << "#RRGGBB";
        QTest::newRow("band") << QByteArray("[a]\n尺寸=1x1\n头部 = 0.8-0.6\n") << 3 << "比例范围";
        QTest::newRow("bracket") << QByteArray("[a\n") << 1 << "[ ]";
        QTest::newRow("nothing") << QByteArray("# 空\n") << 0 << "没有规格";
    }
    void aBrokenCopyIsNamedByItsLineAndTheShippedListServes()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const QString file = dir_.filePath(QStringLiteral("broken.ini"));
        QVERIFY(writeAll(file, text));
        const PresetCatalogue catalogue = photopresets::load(file);
        if (line > 0)
            QVERIFY2(catalogue.warning.contains(QStringLiteral("第 %1 行").arg(line)), qPrintable(catalogue.warning));
        QVERIFY2(catalogue.warning.contains(reason), qPrintable(catalogue.warning));
        QVERIFY(catalogue.warning.contains(QDir::toNativeSeparators(file)));
        QVERIFY(catalogue.find(QStringLiteral("学籍")));
    }

    void theJpegStatesTheDensityAndMeetsTheRange()
    {
        // The registry's photo: 350 dpi, at most 60 KB in either reading.
        const QImage registry = portraitAt(QSize(358, 441));
        const Result<QByteArray> saved = save(registry, 350, KbRange{0, 60}, QStringLiteral("registry.jpg"));
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(jfifDpi(saved.value()), 350);
        QVERIFY(saved->size() <= 60000);
        QCOMPARE(jpeg::decode(saved.value())->size(), QSize(358, 441));
        // Without a preset nothing is stated, as before.
        QCOMPARE(jfifDpi(save(registry, 0, {}, QStringLiteral("plain.jpg")).value()), 0);

        // A limit under what quality 90 gives lowers the quality until it fits.
        const qint64 plain = jpeg::encode(registry, 90)->size();
        const int tight = int(plain * 6 / 10 / 1000);
        const Result<QByteArray> fitted = save(registry, 350, KbRange{0, tight}, QStringLiteral("fitted.jpg"));
        QVERIFY2(fitted.ok(), qPrintable(fitted.error()));
        QVERIFY(fitted->size() <= tight * 1000);

        // A minimum over what quality 90 gives raises the quality; still 350 dpi.
        const int floor = int(plain * 13 / 10 / 1024);
        const Result<QByteArray> raised = save(registry, 350, KbRange{floor, 0}, QStringLiteral("raised.jpg"));
        QVERIFY2(raised.ok(), qPrintable(raised.error()));
        QVERIFY(raised->size() >= floor * 1024);
        QCOMPARE(jfifDpi(raised.value()), 350);

        // A range no quality reaches is refused with the figures; no file is left.
        QImage flat(480, 640, QImage::Format_RGB32);
        flat.fill(QColor(160, 200, 240));
        const Result<QByteArray> thin = save(flat, 0, KbRange{30, 0}, QStringLiteral("thin.jpg"));
        QVERIFY(!thin.ok());
        QVERIFY2(thin.error().contains(QStringLiteral("达不到 30 KB（30720 字节）")), qPrintable(thin.error()));
        QVERIFY2(thin.error().contains(QStringLiteral("质量 100 时最大为")), qPrintable(thin.error()));
        const Result<QByteArray> fat = save(registry, 0, KbRange{0, 2}, QStringLiteral("fat.jpg"));
        QVERIFY(!fat.ok());
        QVERIFY2(fat.error().contains(QStringLiteral("无法压缩到 2 KB（2000 字节）以内")), qPrintable(fat.error()));
        for (const char* refused : {"thin.jpg", "fat.jpg"})
            QVERIFY(!QFile::exists(dir_.filePath(QString::fromLatin1(refused))));
    }
};

QTEST_MAIN(PhotoPresetsTest)
#include "tst_photopresets.moc"
