// The road of one photo: taken from the test camera through the frame,
// saved under its name, and the roster moving on; the duplicate comparison.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesource.h"
#include "drawpanel.h"
#include "duplicatephotowindow.h"
#include "jpegcodec.h"
#include "photocontroller.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "stationfixture.h"
#include "ui_duplicatephotowindow.h"
#include "viewfindercontroller.h"

#include <QFile>
#include <QMimeData>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeOldPhoto(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage old(151, 201, QImage::Format_RGB32);
    old.fill(QColor(10, 200, 10));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(jpeg::encode(old, 90).bytes);
}

// Sequential (baseline) JPEG: a SOF0 marker and no progressive SOF2.
bool isBaselineJpeg(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xD8") && bytes.contains(QByteArray("\xFF\xC0", 2)) &&
           !bytes.contains(QByteArray("\xFF\xC2", 2));
}

}  // namespace

class PhotoTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    MainWindow& w() { return *f->window; }
    Ui::MainWindow* ui() { return f->ui(); }
    capControl* camera() { return ui()->视频设备; }
    RosterController* roster() { return w().roster(); }
    QString photo(const QString& name) { return f->photoFolder() + "/" + name + ".jpg"; }

    void previewOn()
    {
        ui()->预览按钮->click();
        QVERIFY(w().camera->state().previewOn());
        QTRY_VERIFY_WITH_TIMEOUT(!camera()->latestFrame().isNull(), 10000);
    }
    void importRoster()
    {
        roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        QTRY_VERIFY(!w().rosterState().importing());
        QCOMPARE(roster()->rowCount(), 5);
    }
    void autoSave(bool on)
    {
        if (ui()->选择框1->isChecked() != on)
            ui()->选择框1->click();
    }
    void take() { ui()->按钮照相->click(); }

