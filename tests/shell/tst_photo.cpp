// The road of one photo through the real main window: taken from the test
// camera through the frame, saved under its person's name, the roster moving
// on; the comparison before any replacement; and the ways a wrong picture
// could end up under a name, each refused.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "capturesource.h"
#include "drawpanel.h"
#include "duplicatephotowindow.h"
#include "jpegcodec.h"
#include "photo/recordingsoundoutput.h"
#include "photocontroller.h"
#include "photocut.h"
#include "photofile.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "stationfixture.h"
#include "testfiles.h"
#include "testroster.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// Sequential (baseline) JPEG: a SOF0 marker and no progressive SOF2.
bool isBaselineJpeg(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xD8") && bytes.contains(QByteArray("\xFF\xC0", 2)) &&
           !bytes.contains(QByteArray("\xFF\xC2", 2));
}

// Every file in the folder with its bytes, subfolders included.
QMap<QString, QByteArray> folderContents(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readAll(path));
    }
    return files;
}

// The black caption's pixels in the lower part of a photo, where the test
// camera's picture is much lighter (its green rises downwards).
QRect captionInk(const QImage& img)
{
    QRect box;
    for (int y = img.height() * 6 / 10; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 60)
                box |= QRect(x, y, 1, 1);
    return box;
}

const QString prefix = QStringLiteral("Velk学籍照相相片");

}  // namespace

class PhotoTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    MainWindow& w() { return *f->window; }
    PhotoSession& session() { return w().photo->session(); }
    PhotoService& service() { return w().photo->service(); }
    RosterController* roster() { return w().roster(); }
    DuplicatePhotoWindow* duplicate() { return w().duplicateWindow(); }
    QString photo(const QString& name) { return f->photoFolder() + "/" + name + ".jpg"; }

    template <class T> T* unit(const char* name) { return f->unit<T>(name); }
    template <class T> T* comparisonUnit(const char* name)
    {
        T* found = duplicate()->findChild<T*>(QString::fromUtf8(name));
        if (!found)
            qFatal("no comparison unit %s", name);
        return found;
    }
    QPushButton* saveButton() { return unit<QPushButton>("保存按钮"); }
    capControl* camera() { return f->camera(); }
    QLineEdit* fileNameBox() { return unit<QLineEdit>("编辑框1"); }
    QString status() { return w().status(); }

    void previewOn() { f->previewOn(); }
    void importRoster() { f->importClass(); }
    void setRoster(const QStringList& names)
    {
        QList<QStringList> rows;
        for (const QString& name : names)
            rows << QStringList{name, QStringLiteral("初一")};
        roster()->roster()->setRoster(rosterOf(rows));
        roster()->list()->setCurrentRow(0);
    }
    void autoSave(bool on) { f->check("选择框1", on); }
    void freeShooting(bool on) { f->check("选择框2", on); }
    void manualNaming(bool on) { f->check("选择框3", on); }
    void waitForSave() { f->waitForSave(); }
    void take() { f->take(); }
    void clickSave()
    {
        saveButton()->click();
        waitForSave();
    }
    bool savePhoto()
    {
        const bool started = w().photo->SavePhoto();
        waitForSave();
        return started;
    }
    void setTarget(QSize size)
    {
        unit<QLineEdit>("编辑框3")->setText(QString::number(size.width()));
        unit<QLineEdit>("编辑框4")->setText(QString::number(size.height()));
        QCOMPARE(w().viewfinder->target(), size);
    }
    void typeName(const QString& name) { fileNameBox()->setText(name); }
    void chooseInComparison(bool keepOld)
    {
        comparisonUnit<QRadioButton>(keepOld ? "单选框1" : "单选框2")->setChecked(true);
        comparisonUnit<QPushButton>("按钮1")->click();
        waitForSave();
    }

