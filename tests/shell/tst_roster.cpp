// The roster on the main window: import, column boxes, navigation, marks.
#include "drawpanel.h"
#include "jpegcodec.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "stationfixture.h"
#include "swapconfirmwindow.h"

#include <QFile>
#include <QHeaderView>
#include <QMimeData>
#include <QtTest>

namespace {

void writePhoto(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(40, 50, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 30));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(jpeg::encode(picture, 90).value());
}

void typeInto(QWidget* box, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &press);
    }
}

}  // namespace

class RosterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;
    RosterController* roster() { return f->window->roster(); }
    RosterModel* model() { return f->ui()->超级列表框1->roster(); }
    void import(const QString& name) { roster()->dropFiles({StationFixture::data(name)}); }

private slots:
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void importFillsTheListAndSwitchesToRosterMode()
    {
        Ui::MainWindow* ui = f->ui();
        ui->选择框2->setChecked(true);
        ui->选择框1->setChecked(true);
        import("roster/class.xlsx");
        QCOMPARE(roster()->rowCount(), 5);  // the header row is a roster row too
        QCOMPARE(model()->cell(0, 0), QStringLiteral("姓名"));
        QCOMPARE(model()->cell(1, 1), QStringLiteral("20120001"));
        QCOMPARE(model()->cell(4, 2), QStringLiteral("二班"));
        QCOMPARE(roster()->currentRow(), 0);
        QCOMPARE(ui->透明标签6->text(), QStringLiteral("当前位:"));
        QCOMPARE(ui->透明标签5->text(), QStringLiteral("姓名  学号"));
        // The import's next line uses the display column.
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("下一位:  张三  20120001"));
        QVERIFY(ui->透明标签3->isVisibleTo(f->window.get()));
        QCOMPARE(ui->透明标签3->text(), QStringLiteral("姓名.jpg"));
        QVERIFY(!ui->选择框2->isChecked() && !ui->选择框1->isChecked() && !ui->选择框3->isChecked());
        QVERIFY(!ui->选择框3->isEnabled());
        QVERIFY(!ui->编辑框1->isEnabled());
        QVERIFY(!ui->保存按钮->isEnabled());  // nothing taken for anyone yet
        QVERIFY(ui->超级按钮1->isEnabled() && ui->超级按钮2->isEnabled() && ui->超级按钮3->isEnabled());
        // Row 0 current with more rows: the photo check leaves the import's status.
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 导入文件数据成功!"));
        // Column 0 is fitted and ten pixels wider.
        RosterListView* view = ui->超级列表框1;
        const int fitted = view->columnWidth(0);
        view->resizeColumnToContents(0);
        QCOMPARE(fitted, view->columnWidth(0) + 10);
        QCOMPARE(view->columnWidth(3), 50);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void refusedDropsKeepTheRoster()
    {
        import("roster/class.xlsx");
        Ui::MainWindow* ui = f->ui();

        roster()->dropFiles({StationFixture::data("roster/names.txt")});
        QCOMPARE(f->dialogs.texts(), QStringList{QStringLiteral("程序目前只支持Excel文档")});
        QCOMPARE(f->dialogs.messages[0].title, QStringLiteral("温馨提示"));

        import("roster/broken.xlsx");
        QCOMPARE(f->dialogs.messages.size(), 2);
        QVERIFY(f->dialogs.messages[1].text.contains(QStringLiteral("broken.xlsx")));
        QCOMPARE(roster()->rowCount(), 5);  // the previous roster stays
        QCOMPARE(model()->cell(1, 0), QStringLiteral("张三"));

        ui->编辑框6->setText(QStringLiteral("错"));
        import("roster/one.xlsx");
        QCOMPARE(f->dialogs.messages.size(), 3);
        QCOMPARE(f->dialogs.messages[2].text, QStringLiteral("导入表列设置有误，请修改后继续"));
        QCOMPARE(f->dialogs.messages[2].icon, Dialogs::Icon::Error);
        QCOMPARE(roster()->rowCount(), 5);
    }

    void severalFilesImportTheFirstWorkbook()
    {
        roster()->dropFiles({StationFixture::data("roster/readme.txt"), StationFixture::data("roster/one.xlsx"),
                             StationFixture::data("roster/class.xlsx")});
        QCOMPARE(roster()->rowCount(), 1);
        QCOMPARE(model()->cell(0, 0), QStringLiteral("孤单"));
        // A one-row roster: the only row is also the last.
        QCOMPARE(f->ui()->透明标签6->text(), QStringLiteral("最后位:"));
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("已是最后一位  照相可能即将结束"));
        QCOMPARE(f->window->status(), QStringLiteral("已是最后一位  照相可能即将结束"));
    }

    void droppedOnTheListViewport()
    {
        QWidget* viewport = f->ui()->超级列表框1->viewport();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(StationFixture::data("roster/notes.txt")),
                      QUrl::fromLocalFile(StationFixture::data("roster/class.xlsx"))});
        const QPoint at(40, 40);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCOMPARE(roster()->rowCount(), 5);
        QCOMPARE(f->window->state.rosterFilePath, StationFixture::data("roster/class.xlsx"));
    }

    void workbookNamedAtStartIsImported()
    {
        f->window->importWorkbookAtStart(StationFixture::data("roster/one.xlsx"));
        QCOMPARE(roster()->rowCount(), 1);
        QCOMPARE(model()->cell(0, 2), QStringLiteral("三班"));
    }

    void emptyColumnBoxesLeaveColumnsEmpty()
    {
        f->ui()->编辑框7->clear();
        f->ui()->编辑框8->setText(QStringLiteral("错"));
        import("roster/class.xlsx");
        QCOMPARE(roster()->rowCount(), 5);
        for (int r = 0; r < 5; ++r) {
            QVERIFY(model()->cell(r, 1).isEmpty());
            QVERIFY(model()->cell(r, 2).isEmpty());
        }
        f->ui()->编辑框6->setText(QStringLiteral("C"));
        f->ui()->编辑框7->setText(QStringLiteral("A"));
        import("roster/class.xlsx");
        QCOMPARE(model()->cell(1, 0), QStringLiteral("一班"));
        QCOMPARE(model()->cell(1, 1), QStringLiteral("张三"));
    }

    void columnLetterBoxes()
    {
        Ui::MainWindow* ui = f->ui();
        QLineEdit* box = ui->编辑框7;
        box->clear();
        typeInto(box, "ab");
        QCOMPARE(box->text(), QStringLiteral("AB"));
        typeInto(box, "c");  // the box holds two letters at most
        QCOMPARE(box->text(), QStringLiteral("AB"));
        QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));

        typeInto(box, "1");
        QCOMPARE(box->text(), QStringLiteral("错"));
        QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::red));
        typeInto(box, "d");  // a letter replaces the mark
        QCOMPARE(box->text(), QStringLiteral("D"));
        QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("错"));
        typeInto(ui->编辑框8, " ");
        QCOMPARE(ui->编辑框8->text(), QStringLiteral("错"));

        // Enter moves on only from a box that holds something.
        f->window->show();
        QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
        ui->编辑框6->setFocus();
        QTest::keyClick(ui->编辑框6, Qt::Key_Return);
        QTRY_VERIFY(ui->编辑框7->hasFocus());
        QCOMPARE(ui->编辑框6->text(), QStringLiteral("A"));

        // The first box may not be left empty.
        ui->编辑框6->setFocus();
        ui->编辑框6->clear();
        ui->编辑框8->setFocus();
        QCOMPARE(ui->编辑框6->text(), QStringLiteral("错"));
        QTRY_VERIFY(ui->编辑框6->hasFocus());
    }

    void nameColumnButtonsCycle()
    {
        import("roster/class.xlsx");
        Ui::MainWindow* ui = f->ui();
        const QStringList photo = {"照片名列→ 列2", "照片名列→ 列3", "照片名列→ 列1"};
        const int photoValues[] = {1, 2, 0};
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(ui->超级按钮1, Qt::LeftButton);
            QCOMPARE(ui->超级按钮1->text(), photo[i]);
            QCOMPARE(f->window->state.PhotoNameColumn, photoValues[i]);
        }
        const QStringList display = {"显示名列→ 列3", "显示名列→ 无", "显示名列→ 列1", "显示名列→ 列2"};
        const int displayValues[] = {2, 3, 0, 1};
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(ui->超级按钮2, Qt::LeftButton);
            QCOMPARE(ui->超级按钮2->text(), display[i]);
            QCOMPARE(f->window->state.DisplayNameColumn, displayValues[i]);
        }
        // With no display column the person label is the photo name alone.
        f->window->state.DisplayNameColumn = 3;
        ui->超级列表框1->setCurrentRow(1);
        QCOMPARE(ui->透明标签5->text(), QStringLiteral("张三"));
        // The banner's next line still shows the second column.
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("下一位:  李四  20120002"));
    }

    void navigationToTheLastRow()
    {
        import("roster/class.xlsx");
        for (int i = 0; i < 3; ++i)
            roster()->AdvanceCurrentRow();
        QCOMPARE(roster()->currentRow(), 3);
        QCOMPARE(f->window->state.savedCurrentRow, 3);
        QVERIFY(!roster()->IsLastRow());
        roster()->AdvanceCurrentRow();
        QVERIFY(roster()->IsLastRow());
        QCOMPARE(f->ui()->透明标签6->text(), QStringLiteral("最后位:"));
        QCOMPARE(f->window->swapWindow()->currentLine(), QStringLiteral("最后位:  赵六  20120004"));
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("已是最后一位  照相可能即将结束"));
        // Past the end the cells read empty.
        QCOMPARE(roster()->PhotoName(5), QString());
        QCOMPARE(roster()->PhotoName(-1), QString());
    }

    void clickedAndKeyedRowsShowInTheLabels()
    {
        // The labels follow the row the operator lands on, not the one left.
        import("roster/class.xlsx");
        Ui::MainWindow* ui = f->ui();
        f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
        RosterListView* list = ui->超级列表框1;
        const struct {
            int row;
            const char* label;
        } clicks[] = {{3, "王五  20120003"}, {1, "张三  20120001"}, {4, "赵六  20120004"}};
        for (const auto& c : clicks) {
            const QRect cell = list->visualRect(model()->index(c.row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(roster()->currentRow(), c.row);
            QCOMPARE(ui->透明标签5->text(), QString::fromUtf8(c.label));
        }
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(roster()->currentRow(), 3);
        QCOMPARE(ui->透明标签5->text(), QStringLiteral("王五  20120003"));
    }

    void checkPhotosMarksExactFiles()
    {
        import("roster/class.xlsx");
        writePhoto(f->photoFolder() + "/张三.jpg");
        writePhoto(f->photoFolder() + "/王五.JPG");  // another name on this system
        writePhoto(f->photoFolder() + "/20120002.jpg");  // a file for the second column
        model()->setCell(4, 0, QStringLiteral("张*"));  // a pattern never matches by itself
        roster()->CheckPhotos();
        QCOMPARE(model()->cell(1, 3), QStringLiteral("已照"));
        QCOMPARE(model()->cell(2, 3), QString());
        QCOMPARE(model()->cell(3, 3), QString());
        QCOMPARE(model()->cell(4, 3), QString());

        // Another photo-name column recomputes every mark.
        QTest::mouseClick(f->ui()->超级按钮1, Qt::LeftButton);
        QCOMPARE(model()->cell(1, 3), QString());
        QCOMPARE(model()->cell(2, 3), QStringLiteral("已照"));
    }

    void checkPhotosStatusTexts()
    {
        // An empty list: the current row -1 is the last one.
        roster()->CheckPhotos();
        QCOMPARE(f->window->status(), QStringLiteral("已是最后一位  照相可能即将结束"));
        import("roster/class.xlsx");
        f->window->setStatus("x");
        roster()->CheckPhotos();
        QCOMPARE(f->window->status(), QStringLiteral("x"));  // row 0 of several: unchanged
        f->ui()->超级列表框1->setCurrentRow(-1);
        roster()->CheckPhotos();
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 保存相片成功!"));
    }

    void folderChangeRecreatesTheMarkColumn()
    {
        import("roster/class.xlsx");
        writePhoto(f->folder.path() + "/other/李四.jpg");
        QCOMPARE(model()->header(3), QStringLiteral("列4"));
        f->window->state.photoFolder = f->folder.path() + "/other";
        f->ui()->编辑框2->setText(f->window->state.photoFolder);
        QCOMPARE(model()->header(3), QString());
        QCOMPARE(f->ui()->超级列表框1->columnWidth(3), 50);
        QCOMPARE(model()->data(model()->index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::Alignment(Qt::AlignCenter));
        QCOMPARE(model()->cell(2, 3), QStringLiteral("已照"));
        QCOMPARE(model()->cell(1, 3), QString());
    }

    void showCurrentPhotoDrawsTheSavedPhoto()
    {
        Ui::MainWindow* ui = f->ui();
        DrawPanel* pane = ui->画板1;
        roster()->ShowCurrentPhoto();
        QCOMPARE(ui->透明标签3->text(), QString());
        QCOMPARE(ui->编辑框1->text(), QString());
        const QImage title = pane->retainedImage();
        QVERIFY(title != DrawPanel().retainedImage());  // the title text is written

        writePhoto(f->photoFolder() + "/张三.jpg");
        import("roster/class.xlsx");
        ui->超级列表框1->setCurrentRow(1);
        roster()->ShowCurrentPhoto();
        QCOMPARE(ui->透明标签3->text(), QStringLiteral("张三.jpg"));
        QCOMPARE(ui->编辑框1->text(), QStringLiteral("张三.jpg"));
        const QImage shown = pane->retainedImage().scaled(pane->size());
        QVERIFY(qRed(shown.pixel(100, 100)) > 150 && qGreen(shown.pixel(100, 100)) < 80);
        // The picture is drawn at (0, 0) to (width - 8) x (height - 10).
        QCOMPARE(shown.pixelColor(pane->width() - 3, 100), pane->backgroundColour());
        QCOMPARE(shown.pixelColor(100, pane->height() - 4), pane->backgroundColour());
    }
};

QTEST_MAIN(RosterTest)
#include "tst_roster.moc"
