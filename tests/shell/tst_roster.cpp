// The roster on the main window: import, column boxes, navigation, marks.
#include "drawpanel.h"
#include "jpegcodec.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "stationfixture.h"
#include "swapconfirmwindow.h"
#include "testfiles.h"
#include "translabel.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QThreadPool>
#include <QtTest>

namespace {

void writePhoto(const QString& path)
{
    writeSolidPhoto(path, QSize(40, 50), QColor(200, 30, 30));
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
    RosterState& state() { return f->window->rosterState(); }
    RosterModel* model() { return state().model(); }
    template <class T = QWidget> T* unit(const char* name) { return f->unit<T>(name); }
    QString text(const char* label) { return unit<QLabel>(label)->text(); }
    // Waits until the import and the photo check it starts are over.
    bool settled()
    {
        return QTest::qWaitFor([this] { return !state().importing() && !state().checkingPhotos(); }, 10000);
    }
    void import(const QString& name)
    {
        roster()->dropFiles({StationFixture::data(name)});
        QVERIFY(settled());
    }

private slots:
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void importFillsTheListAndSwitchesToRosterMode()
    {
        unit<QCheckBox>("选择框2")->setChecked(true);
        unit<QCheckBox>("选择框1")->setChecked(true);
        roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 导入文件数据过程中"));
        QVERIFY(state().importing());
        QVERIFY(settled());
        QCOMPARE(state().rowCount(), 5);  // the header row is a roster row too
        QCOMPARE(model()->cell(0, 0), QStringLiteral("姓名"));
        QCOMPARE(model()->cell(1, 1), QStringLiteral("20120001"));
        QCOMPARE(model()->cell(4, 2), QStringLiteral("二班"));
        QCOMPARE(model()->header(0), QStringLiteral("列1"));
        QCOMPARE(state().currentRow(), 0);
        QCOMPARE(unit<RosterListView>("超级列表框1")->currentRow(), 0);
        QCOMPARE(text("透明标签6"), QStringLiteral("当前位:"));
        QCOMPARE(text("透明标签5"), QStringLiteral("姓名  学号"));
        // The import's next line uses the display column.
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("下一位:  张三  20120001"));
        QVERIFY(unit("透明标签3")->isVisibleTo(f->window.get()));
        QCOMPARE(text("透明标签3"), QStringLiteral("姓名.jpg"));
        QVERIFY(!unit<QCheckBox>("选择框2")->isChecked() && !unit<QCheckBox>("选择框1")->isChecked() &&
                !unit<QCheckBox>("选择框3")->isChecked());
        QVERIFY(!unit("选择框3")->isEnabled());
        QVERIFY(!unit("编辑框1")->isEnabled());
        QVERIFY(!unit("保存按钮")->isEnabled());  // nothing taken for anyone yet
        QVERIFY(unit("超级按钮1")->isEnabled() && unit("超级按钮2")->isEnabled() && unit("超级按钮3")->isEnabled());
        // Row 0 current with more rows: the photo check leaves the import's status.
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 导入文件数据成功!"));
        // Column 0 is fitted and ten pixels wider.
        auto* view = unit<RosterListView>("超级列表框1");
        const int fitted = view->columnWidth(0);
        view->resizeColumnToContents(0);
        QCOMPARE(fitted, view->columnWidth(0) + 10);
        QCOMPARE(view->columnWidth(3), 50);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void refusedDropsKeepTheRoster()
    {
        import("roster/class.xlsx");

        roster()->dropFiles({StationFixture::data("roster/readme.txt")});
        QCOMPARE(f->dialogs.texts(), QStringList{QStringLiteral("程序目前只支持Excel文档")});
        QCOMPARE(f->dialogs.messages[0].title, QStringLiteral("温馨提示"));

        import("roster/broken.xlsx");
        QCOMPARE(f->dialogs.messages.size(), 2);
        QVERIFY(f->dialogs.messages[1].text.contains(QStringLiteral("broken.xlsx")));
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 导入文件数据失败!"));
        QCOMPARE(state().rowCount(), 5);  // the previous roster stays
        QCOMPARE(model()->cell(1, 0), QStringLiteral("张三"));

        unit<QLineEdit>("编辑框6")->setText(QStringLiteral("错"));
        import("roster/one.xlsx");
        QCOMPARE(f->dialogs.messages.size(), 3);
        QCOMPARE(f->dialogs.messages[2].text, QStringLiteral("导入表列设置有误，请修改后继续"));
        QCOMPARE(f->dialogs.messages[2].icon, Dialogs::Icon::Error);
        QCOMPARE(state().rowCount(), 5);
    }

    void dropCheckFollowsTheReadersExtensions_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        for (const char* ok : {"a.xls", "a.XLSX", "a.xlsm", "a.xltx", "a.xltm", "a.csv", "a.b.Csv"})
            QTest::newRow(ok) << QString::fromLatin1(ok) << true;
        for (const char* refused : {"a.txt", "a.xls.txt", "xlsx", "a.ods", "a.xl"})
            QTest::newRow(refused) << QString::fromLatin1(refused) << false;
    }
    void dropCheckFollowsTheReadersExtensions()
    {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        QCOMPARE(RosterController::isRosterFile("/tmp/" + path), accepted);
    }