private slots:
    void initTestCase()
    {
        capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });
    }
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void rosterPhotoIsTheCameraPictureUnderTheFrame()
    {
        previewOn();
        f->takeFirstUncaptioned();

        const QByteArray bytes = readAll(f->firstPhoto());
        QVERIFY(isBaselineJpeg(bytes));
        const Result<QImage> saved = jpeg::decode(bytes);
        QVERIFY(saved.ok());
        QCOMPARE(saved->size(), QSize(151, 201));

        // Each pixel's colour tells where it was in the camera picture: it
        // must come from under the frame's interior, the edges too (no
        // outline colour and no blank strip).
        const QString mismatch =
            f->testCameraMismatch(saved.value(),
                                  {QPoint(3, 3), QPoint(147, 3), QPoint(75, 100), QPoint(3, 197), QPoint(147, 197),
                                   QPoint(0, 100), QPoint(150, 100), QPoint(75, 0), QPoint(75, 200)},
                                  12);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

        // The roster moved on and marked the saved person.
        QCOMPARE(roster()->currentRow(), 1);
        QCOMPARE(w().rosterState().savedCurrentRow(), 1);
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QTRY_COMPARE(status(), QStringLiteral("当前状态: 保存相片成功!"));
        QCOMPARE(unit<QLabel>("透明标签5")->text(), QStringLiteral("张三  20120001"));
        QCOMPARE(unit<QLabel>("透明标签3")->text(), QStringLiteral("张三.jpg"));  // follows the current person
        QVERIFY(f->dialogs.messages.isEmpty());
        QVERIFY(!saveButton()->isEnabled());
    }

    void saveAnnouncesTheNextPerson()
    {
        importRoster();
        previewOn();
        autoSave(true);
        QList<int> spoken;
        roster()->announceRow = [&spoken](int row) { spoken << row; };
        take();
        take();
        QCOMPARE(spoken, (QList<int>{1, 2}));
        QCOMPARE(w().rosterState().savedCurrentRow(), 2);
    }

    void shutterIsHeardOnATake()
    {
        RecordingSoundOutput::Record record;
        SoundPlayer::setDefaultOutputFactory(RecordingSoundOutput::recorder(record));
        auto restore = qScopeGuard([] { SoundPlayer::setDefaultOutputFactory(makeAudioSinkOutput); });
        f = std::make_unique<StationFixture>();  // its player records
        auto closeFirst = qScopeGuard([this] { f.reset(); });  // before the record goes
        importRoster();
        previewOn();
        w().toggleSound();
        QVERIFY(w().appState().soundOn());
        take();
        QTRY_VERIFY(record.played.size() >= parseWav(shutterSoundWav()).samples.size());
        QVERIFY(record.played.startsWith(parseWav(shutterSoundWav()).samples));
    }

    void captionIsStampedOnlyWhenOn()
    {
        importRoster();
        previewOn();
        autoSave(true);
        roster()->list()->setCurrentRow(1);
        take();  // caption on: "张三 20120001" at the bottom left
        unit<QPushButton>("保存字幕")->click();
        QCOMPARE(unit<QPushButton>("保存字幕")->text(), QStringLiteral("开启字幕"));
        QCOMPARE(unit<QLabel>("标签1")->text(), QStringLiteral("关闭状态"));
        take();  // row 2, caption off
        const Result<QImage> with = loadJpeg(photo(QStringLiteral("张三")));
        const Result<QImage> without = loadJpeg(photo(QStringLiteral("李四")));
        QVERIFY(with.ok() && without.ok());
        QVERIFY2(!captionInk(with.value()).isEmpty(), "the caption is missing");
        QVERIFY(captionInk(without.value()).isEmpty());
    }

    void captionIsWholeAtEverySize_data()
    {
        QTest::addColumn<QSize>("size");
        for (const QSize s : {QSize(151, 201), QSize(358, 441), QSize(480, 640), QSize(640, 480), QSize(1000, 200)})
            QTest::addRow("%dx%d", s.width(), s.height()) << s;
    }
    void captionIsWholeAtEverySize()
    {
        QFETCH(QSize, size);
        importRoster();
        previewOn();
        setTarget(size);
        autoSave(true);
        take();
        const Result<QImage> saved = loadJpeg(photo(QStringLiteral("姓名")));
        QVERIFY(saved.ok());
        QCOMPARE(saved->size(), size);
        // On the photo, whole, along its bottom edge, and as tall as the
        // photo's height says (not as a screen's resolution says).
        const QRect ink = captionInk(saved.value());
        QVERIFY2(!ink.isEmpty(), "no caption on the photo");
        QVERIFY2(
            ink.left() > 0 && ink.right() < size.width() - 1 && ink.bottom() < size.height() - 1 &&
                ink.top() > size.height() * 0.8,
            qPrintable(
                QStringLiteral("caption at %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
        QVERIFY(ink.height() >= size.height() * 0.025);
    }

    void cutHasTheTargetsAspect_data()
    {
        QTest::addColumn<QSize>("size");
        for (const QSize s : {QSize(151, 201), QSize(358, 441), QSize(640, 480), QSize(1000, 200)})
            QTest::addRow("%dx%d", s.width(), s.height()) << s;
    }
    void cutHasTheTargetsAspect()
    {
        QFETCH(QSize, size);
        importRoster();
        previewOn();
        setTarget(size);
        take();
        QVERIFY(service().hasUnsavedTake());
        const QSize cut = service().take()->cut.size();
        QVERIFY2(aspectDistortion(cut, size) < 0.002, qPrintable(QStringLiteral("cut %1x%2 stretched by %3%")
                                                                     .arg(cut.width())
                                                                     .arg(cut.height())
                                                                     .arg(aspectDistortion(cut, size) * 100)));
    }

    void largeTargetKeepsCameraDetail()
    {
        capture::CaptureFormat big;
        big.size = QSize(1280, 960);
        QVERIFY(camera()->setCaptureFormat(big));
        importRoster();
        previewOn();
        QTRY_COMPARE_WITH_TIMEOUT(camera()->latestFrame().size(), QSize(1280, 960), 10000);
        setTarget(QSize(600, 800));
        take();
        // The take keeps the cut at camera resolution, far more than the pane's 184 pixels.
        QVERIFY(service().take()->cut.width() > 400);
        clickSave();
        const Result<QImage> saved = loadJpeg(photo(QStringLiteral("姓名")));
        QVERIFY(saved.ok());
        QCOMPARE(saved->size(), QSize(600, 800));
    }

    void upscalingIsSaidAtTakeTime()
    {
        importRoster();
        previewOn();
        setTarget(QSize(600, 800));  // about 240x320 camera pixels under the frame
        take();
        QVERIFY(service().hasUnsavedTake());  // taken all the same
        QVERIFY2(status().startsWith(QStringLiteral("当前状态: 照相已成功! 注意: 取景框内只有")), qPrintable(status()));
        QVERIFY(status().contains(QStringLiteral("照片将放大到600×800")));
    }

    void lastRowSaysPhotographingMayBeComplete()
    {
        importRoster();
        previewOn();
        autoSave(true);
        roster()->list()->setCurrentRow(4);
        take();
        QVERIFY(QFile::exists(photo(QStringLiteral("赵六"))));
        // Once the marks are counted: how many are done, and the missing list offered.
        QTRY_COMPARE(f->dialogs.texts(),
                     QStringList{QStringLiteral("照相可能已完成,请检查有无遗漏!\n共 5 人，已照 1 人，未照 4 人。")});
        QCOMPARE(f->dialogs.messages[0].title, QStringLiteral("温馨提示"));
        QCOMPARE(f->dialogs.questions, QStringList{QStringLiteral("还有 4 人未照，是否保存未照名单？")});
        QCOMPARE(roster()->currentRow(), 4);
        QCOMPARE(status(), QStringLiteral("已是最后一位  照相可能即将结束"));
        QCOMPARE(unit<QLabel>("进度标签")->text(), QStringLiteral("已照 1 / 5"));
    }

    void freeShootingNumbersItsPhotos()
    {
        previewOn();
        autoSave(true);
        freeShooting(true);
        QVERIFY(!session().manualNaming());
        QVERIFY(fileNameBox()->isEnabled());
        for (int n = 1; n <= 3; ++n) {
            take();
            QVERIFY2(QFile::exists(photo(prefix + QString::number(n))), qPrintable(QString::number(n)));
            QCOMPARE(unit<QLabel>("透明标签3")->text(), prefix + QString::number(n + 1));
            QCOMPARE(fileNameBox()->text(), unit<QLabel>("透明标签3")->text());
            QCOMPARE(status(), QStringLiteral("当前状态: 保存照片完成!"));
        }
    }

    void freeNumbersNeverReplaceAPhoto()
    {
        // Numbers left by an earlier run stay; the next ones come after them.
        writeSolidPhoto(photo(prefix + "1"));
        writeSolidPhoto(photo(prefix + "2"));
        const auto before = folderContents(f->photoFolder());
        previewOn();
        autoSave(true);
        freeShooting(true);
        take();
        QVERIFY(!duplicate()->isVisible());
        QVERIFY(QFile::exists(photo(prefix + "3")));
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(readAll(f->photoFolder() + "/" + it.key()), it.value());
        QCOMPARE(fileNameBox()->text(), prefix + "4");
    }

    void failedSaveKeepsItsNumber()
    {
        previewOn();
        autoSave(true);
        freeShooting(true);
        const QString folder = w().appState().photoFolder();
        QFile blocker(f->folder.path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w().appState().setPhotoFolder(blocker.fileName() + "/photos");
        take();
        QCOMPARE(status(), QStringLiteral("当前状态: 照片未保存!"));
        w().appState().setPhotoFolder(folder);
        take();
        QVERIFY(QFile::exists(photo(prefix + "1")));
        QCOMPARE(fileNameBox()->text(), prefix + "2");
    }

    void manualNamingSavesTheTypedName()
    {
        previewOn();
        freeShooting(true);
        QVERIFY(session().manualNaming());  // without automatic saving, manual naming comes on
        take();
        QCOMPARE(status(), QStringLiteral("照相已成功，等侍输入保存文件名！"));
        QVERIFY(!saveButton()->isEnabled());  // no name yet
        typeName(QStringLiteral("王小明.jpg"));
        QVERIFY(saveButton()->isEnabled());
        clickSave();
        // The typed name is used as it stands, with ".jpg" added.
        QVERIFY(QFile::exists(photo(QStringLiteral("王小明.jpg"))));
        QCOMPARE(fileNameBox()->text(), QString());

        // An empty name is refused with a message and nothing is written.
        take();
        const int before = QDir(f->photoFolder()).entryList(QDir::Files).size();
        QVERIFY(!w().photo->SavePhoto());
        QCOMPARE(f->dialogs.messages.size(), 1);
        QCOMPARE(QDir(f->photoFolder()).entryList(QDir::Files).size(), before);
    }

    void saveOnlyWhileAnUnsavedTakeExists_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("nothing taken since the import") << "import";
        QTest::newRow("the take is saved already") << "saved";
        QTest::newRow("another row became current") << "row";
        QTest::newRow("a saved photo is shown") << "shown";
        QTest::newRow("a roster was imported") << "reimport";
        QTest::newRow("another target size") << "size";
    }
    void saveOnlyWhileAnUnsavedTakeExists()
    {
        QFETCH(QString, situation);
        writeSolidPhoto(photo(QStringLiteral("李四")));
        importRoster();
        previewOn();
        if (situation == "saved") {
            take();
            QVERIFY(saveButton()->isEnabled());
            clickSave();  // 姓名 saved, 张三 current
        } else if (situation == "row") {
            take();
            roster()->list()->setCurrentRow(3);
        } else if (situation == "shown") {
            take();
            roster()->list()->setCurrentRow(2);
            emit roster()->list()->listClicked();  // the old photo of 李四 is shown
        } else if (situation == "reimport") {
            take();
            importRoster();
        } else if (situation == "size") {
            take();
            setTarget(QSize(300, 400));
        }
        const auto before = folderContents(f->photoFolder());
        const int row = roster()->currentRow();
        QVERIFY(!saveButton()->isEnabled());
        QVERIFY(!service().hasUnsavedTake());
        QVERIFY(!w().photo->SavePhoto());
        QCOMPARE(f->dialogs.texts().last(), QStringLiteral("照片未保存：没有新拍的照片，请先照相。"));
        QCOMPARE(folderContents(f->photoFolder()), before);
        QCOMPARE(roster()->currentRow(), row);
    }

    void unwritableFolderKeepsTheRowAndSaysSo()
    {
        importRoster();
        previewOn();
        autoSave(true);
        // A folder that cannot be made: a plain file stands where a folder should be.
        QFile blocker(f->folder.path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w().appState().setPhotoFolder(blocker.fileName() + "/photos");
        take();
        QCOMPARE(roster()->currentRow(), 0);
        QCOMPARE(f->dialogs.messages.size(), 1);
        QVERIFY(f->dialogs.messages[0].text.startsWith(QStringLiteral("照片未保存")));
        QCOMPARE(status(), QStringLiteral("当前状态: 照片未保存!"));
        QVERIFY(roster()->roster()->cell(0, 3).isEmpty());

        // A vanished folder is made again, whole.
        w().appState().setPhotoFolder(f->folder.path() + "/gone/again/photos");
        take();
        QVERIFY(QFile::exists(w().appState().photoFolder() + "/姓名.jpg"));
        QCOMPARE(roster()->currentRow(), 1);
    }

    void interruptedWriteKeepsTheOldPhoto()
    {
        importRoster();
        previewOn();
        const QString old = photo(QStringLiteral("姓名"));
        writeSolidPhoto(old);
        const QByteArray oldBytes = readAll(old);
        take();  // the comparison opens
        QVERIFY(duplicate()->isVisible());

        // Writes end early, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tiny = saved;
        tiny.rlim_cur = 512;
        setrlimit(RLIMIT_FSIZE, &tiny);
        chooseInComparison(false);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(readAll(old), oldBytes);
        QCOMPARE(roster()->currentRow(), 0);
        QCOMPARE(status(), QStringLiteral("当前状态: 照片保存失败!"));
        QCOMPARE(folderContents(f->photoFolder()).keys(), QStringList{QStringLiteral("姓名.jpg")});
    }

    void existingPhotoOpensTheComparison()
    {
        importRoster();
        previewOn();
        autoSave(true);
        const QString first = photo(QStringLiteral("姓名"));
        const QString second = photo(QStringLiteral("张三"));
        writeSolidPhoto(first);
        writeSolidPhoto(second);
        const QByteArray firstBytes = readAll(first);

        take();
        QVERIFY(duplicate()->isVisible());
        QVERIFY(!saveButton()->isEnabled());
        QCOMPARE(readAll(first), firstBytes);  // nothing saved yet, even with automatic saving
        QCOMPARE(roster()->currentRow(), 0);
        // The old photo on the left (green), the new one on the right.
        auto* left = comparisonUnit<DrawPanel>("画板1");
        const QImage shownOld = left->retainedImage().scaled(left->size());
        QVERIFY(qGreen(shownOld.pixel(50, 50)) > 150 && qRed(shownOld.pixel(50, 50)) < 60);
        QCOMPARE(comparisonUnit<DrawPanel>("画板2")->retainedImage(), unit<DrawPanel>("画板1")->retainedImage());

        // "原照片" keeps the file and still moves on.
        chooseInComparison(true);
        QCOMPARE(readAll(first), firstBytes);
        QCOMPARE(roster()->currentRow(), 1);
        QVERIFY(!duplicate()->isVisible());

        // Each comparison starts with the new photo chosen: a choice made
        // once never throws later retakes away.
        take();
        QVERIFY(duplicate()->isVisible());
        QVERIFY(comparisonUnit<QRadioButton>("单选框2")->isChecked());
    }

    void replacedPhotoIsKeptAside()
    {
        importRoster();
        previewOn();
        const QString old = photo(QStringLiteral("姓名"));
        writeSolidPhoto(old);
        const QByteArray oldBytes = readAll(old);
        take();
        QVERIFY(duplicate()->isVisible());
        chooseInComparison(false);
        QVERIFY(readAll(old) != oldBytes);
        const QStringList kept = QDir(f->photoFolder() + "/已替换").entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^姓名-\\d{8}-\\d{6}\\.jpg$")).match(kept[0]).hasMatch(),
                 qPrintable(kept[0]));
        QCOMPARE(readAll(f->photoFolder() + "/已替换/" + kept[0]), oldBytes);
        QVERIFY(status().contains(QStringLiteral("已替换")));

        // The photographed check looks at the folder itself only: a photo kept
        // aside marks nobody.
        QFile::copy(old, f->photoFolder() + "/已替换/李四.jpg");
        roster()->roster()->setCell(0, 3, QString());
        roster()->CheckPhotos();
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QCOMPARE(roster()->roster()->cell(2, 3), QString());
    }

    void everyReplacementIsCompared_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("typed name that exists") << "typed";
        QTest::newRow("roster photo made meanwhile") << "roster";
    }
    void everyReplacementIsCompared()
    {
        // The name is checked when the photo is saved, not only when it is taken.
        QFETCH(QString, mode);
        previewOn();
        QString path;
        if (mode == "typed") {
            freeShooting(true);
            path = photo(QStringLiteral("王小明"));
            writeSolidPhoto(path);
            take();  // no name yet: nothing to compare
            QVERIFY(!duplicate()->isVisible());
            typeName(QStringLiteral("王小明"));
        } else {
            importRoster();
            path = photo(QStringLiteral("姓名"));
            take();
            writeSolidPhoto(path);  // e.g. copied in by a colleague
        }
        const QByteArray oldBytes = readAll(path);
        saveButton()->click();
        QVERIFY(duplicate()->isVisible());
        QCOMPARE(readAll(path), oldBytes);
        QVERIFY(!saveButton()->isEnabled());
        chooseInComparison(false);
        QVERIFY(readAll(path) != oldBytes);
        QCOMPARE(QDir(f->photoFolder() + "/已替换").entryList(QDir::Files).size(), 1);
    }

    void keepingTheOldPhotoKeepsFreeShooting()
    {
        importRoster();
        previewOn();
        freeShooting(true);
        const QString typed = photo(QStringLiteral("王小明"));
        writeSolidPhoto(typed);
        const QByteArray oldBytes = readAll(typed);
        typeName(QStringLiteral("王小明"));
        take();
        QVERIFY(duplicate()->isVisible());
        chooseInComparison(true);
        QCOMPARE(readAll(typed), oldBytes);
        // Still free shooting with no current row: the next photo is not the first student's.
        QCOMPARE(roster()->currentRow(), -1);
        QVERIFY(session().freeShooting());
        typeName(QStringLiteral("王小红"));
        take();
        clickSave();
        QVERIFY(QFile::exists(photo(QStringLiteral("王小红"))));
        QVERIFY(!QFile::exists(photo(QStringLiteral("姓名"))));
    }

    void changedNamesAreShownAndNeverShared()
    {
        previewOn();
        setRoster({QStringLiteral("a/b"), QStringLiteral("a_b"), QStringLiteral("c")});
        // 文件名 shows the file the photo goes to.
        QCOMPARE(unit<QLabel>("透明标签3")->text(), QStringLiteral("a_b.jpg"));
        autoSave(true);
        take();
        QVERIFY(QFile::exists(photo(QStringLiteral("a_b"))));
        QVERIFY2(status().contains(QStringLiteral("“a/b”")) && status().contains(QStringLiteral("“a_b.jpg”")),
                 qPrintable(status()));
        QCOMPARE(roster()->currentRow(), 1);
        QCOMPARE(unit<QLabel>("透明标签3")->text(), QStringLiteral("a_b.jpg"));

        // The next person's file is the same: refused, naming both rows, never
        // offered as a replacement.
        const QByteArray first = readAll(photo(QStringLiteral("a_b")));
        take();
        QVERIFY(!duplicate()->isVisible());
        QCOMPARE(readAll(photo(QStringLiteral("a_b"))), first);
        QCOMPARE(roster()->currentRow(), 1);
        const QString message = f->dialogs.texts().last();
        QVERIFY2(message.contains(QStringLiteral("第1行“a/b”")) && message.contains(QStringLiteral("第2行“a_b”")),
                 qPrintable(message));
        QCOMPARE(status(), QStringLiteral("当前状态: 照片未保存!"));
        // The photo check marks only the row the file belongs to.
        QTest::mouseClick(unit<QWidget>("按钮检查照片"), Qt::LeftButton);
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QCOMPARE(roster()->roster()->cell(1, 3), QString());
    }

    void badSizesAreRefused_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty height") << "编辑框4"
                                      << "";
        QTest::newRow("zero height") << "编辑框4"
                                     << "0";
        QTest::newRow("negative width") << "编辑框3"
                                        << "-5";
        QTest::newRow("letters") << "编辑框4"
                                 << "abc";
        QTest::newRow("too wide") << "编辑框3"
                                  << "10001";
    }
    void badSizesAreRefused()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        importRoster();
        previewOn();
        take();  // a good photo, waiting to be saved
        auto* edit = unit<QLineEdit>(box.toUtf8().constData());
        const QString good = edit->text();
        const QRect frame = unit<QWidget>("外形框1")->geometry();
        edit->setText(text);
        // Marked at once, the layout kept.
        QCOMPARE(edit->palette().color(QPalette::Base), QColor(255, 150, 150));
        QVERIFY(edit->toolTip().contains(QStringLiteral("1到10000")));
        QCOMPARE(unit<QWidget>("外形框1")->geometry(), frame);

        QVERIFY(!w().photo->SavePhoto());
        QVERIFY(f->dialogs.texts().last().startsWith(QStringLiteral("照片未保存：相片分辨率")));
        take();
        QVERIFY(f->dialogs.texts().last().startsWith(QStringLiteral("照相失败：相片分辨率")));
        QVERIFY(QDir(f->photoFolder()).entryList(QDir::Files).isEmpty());

        // Mended, the photo is saved at the size the frame was laid out for.
        edit->setText(good);
        QCOMPARE(edit->toolTip(), QString());
        QVERIFY(savePhoto());
        QCOMPARE(QImageReader(photo(QStringLiteral("姓名"))).size(), QSize(151, 201));
    }

    void largeSaveKeepsTheWindowPainting()
    {
        importRoster();
        previewOn();
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        setTarget(QSize(10000, 10000));
        take();
        auto* statusLabel = unit<QLabel>("透明标签1");
        int paints = 0;
        struct PaintCounter : QObject {
            int& count;
            PaintCounter(int& c)
                : count(c)
            {
            }
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Paint)
                    ++count;
                return false;
            }
        } counter(paints);
        statusLabel->installEventFilter(&counter);

        saveButton()->click();
        // The click came back before the photo was written.
        QVERIFY(service().saving());
        QVERIFY(!saveButton()->isEnabled());
        QVERIFY(!QFile::exists(photo(QStringLiteral("姓名"))));
        statusLabel->update();
        QTRY_VERIFY(paints > 0);
        QVERIFY(service().saving());  // painted while the save still ran

        QTRY_VERIFY_WITH_TIMEOUT(!service().saving(), 180000);
        statusLabel->removeEventFilter(&counter);
        QCOMPARE(QImageReader(photo(QStringLiteral("姓名"))).size(), QSize(10000, 10000));
        QCOMPARE(roster()->currentRow(), 1);
        // Nothing keeps the big picture afterwards.
        QVERIFY(service().take() == nullptr || service().take()->cut.isNull());
        QVERIFY(w().photo->photoImage().image().width() < 10000);
    }

    void closedComparisonLeavesTheMainSaveButton()
    {
        importRoster();
        previewOn();
        autoSave(false);
        const QString old = photo(QStringLiteral("姓名"));
        writeSolidPhoto(old);
        const QByteArray oldBytes = readAll(old);
        take();
        QVERIFY(duplicate()->isVisible());
        comparisonUnit<QRadioButton>("单选框1")->setChecked(true);
        QVERIFY(!saveButton()->isEnabled());
        duplicate()->close();
        QVERIFY(!duplicate()->isVisible());
        QVERIFY(saveButton()->isEnabled());
        // The hidden window's choice no longer counts: the new photo is written.
        clickSave();
        QVERIFY(readAll(old) != oldBytes);
        QCOMPARE(roster()->currentRow(), 1);
    }

    void landscapeComparisonIsLower()
    {
        importRoster();
        previewOn();
        setTarget(QSize(640, 480));
        QCOMPARE(unit<DrawPanel>("画板1")->size(), QSize(184, 138));
        writeSolidPhoto(photo(QStringLiteral("姓名")));
        take();
        QVERIFY(duplicate()->isVisible());
        QCOMPARE(duplicate()->frameGeometry().height(), 218);
        QCOMPARE(comparisonUnit<QWidget>("分组框1")->y(), 142);
        QCOMPARE(comparisonUnit<QWidget>("画板1")->size(), QSize(184, 138));
        // The canvases share the outer width by halves (378 wide without a frame: 2 and 189).
        const double outer = duplicate()->frameGeometry().width();
        QCOMPARE(comparisonUnit<QWidget>("画板1")->x(), int((outer / 2 - 184) / 2));
        QCOMPARE(comparisonUnit<QWidget>("画板2")->x(), int(outer / 2 + (outer / 2 - 184) / 2 - 2));
    }

    void takingDisablesTheNameAndSearchButtons()
    {
        importRoster();
        previewOn();
        take();
        QVERIFY(!unit<QWidget>("超级按钮1")->isEnabled());
        QVERIFY(!unit<QWidget>("超级按钮2")->isEnabled());
        QVERIFY(!unit<QWidget>("超级按钮3")->isEnabled());
        QCOMPARE(unit<QLabel>("透明标签3")->text(), QStringLiteral("姓名.jpg"));
        QCOMPARE(status(), QStringLiteral("当前状态: 照相已成功!"));
        // Only a new import gives them back.
        importRoster();
        QVERIFY(unit<QWidget>("超级按钮1")->isEnabled() && unit<QWidget>("超级按钮3")->isEnabled());
    }

    // One sitter, one file: each way a photo could land under the wrong
    // student or be lost, through the window.
    void aDoubleClickSavesOneStudentOnly()
    {
        service().settleMs = PhotoService::kSettleMs;
        importRoster();
        previewOn();
        autoSave(true);
        f->nextPicture();
        unit<QPushButton>("按钮照相")->click();
        QVERIFY(service().saving());  // written on a worker, even a small photo
        unit<QPushButton>("按钮照相")->click();  // the second click of a double click
        waitForSave();
        unit<QPushButton>("按钮照相")->click();
        waitForSave();
        QCOMPARE(QDir(f->photoFolder()).entryList(QDir::Files), QStringList{QStringLiteral("姓名.jpg")});
        QCOMPARE(roster()->currentRow(), 1);
        QVERIFY2(status().contains(QStringLiteral("请稍候")), qPrintable(status()));
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QCOMPARE(roster()->roster()->cell(1, 3), QString());
    }

    void aSaveInFlightFinishesForItsStudent()
    {
        importRoster();
        previewOn();
        setTarget(QSize(6000, 8000));
        take();
        saveButton()->click();
        QVERIFY(service().saving());
        roster()->list()->setCurrentRow(3);  // another row clicked meanwhile
        emit roster()->list()->listClicked();
        waitForSave();
        QCOMPARE(QImageReader(photo(QStringLiteral("姓名"))).size(), QSize(6000, 8000));
        QCOMPARE(roster()->currentRow(), 3);  // where the operator went
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QVERIFY(!QFile::exists(photo(QStringLiteral("王五"))));
    }

    void aNameTypedAfterTheTakeIsStampedOnIt()
    {
        previewOn();
        freeShooting(true);
        take();  // no name yet, as the status line asks for one
        typeName(QStringLiteral("zhao6"));
        clickSave();
        const Result<QImage> saved = loadJpeg(photo(QStringLiteral("zhao6")));
        QVERIFY(saved.ok());
        QVERIFY2(!captionInk(saved.value()).isEmpty(), "the caption is missing");
    }

    void thePaneFollowsTheCurrentRowHoweverItMoves()
    {
        writeSolidPhoto(photo(QStringLiteral("李四")), QSize(151, 201), Qt::red);
        importRoster();
        previewOn();
        take();
        auto* pane = unit<DrawPanel>("画板1");
        auto middle = [pane] { return pane->retainedImage().pixelColor(pane->width() / 2, pane->height() / 2); };
        QVERIFY(middle() != QColor(Qt::white));  // the take
        QTest::keyClick(roster()->list(), Qt::Key_Down);  // 张三: no photo
        QCOMPARE(roster()->currentRow(), 1);
        QCOMPARE(middle(), QColor(Qt::white));
        QTest::keyClick(roster()->list(), Qt::Key_Down);  // 李四: the red photo
        QCOMPARE(roster()->currentRow(), 2);
        QVERIFY(middle().red() > 200 && middle().green() < 60);
    }

    void theLastSaveIsUndoneWithItsStudent()
    {
        const QString old = photo(QStringLiteral("姓名"));
        writeSolidPhoto(old);
        const QByteArray oldBytes = readAll(old);
        importRoster();
        previewOn();
        auto* undo = unit<QPushButton>("撤销按钮");
        QVERIFY(!undo->isEnabled());
        take();
        chooseInComparison(false);
        QCOMPARE(roster()->currentRow(), 1);
        const QByteArray fresh = readAll(old);
        QVERIFY(fresh != oldBytes);
        QVERIFY(undo->isEnabled());

        undo->click();
        QCOMPARE(readAll(old), oldBytes);
        QCOMPARE(roster()->currentRow(), 0);
        QVERIFY(!undo->isEnabled());
        QVERIFY(folderContents(f->photoFolder()).values().contains(fresh));  // set aside in 已替换
        QVERIFY2(status().contains(QStringLiteral("已撤销")), qPrintable(status()));
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));  // the old photo is there
    }

    void halfWrittenPhotosOfAKilledStationGo()
    {
        const QString other = f->folder.path() + "/other";
        QVERIFY(QDir().mkpath(other));
        const QString stale = other + "/.姓名.jpg.x.tmp";
        QVERIFY(writeAll(stale, "half a photo"));
        QFile file(stale);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        file.close();
        w().appState().setPhotoFolder(other);
        QTRY_VERIFY(!QFile::exists(stale));
    }

    void folderChoice()
    {
        const QString before = w().appState().photoFolder();
        unit<QPushButton>("按钮1")->click();  // cancelled: the folder stays
        QCOMPARE(f->dialogs.folderPrompts, QStringList{QStringLiteral("请选择保存照片路径")});
        QCOMPARE(w().appState().photoFolder(), before);
        QCOMPARE(unit<QLineEdit>("编辑框2")->text(), before);

        const QString chosen = f->folder.path() + "/chosen";
        f->dialogs.folderAnswers.enqueue(chosen);
        unit<QPushButton>("按钮1")->click();
        QCOMPARE(w().appState().photoFolder(), QDir::toNativeSeparators(chosen));
        QCOMPARE(unit<QLabel>("透明标签4")->toolTip(), w().appState().photoFolder());
        QCOMPARE(photofoldersetting::read(), w().appState().photoFolder());
    }

    void droppedPictureLoadsIntoThePictureObject()
    {
        const QString png = f->folder.path() + "/pic.png";
        QImage(20, 10, QImage::Format_RGB32).save(png);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(png)});
        QDragEnterEvent enter(QPoint(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPoint(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w(), &drop);
        QCOMPARE(w().photo->photoImage().image().size(), QSize(20, 10));
        auto* compression = unit<QComboBox>("组合框1");
        QCOMPARE(compression->currentText(), QString::number(w().photo->photoImage().compression()));
        compression->setCurrentText("8");
        QCOMPARE(int(w().photo->photoImage().compression()), 8);
        // Capitals in the extension give format code 0; the picture still loads by its content.
        const QString capitals = f->folder.path() + "/PIC.PNG";
        QImage(7, 5, QImage::Format_RGB32).save(capitals, "PNG");
        w().photo->LoadPictureFile(capitals);
        QCOMPARE(w().photo->photoImage().image().size(), QSize(7, 5));
    }
};

QTEST_MAIN(PhotoTest)
#include "tst_photo.moc"
