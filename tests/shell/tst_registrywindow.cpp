// What the main window does for the photos a registry asks for: the 照片规格
// chooser (a preset fills the size boxes and decides the saved file's dpi
// and KB range, a typed size makes it 自定义), the identity numbers checked
// at import, and 导出上报.
#include "capturesource.h"
#include "cellcolours.h"
#include "idcheckcontroller.h"
#include "jpegfacts.h"
#include "photoservice.h"
#include "presetchooser.h"
#include "reportcontroller.h"
#include "rostercontroller.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "searchcontroller.h"
#include "stationfixture.h"
#include "testfiles.h"
#include "viewfindercontroller.h"

#include <QtTest>

class RegistryWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;

    template <class T> T* unit(const char* name) { return f->unit<T>(name); }
    QComboBox* chooser() { return unit<QComboBox>("照片规格选择框"); }
    const PhotoPreset& preset() { return f->photos().session().preset(); }
    // The photo of the n-th free take.
    QByteArray photo(int n)
    {
        return readAll(f->photoFolder() + "/" + PhotoService::autoNamePrefix() + QString::number(n) + ".jpg");
    }

private slots:
    void initTestCase()
    {
        capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });
    }
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void choosingFillsTheBoxesAndTypingMakesItCustom()
    {
        QLineEdit* width = unit<QLineEdit>("编辑框3");
        QLineEdit* height = unit<QLineEdit>("编辑框4");
        // Usable with the size boxes: once the preview is on.
        QVERIFY(!chooser()->isEnabled());
        QCOMPARE(chooser()->currentText(), PhotoPreset::customName());
        f->previewOn();
        QVERIFY(chooser()->isEnabled() && width->isEnabled());
        QCOMPARE(chooser()->itemText(chooser()->count() - 1), PhotoPreset::customName());

        // The operator picks the first entry, 学籍, with the keyboard.
        chooser()->setFocus();
        QTest::keyClick(chooser(), Qt::Key_Home);
        QCOMPARE(chooser()->currentText(), QStringLiteral("学籍"));
        QCOMPARE(width->text(), QStringLiteral("358"));
        QCOMPARE(height->text(), QStringLiteral("441"));
        QCOMPARE(f->window->viewfinder->target(), QSize(358, 441));
        QCOMPARE(preset().dpi, 350);
        QVERIFY(chooser()->toolTip().contains(QStringLiteral("不超过 60 KB")));

        // Photos are saved to it: 350 dpi, within 60 KB as 1000 bytes each.
        unit<QCheckBox>("选择框2")->click();  // free shooting, numbered
        unit<QCheckBox>("选择框1")->click();  // saved at once
        f->take();
        const QByteArray first = photo(1);
        QCOMPARE(jfifDpi(first), 350);
        QVERIFY(first.size() > 0 && first.size() <= 60000);
        QCOMPARE(jpeg::decode(first)->size(), QSize(358, 441));

        // 大小上限 narrows the preset's maximum.
        const int narrower = int(first.size() * 6 / 10 / 1000);
        unit<QLineEdit>("大小上限编辑框")->setText(QString::number(narrower));
        f->take();
        QCOMPARE(jfifDpi(photo(2)), 350);
        QVERIFY(photo(2).size() <= narrower * 1000);
        unit<QLineEdit>("大小上限编辑框")->clear();

        // A size typed by hand is 自定义: the preset's dpi no longer holds.
        width->setFocus();
        QTest::keyClick(width, Qt::Key_End);
        QTest::keyClick(width, Qt::Key_Backspace);
        QTest::keyClick(width, Qt::Key_0);
        QCOMPARE(f->window->viewfinder->target(), QSize(350, 441));
        QCOMPARE(chooser()->currentText(), PhotoPreset::customName());
        QVERIFY(preset().isCustom());
        f->take();
        QCOMPARE(jfifDpi(photo(3)), 0);
        QCOMPARE(jpeg::decode(photo(3))->size(), QSize(350, 441));

        // Choosing again fills the boxes again.
        QVERIFY(f->window->presets->choose(QStringLiteral("二寸")));
        QCOMPARE(f->window->viewfinder->target(), QSize(413, 579));
        QCOMPARE(chooser()->currentText(), QStringLiteral("二寸"));
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void aBrokenPresetsFileIsSaidOnceAndTheShippedOnesServe()
    {
        f.reset();
        const QString file = photopresets::userFile();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(writeAll(file, "[本校]\n尺寸 = 358x441\n大小 = 六十\n"));
        f = std::make_unique<StationFixture>();
        QTRY_COMPARE(f->dialogs.messages.size(), 1);
        QVERIFY2(f->dialogs.texts().constFirst().contains(QStringLiteral("第 3 行")),
                 qPrintable(f->dialogs.texts().constFirst()));
        QCOMPARE(chooser()->itemText(0), QStringLiteral("学籍"));
        QVERIFY(QFile::remove(file));
    }

    void damagedIdNumbersAreMarkedAndSaidOnceAtImport()
    {
        RosterState& roster = f->window->rosterState();
        f->window->roster()->dropFiles({StationFixture::data("roster/ids-xlsxwriter.xlsx")});
        QTRY_VERIFY(!roster.importing());
        QCOMPARE(roster.rowCount(), 11);
        // Told once, after the import; nothing refused.
        QCOMPARE(f->dialogs.messages.size(), 1);
        QVERIFY2(
            f->dialogs.texts().constFirst().contains(QStringLiteral("第 3、5、6、7 行的身份证号可能被 Excel 改坏")),
            qPrintable(f->dialogs.texts().constFirst()));
        QVERIFY(f->dialogs.texts().constFirst().contains(QStringLiteral("第 8 行的身份证号有误")));
        const auto background = [&roster](int row, int column) {
            return roster.model()->data(roster.model()->index(row, column), Qt::BackgroundRole).value<QColor>();
        };
        for (const int row : {2, 4, 5, 6, 7})
            QCOMPARE(background(row, 0), IdCheckController::markColour());
        for (const int row : {1, 3, 8, 9})
            QVERIFY(background(row, 0) != IdCheckController::markColour());
        QVERIFY(background(2, 1) != IdCheckController::markColour());  // only the number's cell

        // A search's colours neither clear the marks nor are hidden by them.
        CellColours& colours = f->window->search->cellColours();
        colours.SetCellColour(2, 0, Qt::red, QColor(), false);
        QCOMPARE(background(2, 0), IdCheckController::markColour());
        QCOMPARE(roster.model()->data(roster.model()->index(2, 0), Qt::ForegroundRole).value<QColor>(),
                 QColor(Qt::red));
        colours.ClearCellColours();
        QCOMPARE(background(2, 0), IdCheckController::markColour());

        // The marks follow the photo-name column: names hold no numbers.
        roster.setPhotoNameColumn(1);
        QVERIFY(background(2, 0) != IdCheckController::markColour());
        QCOMPARE(f->dialogs.messages.size(), 1);
    }

    void theExportPacksEachClassToTheChosenPreset()
    {
        const QString photos = f->photoFolder();
        for (const char* name : {"S1", "S2", "S3"})
            writeSolidPhoto(photos + "/" + QString::fromUtf8(name) + ".jpg", QSize(600, 800));
        Roster rows;
        for (const QStringList& row : QList<QStringList>{
                 {"S1", "张三", "一班"}, {"S2", "李四", "二班"}, {"S3", "王五", "二班"}, {"S4", "赵六", "二班"}})
            rows.push_back({{row[0], row[1], row[2], QString()}});
        f->window->rosterState().setRows(rows);
        QVERIFY(f->window->presets->choose(QStringLiteral("一寸")));
        QPushButton* button = unit<QPushButton>("按钮导出上报");
        QVERIFY(button->isEnabled());

        // Cancelled at once: no file at all.
        const QString out = f->folder.filePath(QStringLiteral("上报"));
        f->dialogs.folderAnswers.enqueue(out);
        QSignalSpy finished(f->window->reports, &ReportController::reportFinished);
        button->click();
        f->window->reports->cancel();
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.takeFirst().constFirst().toBool(), false);
        QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());

        // Written: a zip per class of 一寸 photos, and the missing S4 listed.
        f->dialogs.folderAnswers.enqueue(out);
        button->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(finished.takeFirst().constFirst().toBool());
        QVERIFY(f->dialogs.textPrompts.isEmpty());  // no identity numbers: no fallback asked
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"一班.zip", "二班.zip", "问题记录.csv"}));
        QVERIFY2(f->dialogs.texts().constLast().contains(QStringLiteral("2 个分组，3 张照片，1 个问题")),
                 qPrintable(f->dialogs.texts().constLast()));
        QVERIFY(readAll(out + "/问题记录.csv").contains("4,二班,S4,S4.jpg,没有照片"));
        const QByteArray zip = readAll(out + "/二班.zip");
        QVERIFY(zip.contains("S2.jpg") && zip.contains("S3.jpg") && !zip.contains("S4.jpg"));
        QVERIFY(
            zip.contains(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x01\x2C\x01\x2C", 18)));  // 300 dpi
    }
};

QTEST_MAIN(RegistryWindowTest)
#include "tst_registrywindow.moc"