private slots:
    void initTestCase()
    {
        capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });
    }
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void rosterPhotoIsTheCameraPictureUnderTheFrame()
    {
        importRoster();
        previewOn();
        ui()->保存字幕->click();  // caption off: every pixel is camera picture
        autoSave(true);
        take();

        const QString path = photo(QStringLiteral("姓名"));
        const QByteArray bytes = bytesOf(path);
        QVERIFY(isBaselineJpeg(bytes));
        const ImageResult saved = jpeg::decode(bytes);
        QVERIFY(saved.ok());
        QCOMPARE(saved.image.size(), QSize(151, 201));

        // Each pixel's colour tells where it was in the camera picture: it
        // must come from under the frame's interior.
        const QRect interior = w().viewfinder->frameInterior().translated(-camera()->pos());
        const QRectF region = camera()->widgetToFrame(QRectF(interior));
        const QSize frameSize = camera()->latestFrame().size();
        // The edges too: no outline colour and no blank strip.
        for (const QPoint p : {QPoint(3, 3), QPoint(147, 3), QPoint(75, 100), QPoint(3, 197), QPoint(147, 197),
                               QPoint(0, 100), QPoint(150, 100), QPoint(75, 0), QPoint(75, 200)}) {
            const double fx = region.left() + (p.x() + 0.5) * region.width() / 151.0;
            const double fy = region.top() + (p.y() + 0.5) * region.height() / 201.0;
            int r, g, b;
            capture::testCameraColour(int(fx), int(fy), frameSize, &r, &g, &b);
            const QColor got = saved.image.pixelColor(p);
            QVERIFY2(qAbs(got.red() - r) <= 12 && qAbs(got.green() - g) <= 12 && qAbs(got.blue() - b) <= 12,
                     qPrintable(QStringLiteral("at %1,%2 got %3 want %4,%5,%6")
                                    .arg(p.x())
                                    .arg(p.y())
                                    .arg(got.name())
                                    .arg(r)
                                    .arg(g)
                                    .arg(b)));
        }

        // The roster moved on and marked the saved person.
        QCOMPARE(roster()->currentRow(), 1);
        QCOMPARE(w().rosterState().savedCurrentRow(), 1);
        QTRY_COMPARE(roster()->roster()->cell(0, 3), QStringLiteral("已照"));
        QTRY_COMPARE(w().status(), QStringLiteral("当前状态: 保存相片成功!"));
        QCOMPARE(ui()->透明标签5->text(), QStringLiteral("张三  20120001"));
        QVERIFY(f->dialogs.messages.isEmpty());
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

    void captionIsStampedOnlyWhenOn()
    {
        importRoster();
        previewOn();
        autoSave(true);
        roster()->list()->setCurrentRow(1);
        take();  // caption on: "张三 20120001" in black at the bottom left
        ui()->保存字幕->click();
        QCOMPARE(ui()->保存字幕->text(), QStringLiteral("开启字幕"));
        QCOMPARE(ui()->标签1->text(), QStringLiteral("关闭状态"));
        take();  // row 2, caption off
        // Caption pixels are much darker than the picture just above them.
        auto darkInCaptionBand = [](const QImage& img) {
            int dark = 0;
            for (int y = 178; y < 193; ++y)
                for (int x = 1; x < 60; ++x)
                    if (qGray(img.pixel(x, y)) < qGray(img.pixel(x, 160)) - 50)
                        ++dark;
            return dark;
        };
        const ImageResult with = loadJpeg(photo(QStringLiteral("张三")));
        const ImageResult without = loadJpeg(photo(QStringLiteral("李四")));
        QVERIFY(with.ok() && without.ok());
        QVERIFY2(darkInCaptionBand(with.image) > 40, "the caption is missing");
        QCOMPARE(darkInCaptionBand(without.image), 0);
    }

    void largeTargetKeepsCameraDetail()
    {
        capture::CaptureFormat big;
        big.size = QSize(1280, 960);
        QVERIFY(camera()->setCaptureFormat(big));
        importRoster();
        previewOn();
        QTRY_COMPARE_WITH_TIMEOUT(camera()->latestFrame().size(), QSize(1280, 960), 10000);
        ui()->编辑框3->setText("600");
        ui()->编辑框4->setText("800");
        autoSave(true);
        take();
        // The pane keeps the cut at camera resolution, far more than its 184 pixels.
        QVERIFY(ui()->画板1->retainedImage().width() > 400);
        const ImageResult saved = loadJpeg(photo(QStringLiteral("姓名")));
        QVERIFY(saved.ok());
        QCOMPARE(saved.image.size(), QSize(600, 800));
    }

    void lastRowSaysPhotographingMayBeComplete()
    {
        importRoster();
        previewOn();
        autoSave(true);
        roster()->list()->setCurrentRow(4);
        take();
        QVERIFY(QFile::exists(photo(QStringLiteral("赵六"))));
        QCOMPARE(f->dialogs.texts(), QStringList{QStringLiteral("照相可能已完成,请检查有无遗漏!")});
        QCOMPARE(f->dialogs.messages[0].title, QStringLiteral("温馨提示"));
        QCOMPARE(roster()->currentRow(), 4);
        QTRY_COMPARE(w().status(), QStringLiteral("已是最后一位  照相可能即将结束"));
    }

    void freeShootingNumbersItsPhotos()
    {
        previewOn();
        autoSave(true);
        ui()->选择框2->click();
        QVERIFY(!ui()->选择框3->isChecked());
        QVERIFY(ui()->编辑框1->isEnabled());
        for (int n = 1; n <= 3; ++n) {
            take();
            QVERIFY2(QFile::exists(photo(PhotoController::autoNamePrefix + QString::number(n))),
                     qPrintable(QString::number(n)));
            QCOMPARE(ui()->透明标签3->text(), PhotoController::autoNamePrefix + QString::number(n + 1));
            QCOMPARE(ui()->编辑框1->text(), ui()->透明标签3->text());
            QCOMPARE(w().status(), QStringLiteral("当前状态: 保存照片完成!"));
        }
    }

    void manualNamingSavesTheTypedName()
    {
        previewOn();
        ui()->选择框2->click();
        QVERIFY(ui()->选择框3->isChecked());  // without automatic saving, manual naming comes on
        QVERIFY(!ui()->保存按钮->isEnabled() || ui()->编辑框1->text().isEmpty());
        ui()->编辑框1->setText(QStringLiteral("王小明.jpg"));
        QVERIFY(ui()->保存按钮->isEnabled());
        take();
        QCOMPARE(w().status(), QStringLiteral("照相已成功，等侍输入保存文件名！"));
        ui()->保存按钮->click();
        // The typed name is used as it stands, with ".jpg" added.
        QVERIFY(QFile::exists(photo(QStringLiteral("王小明.jpg"))));
        QCOMPARE(ui()->编辑框1->text(), QString());

        // An empty name is refused with a message and nothing is written.
        const int before = QDir(f->photoFolder()).entryList(QDir::Files).size();
        QVERIFY(!w().photo->SavePhoto());
        QCOMPARE(f->dialogs.messages.size(), 1);
        QCOMPARE(QDir(f->photoFolder()).entryList(QDir::Files).size(), before);
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
        w().state.photoFolder = blocker.fileName() + "/photos";
        take();
        QCOMPARE(roster()->currentRow(), 0);
        QCOMPARE(f->dialogs.messages.size(), 1);
        QVERIFY(f->dialogs.messages[0].text.startsWith(QStringLiteral("照片未保存")));
        QCOMPARE(w().status(), QStringLiteral("当前状态: 照片未保存!"));
        QVERIFY(roster()->roster()->cell(0, 3).isEmpty());

        // A vanished folder is made again, whole.
        w().state.photoFolder = f->folder.path() + "/gone/again/photos";
        take();
        QVERIFY(QFile::exists(w().state.photoFolder + "/姓名.jpg"));
        QCOMPARE(roster()->currentRow(), 1);
    }

    void interruptedWriteKeepsTheOldPhoto()
    {
        importRoster();
        previewOn();
        const QString old = photo(QStringLiteral("姓名"));
        writeOldPhoto(old);
        const QByteArray oldBytes = bytesOf(old);
        take();  // the comparison opens
        QVERIFY(w().duplicateWindow()->isVisible());

        // Writes end early, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tiny = saved;
        tiny.rlim_cur = 512;
        setrlimit(RLIMIT_FSIZE, &tiny);
        w().duplicateWindow()->ui->按钮1->click();
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(bytesOf(old), oldBytes);
        QCOMPARE(roster()->currentRow(), 0);
        QCOMPARE(w().status(), QStringLiteral("当前状态: 照片保存失败!"));
        QCOMPARE(QDir(f->photoFolder()).entryList(QDir::Files), QStringList{QStringLiteral("姓名.jpg")});
    }

    void existingPhotoOpensTheComparison()
    {
        importRoster();
        previewOn();
        autoSave(true);
        const QString first = photo(QStringLiteral("姓名"));
        const QString second = photo(QStringLiteral("张三"));
        writeOldPhoto(first);
        writeOldPhoto(second);
        const QByteArray firstBytes = bytesOf(first);
        DuplicatePhotoWindow* duplicate = w().duplicateWindow();

        take();
        QVERIFY(duplicate->isVisible());
        QVERIFY(!ui()->保存按钮->isEnabled());
        QCOMPARE(bytesOf(first), firstBytes);  // nothing saved yet, even with automatic saving
        QCOMPARE(roster()->currentRow(), 0);
        // The old photo on the left (green), the new one on the right.
        const QImage left = duplicate->ui->画板1->retainedImage().scaled(duplicate->ui->画板1->size());
        QVERIFY(qGreen(left.pixel(50, 50)) > 150 && qRed(left.pixel(50, 50)) < 60);
        QCOMPARE(duplicate->ui->画板2->retainedImage(), ui()->画板1->retainedImage());

        // "原照片" keeps the file and still moves on.
        duplicate->ui->单选框1->setChecked(true);
        duplicate->ui->按钮1->click();
        QCOMPARE(bytesOf(first), firstBytes);
        QCOMPARE(roster()->currentRow(), 1);
        QVERIFY(!duplicate->isVisible());

        // The choice is still there at the next duplicate.
        take();
        QVERIFY(duplicate->isVisible());
        QVERIFY(duplicate->ui->单选框1->isChecked());
    }

    void closedComparisonLeavesTheMainSaveButton()
    {
        importRoster();
        previewOn();
        autoSave(false);
        const QString old = photo(QStringLiteral("姓名"));
        writeOldPhoto(old);
        const QByteArray oldBytes = bytesOf(old);
        DuplicatePhotoWindow* duplicate = w().duplicateWindow();
        take();
        QVERIFY(duplicate->isVisible());
        duplicate->ui->单选框1->setChecked(true);
        QVERIFY(!ui()->保存按钮->isEnabled());
        duplicate->close();
        QVERIFY(!duplicate->isVisible());
        QVERIFY(ui()->保存按钮->isEnabled());
        // The hidden window's choice no longer counts: the new photo is written.
        ui()->保存按钮->click();
        QVERIFY(bytesOf(old) != oldBytes);
        QCOMPARE(roster()->currentRow(), 1);
    }

    void landscapeComparisonIsLower()
    {
        importRoster();
        previewOn();
        ui()->编辑框3->setText("640");
        ui()->编辑框4->setText("480");
        QCOMPARE(ui()->画板1->size(), QSize(184, 138));
        writeOldPhoto(photo(QStringLiteral("姓名")));
        take();
        DuplicatePhotoWindow* duplicate = w().duplicateWindow();
        QVERIFY(duplicate->isVisible());
        QCOMPARE(duplicate->frameGeometry().height(), 218);
        QCOMPARE(duplicate->ui->分组框1->y(), 142);
        QCOMPARE(duplicate->ui->画板1->size(), QSize(184, 138));
        // The canvases share the outer width by halves (378 wide without a frame: 2 and 189).
        const double outer = duplicate->frameGeometry().width();
        QCOMPARE(duplicate->ui->画板1->x(), int((outer / 2 - 184) / 2));
        QCOMPARE(duplicate->ui->画板2->x(), int(outer / 2 + (outer / 2 - 184) / 2 - 2));
    }

    void takingDisablesTheNameAndSearchButtons()
    {
        importRoster();
        previewOn();
        take();
        QVERIFY(!ui()->超级按钮1->isEnabled());
        QVERIFY(!ui()->超级按钮2->isEnabled());
        QVERIFY(!ui()->超级按钮3->isEnabled());
        QCOMPARE(ui()->透明标签3->text(), QStringLiteral("姓名.jpg"));
        QCOMPARE(w().status(), QStringLiteral("当前状态: 照相已成功!"));
        // Only a new import gives them back.
        importRoster();
        QVERIFY(ui()->超级按钮1->isEnabled() && ui()->超级按钮3->isEnabled());
    }

    void folderChoice()
    {
        const QString before = w().state.photoFolder;
        ui()->按钮1->click();  // cancelled: the folder stays
        QCOMPARE(f->dialogs.folderPrompts, QStringList{QStringLiteral("请选择保存照片路径")});
        QCOMPARE(w().state.photoFolder, before);
        QCOMPARE(ui()->编辑框2->text(), before);

        const QString chosen = f->folder.path() + "/chosen";
        f->dialogs.folderAnswers.enqueue(chosen);
        ui()->按钮1->click();
        QCOMPARE(w().state.photoFolder, QDir::toNativeSeparators(chosen));
        QCOMPARE(ui()->透明标签4->text(), w().state.photoFolder);
        QCOMPARE(photofoldersetting::read(), w().state.photoFolder);
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
        QCOMPARE(ui()->组合框1->currentText(), QString::number(w().photo->photoImage().compression()));
        ui()->组合框1->setCurrentText("8");
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