    void severalFilesImportTheFirstWorkbook()
    {
        roster()->dropFiles({StationFixture::data("roster/readme.txt"), StationFixture::data("roster/one.xlsx"),
                             StationFixture::data("roster/class.xlsx")});
        QVERIFY(settled());
        QCOMPARE(state().rowCount(), 1);
        QCOMPARE(model()->cell(0, 0), QStringLiteral("孤单"));
        // A one-row roster: the only row is also the last.
        QCOMPARE(text("透明标签6"), QStringLiteral("最后位:"));
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("已是最后一位  照相可能即将结束"));
        QCOMPARE(f->window->status(), QStringLiteral("已是最后一位  照相可能即将结束"));
    }

    // A drop while an import runs replaces it: only the last file's outcome
    // counts, whichever read ends first.
    void aLaterDropReplacesARunningImport()
    {
        QSignalSpy finished(&state(), &RosterState::importFinished);
        roster()->dropFiles({StationFixture::data("roster/broken.xlsx")});
        roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        roster()->dropFiles({StationFixture::data("roster/one.xlsx")});
        QVERIFY(settled());
        // Every read has ended and handed its result back.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(state().rowCount(), 1);
        QCOMPARE(model()->cell(0, 0), QStringLiteral("孤单"));
        QVERIFY(f->dialogs.messages.isEmpty());  // the broken file's failure is not reported
        QCOMPARE(state().rosterFilePath(), StationFixture::data("roster/one.xlsx"));
    }

    void droppedOnTheListViewport()
    {
        QWidget* viewport = unit<RosterListView>("超级列表框1")->viewport();
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
        QVERIFY(settled());
        QCOMPARE(state().rowCount(), 5);
        QCOMPARE(state().rosterFilePath(), StationFixture::data("roster/class.xlsx"));
    }

    // A double click where no row is opens the file dialog; the chosen file
    // is imported as if dropped, a cancelled dialog imports nothing.
    void doubleClickOnTheEmptyListOpensAWorkbook()
    {
        f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
        auto* list = unit<RosterListView>("超级列表框1");
        const QPoint empty(list->viewport()->width() / 2, list->viewport()->height() - 10);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, empty);
        QCOMPARE(f->dialogs.openRequests.size(), 1);
        QCOMPARE(f->dialogs.openRequests[0].filter, QStringLiteral("Excel 文件 (*.xls *.xlsx *.xlsm *.csv)"));
        QVERIFY(!state().importing());

        f->dialogs.openAnswers.enqueue(StationFixture::data("roster/class.xlsx"));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, empty);
        QVERIFY(settled());
        QCOMPARE(state().rowCount(), 5);

        // On a row it is an ordinary double click.
        const QRect row = list->visualRect(model()->index(1, 0));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(f->dialogs.openRequests.size(), 2);
        // The next dialog starts in the last workbook's folder.
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, empty);
        QCOMPARE(f->dialogs.openRequests.size(), 3);
        QCOMPARE(f->dialogs.openRequests[2].directory,
                 QFileInfo(StationFixture::data("roster/class.xlsx")).absolutePath());
    }

    void headerRowOptionMakesRowOneTheHeadings()
    {
        auto* box = unit<QCheckBox>("选择框4");
        QCOMPARE(box->text(), QStringLiteral("首行为表头"));
        QVERIFY(!box->isChecked());
        box->setChecked(true);
        import("roster/class.xlsx");
        QCOMPARE(state().rowCount(), 4);
        QCOMPARE(model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("姓名"));
        QCOMPARE(model()->header(1), QStringLiteral("学号"));
        QCOMPARE(model()->cell(0, 0), QStringLiteral("张三"));
        QCOMPARE(text("透明标签5"), QStringLiteral("张三  20120001"));
        // Off again: plain headings, row 1 a person.
        box->setChecked(false);
        import("roster/class.xlsx");
        QCOMPARE(state().rowCount(), 5);
        QCOMPARE(model()->header(0), QStringLiteral("列1"));
        QCOMPARE(model()->cell(0, 0), QStringLiteral("姓名"));
    }

    // An empty first sheet leaves nothing of the previous roster on screen.
    void emptyFirstSheetClearsTheLabels()
    {
        import("roster/class.xlsx");
        import("workbooks/empty-sheet.xlsx");
        QCOMPARE(state().rowCount(), 0);
        QCOMPARE(state().currentRow(), -1);
        QCOMPARE(text("透明标签6"), QString());
        QCOMPARE(text("透明标签5"), QString());
        QCOMPARE(text("透明标签3"), QString());
        QCOMPARE(unit<QLineEdit>("编辑框1")->text(), QString());
        QVERIFY(!unit("保存按钮")->isEnabled());
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 第一个工作表中没有数据行"));
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void workbookNamedAtStartIsImported()
    {
        f->window->importWorkbookAtStart(StationFixture::data("roster/one.xlsx"));
        QVERIFY(settled());
        QCOMPARE(state().rowCount(), 1);
        QCOMPARE(model()->cell(0, 2), QStringLiteral("三班"));
    }

    void emptyColumnBoxesLeaveColumnsEmpty()
    {
        unit<QLineEdit>("编辑框7")->clear();
        unit<QLineEdit>("编辑框8")->setText(QStringLiteral("错"));
        import("roster/class.xlsx");
        QCOMPARE(state().rowCount(), 5);
        for (int r = 0; r < 5; ++r) {
            QVERIFY(model()->cell(r, 1).isEmpty());
            QVERIFY(model()->cell(r, 2).isEmpty());
        }
        unit<QLineEdit>("编辑框6")->setText(QStringLiteral("C"));
        unit<QLineEdit>("编辑框7")->setText(QStringLiteral("A"));
        import("roster/class.xlsx");
        QCOMPARE(model()->cell(1, 0), QStringLiteral("一班"));
        QCOMPARE(model()->cell(1, 1), QStringLiteral("张三"));
    }

    void columnLetterBoxes()
    {
        auto* box = unit<QLineEdit>("编辑框7");
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
        typeInto(unit("编辑框8"), " ");
        QCOMPARE(unit<QLineEdit>("编辑框8")->text(), QStringLiteral("错"));

        // Enter moves on only from a box that holds something.
        f->window->show();
        QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
        auto* first = unit<QLineEdit>("编辑框6");
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Return);
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(first->text(), QStringLiteral("A"));

        // The first box left empty is shown as wrong; the focus still moves on.
        first->setFocus();
        first->clear();
        unit("编辑框8")->setFocus();
        QCOMPARE(first->text(), QStringLiteral("错"));
        StationFixture::runQueued();
        QVERIFY(unit("编辑框8")->hasFocus());
    }

    void nameColumnButtonsCycle()
    {
        import("roster/class.xlsx");
        auto* photoButton = unit<QPushButton>("超级按钮1");
        auto* displayButton = unit<QPushButton>("超级按钮2");
        const QStringList photo = {"照片名列→ 列2", "照片名列→ 列3", "照片名列→ 列1"};
        const int photoValues[] = {1, 2, 0};
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(photoButton, Qt::LeftButton);
            QCOMPARE(photoButton->text(), photo[i]);
            QCOMPARE(state().photoNameColumn(), photoValues[i]);
        }
        const QStringList display = {"显示名列→ 列3", "显示名列→ 无", "显示名列→ 列1", "显示名列→ 列2"};
        const int displayValues[] = {2, 3, 0, 1};
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(displayButton, Qt::LeftButton);
            QCOMPARE(displayButton->text(), display[i]);
            QCOMPARE(state().displayNameColumn(), displayValues[i]);
        }
        // The name column is state: a caption written from outside changes nothing.
        photoButton->setText(QStringLiteral("照片名列→ 列3"));
        QCOMPARE(roster()->PhotoName(1), QStringLiteral("张三"));
        QTest::mouseClick(photoButton, Qt::LeftButton);
        QCOMPARE(state().photoNameColumn(), 1);
        QCOMPARE(photoButton->text(), QStringLiteral("照片名列→ 列2"));
        state().setPhotoNameColumn(0);
        QCOMPARE(photoButton->text(), QStringLiteral("照片名列→ 列1"));

        // With no display column the person label is the photo name alone.
        state().setDisplayNameColumn(3);
        state().setCurrentRow(1);
        QCOMPARE(text("透明标签5"), QStringLiteral("张三"));
        // The banner's next line still shows the second column.
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("下一位:  李四  20120002"));
    }

    void navigationToTheLastRow()
    {
        import("roster/class.xlsx");
        for (int i = 0; i < 3; ++i)
            roster()->AdvanceCurrentRow();
        QCOMPARE(state().currentRow(), 3);
        QCOMPARE(state().savedCurrentRow(), 3);
        QVERIFY(!roster()->IsLastRow());
        roster()->AdvanceCurrentRow();
        QVERIFY(roster()->IsLastRow());
        QCOMPARE(unit<RosterListView>("超级列表框1")->currentRow(), 4);
        QCOMPARE(text("透明标签6"), QStringLiteral("最后位:"));
        QCOMPARE(f->window->swapWindow()->currentLine(), QStringLiteral("最后位:  赵六  20120004"));
        QCOMPARE(f->window->swapWindow()->nextLine(), QStringLiteral("已是最后一位  照相可能即将结束"));
        roster()->AdvanceCurrentRow();  // past the end: stays
        QCOMPARE(state().currentRow(), 4);
        // Past the end the cells read empty.
        QCOMPARE(roster()->PhotoName(5), QString());
        QCOMPARE(roster()->PhotoName(-1), QString());
    }

    void clickedAndKeyedRowsShowInTheLabels()
    {
        // The labels follow the row the operator lands on, not the one left.
        import("roster/class.xlsx");
        f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
        auto* list = unit<RosterListView>("超级列表框1");
        const struct {
            int row;
            const char* label;
        } clicks[] = {{3, "王五  20120003"}, {1, "张三  20120001"}, {4, "赵六  20120004"}};
        for (const auto& c : clicks) {
            const QRect cell = list->visualRect(model()->index(c.row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(state().currentRow(), c.row);
            QCOMPARE(text("透明标签5"), QString::fromUtf8(c.label));
        }
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(state().currentRow(), 3);
        QCOMPARE(text("透明标签5"), QStringLiteral("王五  20120003"));
    }

    void checkPhotosMarksExactFiles()
    {
        import("roster/class.xlsx");
        writePhoto(f->photoFolder() + "/张三.jpg");
        writePhoto(f->photoFolder() + "/王五.JPG");  // another name on this system
        writePhoto(f->photoFolder() + "/20120002.jpg");  // a file for the second column
        model()->setCell(4, 0, QStringLiteral("张*"));  // a pattern never matches by itself
        roster()->CheckPhotos();
        QVERIFY(settled());
        QCOMPARE(model()->cell(1, 3), QStringLiteral("已照"));
        QCOMPARE(model()->cell(2, 3), QString());
        QCOMPARE(model()->cell(3, 3), QString());
        QCOMPARE(model()->cell(4, 3), QString());

        // Another photo-name column recomputes every mark.
        QTest::mouseClick(unit("超级按钮1"), Qt::LeftButton);
        QVERIFY(settled());
        QCOMPARE(model()->cell(1, 3), QString());
        QCOMPARE(model()->cell(2, 3), QStringLiteral("已照"));
    }

    // A check started meanwhile supersedes a running one; a new roster drops
    // the marks of the old one.
    void aNewerCheckWins()
    {
        import("roster/class.xlsx");
        writePhoto(f->photoFolder() + "/张三.jpg");
        QSignalSpy checked(&state(), &RosterState::photosChecked);
        state().startPhotoCheck(f->folder.path() + "/nowhere");
        state().startPhotoCheck(f->photoFolder());
        QVERIFY(settled());
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(checked.size(), 1);
        QCOMPARE(model()->cell(1, 3), QStringLiteral("已照"));

        state().startPhotoCheck(f->photoFolder());
        state().setRows({{{"张三", "", "", ""}}, {{"李四", "", "", ""}}});
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(model()->cell(0, 3), QString());
        QCOMPARE(checked.size(), 1);
    }

    // A repeated check knows the names only while the rows stay: rows set
    // through the state or on the list's model itself are read again.
    void aRepeatedCheckFollowsNewRows()
    {
        writePhoto(f->photoFolder() + "/李四.jpg");
        const auto checkedMarks = [this] {
            roster()->CheckPhotos();
            return settled() ? QStringList{model()->cell(0, 3), model()->cell(1, 3)} : QStringList{"unsettled"};
        };
        state().setRows({{{"张三", "", "", ""}}, {{"李四", "", "", ""}}});
        QCOMPARE(checkedMarks(), QStringList({"", "已照"}));
        QCOMPARE(checkedMarks(), QStringList({"", "已照"}));
        state().setRows({{{"李四", "", "", ""}}, {{"张三", "", "", ""}}});
        QCOMPARE(checkedMarks(), QStringList({"已照", ""}));
        model()->setRoster({{{"王五", "", "", ""}}, {{"李四", "", "", ""}}});
        QCOMPARE(checkedMarks(), QStringList({"", "已照"}));
    }

    void checkPhotosStatusTexts()
    {
        // An empty list: the current row -1 is the last one.
        roster()->CheckPhotos();
        QTRY_COMPARE(f->window->status(), QStringLiteral("已是最后一位  照相可能即将结束"));
        import("roster/class.xlsx");
        f->window->setStatus("x");
        roster()->CheckPhotos();
        QVERIFY(settled());
        QCOMPARE(f->window->status(), QStringLiteral("x"));  // row 0 of several: unchanged
        state().setCurrentRow(2);
        roster()->CheckPhotos();  // after a save
        QTRY_COMPARE(f->window->status(), QStringLiteral("当前状态: 保存相片成功!"));
    }

    // Only a save is reported as one: the photo-name column button and a new
    // folder check the photos but leave the status line alone.
    void statusIsNotFalsifiedByChecksWithoutASave()
    {
        import("roster/class.xlsx");
        state().setCurrentRow(2);
        f->window->setStatus(QStringLiteral("当前状态: 照相已成功!"));
        QTest::mouseClick(unit("超级按钮1"), Qt::LeftButton);
        QVERIFY(settled());
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 照相已成功!"));
        f->window->appState().setPhotoFolder(f->folder.path() + "/other");
        QVERIFY(settled());
        QCOMPARE(f->window->status(), QStringLiteral("当前状态: 照相已成功!"));
        // The last row is still announced as such.
        state().setCurrentRow(4);
        QTest::mouseClick(unit("超级按钮1"), Qt::LeftButton);
        QVERIFY(settled());
        QCOMPARE(f->window->status(), QStringLiteral("已是最后一位  照相可能即将结束"));
    }

    void folderChangeRecreatesTheMarkColumn()
    {
        import("roster/class.xlsx");
        writePhoto(f->folder.path() + "/other/李四.jpg");
        QCOMPARE(model()->header(3), QStringLiteral("列4"));
        f->window->appState().setPhotoFolder(f->folder.path() + "/other");
        QCOMPARE(model()->header(3), QString());
        QCOMPARE(unit<RosterListView>("超级列表框1")->columnWidth(3), 50);
        QCOMPARE(model()->data(model()->index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::Alignment(Qt::AlignCenter));
        QVERIFY(settled());
        QCOMPARE(model()->cell(2, 3), QStringLiteral("已照"));
        QCOMPARE(model()->cell(1, 3), QString());
    }

    void showCurrentPhotoDrawsTheSavedPhoto()
    {
        auto* pane = unit<DrawPanel>("画板1");
        roster()->ShowCurrentPhoto();
        QCOMPARE(text("透明标签3"), QString());
        QCOMPARE(unit<QLineEdit>("编辑框1")->text(), QString());
        const QImage title = pane->retainedImage();
        QVERIFY(title != DrawPanel().retainedImage());  // the title text is written

        writePhoto(f->photoFolder() + "/张三.jpg");
        import("roster/class.xlsx");
        state().setCurrentRow(1);
        roster()->ShowCurrentPhoto();
        QCOMPARE(text("透明标签3"), QStringLiteral("张三.jpg"));
        QCOMPARE(unit<QLineEdit>("编辑框1")->text(), QStringLiteral("张三.jpg"));
        const QImage shown = pane->retainedImage().scaled(pane->size());
        QVERIFY(qRed(shown.pixel(100, 100)) > 150 && qGreen(shown.pixel(100, 100)) < 80);
        // The picture is drawn at (0, 0) to (width - 8) x (height - 10).
        QCOMPARE(shown.pixelColor(pane->width() - 3, 100), pane->backgroundColour());
        QCOMPARE(shown.pixelColor(100, pane->height() - 4), pane->backgroundColour());
    }
};

QTEST_MAIN(RosterTest)
#include "tst_roster.moc"
