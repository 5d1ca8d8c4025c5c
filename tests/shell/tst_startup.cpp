// Start-up, the setting, the fade-in and the bottom-strip controls.
#include "duplicatephotowindow.h"
#include "findunit.h"
#include "mainwindow.h"
#include "photofoldersetting.h"
#include "programpaths.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "stationsettings.h"
#include "swapconfirmwindow.h"
#include "testdialogs.h"
#include "translabel.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void init() { stationsettings::open().clear(); }

    void firstStartWritesTheDefaultFolder()
    {
        QVERIFY(!photofoldersetting::exists());
        MainWindow w;
        const QString expected =
            paths::programDirectory() + QDir::separator() + QString::number(QDate::currentDate().year());
        QVERIFY(photofoldersetting::exists());
        QCOMPARE(photofoldersetting::read(), expected);
        QCOMPARE(findUnit<QLineEdit>(&w, "编辑框2")->text(), expected);
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签4")->toolTip(), expected);
        QCOMPARE(w.appState().photoFolder(), expected);
    }

    void firstStartOfAProgramInAFolderOfRootsUsesPictures()
    {
        // The program lies in a folder the user may not write (a system-wide
        // install); root may write anywhere, so there it lies in no folder at all.
        QTemporaryDir dir;
        const QString program = dir.filePath("bin");
        QVERIFY(QDir().mkpath(program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const QString where = QFileInfo(program).isWritable() ? dir.filePath("gone") : program;
        paths::setProgramDirectoryForTesting(where);
        const QString expected =
            QDir::toNativeSeparators(paths::picturesDirectory() + "/" + QString::number(QDate::currentDate().year()));
        {
            MainWindow w;
            QCOMPARE(photofoldersetting::read(), expected);
            QCOMPARE(findUnit<QLineEdit>(&w, "编辑框2")->text(), expected);
            QCOMPARE(w.appState().photoFolder(), expected);
            const QString inHome = QDir::home().relativeFilePath(expected);
            QCOMPARE(w.status(), QStringLiteral("当前状态: 照片保存到 ~/") + inHome);
        }
        // Later starts read the setting and report nothing special.
        MainWindow again;
        QCOMPARE(again.appState().photoFolder(), expected);
        QCOMPARE(again.status(), QStringLiteral("当前状态: 还未进行任何操作"));
        paths::setProgramDirectoryForTesting({});
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void laterStartShowsAStoredFolderThatNoLongerExists()
    {
        const QString gone = QDir::tempPath() + "/station-no-such-folder/照片";
        QVERIFY(photofoldersetting::write(gone));
        MainWindow w;
        QCOMPARE(findUnit<QLineEdit>(&w, "编辑框2")->text(), gone);
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签4")->toolTip(), gone);
        QCOMPARE(w.appState().photoFolder(), gone);
        QVERIFY(!QDir(gone).exists());
        QCOMPARE(photofoldersetting::read(), gone);
    }

    void unwritableSettingIsReported()
    {
        const QString file =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, "kqvxzt", "tessmarrow").fileName();
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file));  // a folder where the settings file belongs
        const Status written = photofoldersetting::write(QDir::tempPath() + "/照片");
        QDir(file).removeRecursively();
        QVERIFY(!written);
        QVERIFY2(written.error().startsWith(QStringLiteral("无法保存照片路径的设置")), qPrintable(written.error()));
    }

    void destroyingTheWindowLeavesNoControllerOnItsUnits()
    {
        auto w = std::make_unique<MainWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QApplication::setActiveWindow(w.get());
        // An empty column box losing focus is what the roster's filter acts on.
        auto* box = w->findChild<QLineEdit*>(QStringLiteral("编辑框6"));
        box->setFocus();
        QList<QPointer<QObject>> controllers;
        for (QObject* child : w->children())
            if (!child->isWidgetType())
                controllers << child;
        QVERIFY(controllers.size() >= 6);
        int unitsGoneBeforeControllers = 0;
        for (QWidget* unit : w->findChildren<QWidget*>())
            connect(unit, &QObject::destroyed, this, [&] {
                for (const QPointer<QObject>& c : controllers)
                    unitsGoneBeforeControllers += !c.isNull();
            });
        w.reset();
        QCOMPARE(unitsGoneBeforeControllers, 0);
    }

    void initialState()
    {
        MainWindow w;
        QCOMPARE(w.status(), QStringLiteral("当前状态: 还未进行任何操作"));
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签3")->text(), QStringLiteral("Velk学籍照相相片1.jpg"));
        QCOMPARE(w.rosterState().displayNameColumn(), 1);
        QCOMPARE(w.appState().frameScaleValue(), 0.0);
        QCOMPARE(findUnit<RosterListView>(&w, "超级列表框1")->columnWidth(0), 145);
        QCOMPARE(findUnit<RosterListView>(&w, "超级列表框1")->columnWidth(1), 65);
        QCOMPARE(findUnit<RosterListView>(&w, "超级列表框1")->columnWidth(2), 145);
        QCOMPARE(findUnit<RosterListView>(&w, "超级列表框1")->columnWidth(3), 50);
        QVERIFY(!w.duplicateWindow()->isVisible());
        QVERIFY(!w.swapWindow()->isVisible());
        QVERIFY(!findUnit<QPushButton>(&w, "保存按钮")->isEnabled());
        // The help text is on top of the video area at start.
        const QObjectList kids = w.children();
        for (QWidget* under : {static_cast<QWidget*>(findUnit<QWidget>(&w, "视频设备")),
                               static_cast<QWidget*>(findUnit<PicBox>(&w, "图片框2")),
                               static_cast<QWidget*>(findUnit<QWidget>(&w, "外形框1")),
                               static_cast<QWidget*>(findUnit<TransLabel>(&w, "透明标签7")),
                               static_cast<QWidget*>(findUnit<PicBox>(&w, "图片框111"))})
            QVERIFY(kids.indexOf(under) < kids.indexOf(findUnit<TransLabel>(&w, "透明标签16")));
        // ...and readable: the cover hides the camera's black, the text shows on it.
        const QImage area = w.grab(QRect(306, 115, 480, 360)).toImage();
        QCOMPARE(area.pixelColor(4, 350), w.palette().color(QPalette::Window));
        int dark = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 480; ++x)
                dark += qGray(area.pixel(x, y)) < 100;
        QVERIFY2(dark > 20 && dark < 480 * 40 / 4, qPrintable(QString::number(dark)));
    }

    void fadeInReachesOpaqueAfter51TicksAndStops()
    {
        MainWindow w;
        w.fadeTimer()->stop();
        QCOMPARE(w.appState().windowAlpha(), 0);
        w.fadeTimer()->start();
        for (int tick = 1; tick <= 50; ++tick) {
            w.fadeInStep();
            QCOMPARE(w.appState().windowAlpha(), 5 * tick);
            QVERIFY(w.fadeTimer()->isActive());
        }
        w.fadeInStep();
        QCOMPARE(w.appState().windowAlpha(), 255);
        QVERIFY(!w.fadeTimer()->isActive());
        w.fadeInStep();
        QCOMPARE(w.appState().windowAlpha(), 255);
        // Left to its own timer, a new window ends opaque too.
        MainWindow fresh;
        QTRY_COMPARE_WITH_TIMEOUT(fresh.appState().windowAlpha(), 255, 5000);
        QVERIFY(!fresh.fadeTimer()->isActive());
    }

    void satellitesFollowTheWindow()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const QPoint& to : {QPoint(50, 50), QPoint(120, 300), QPoint(0, 10)}) {
            w.move(to);
            QTRY_COMPARE(w.frameGeometry().topLeft(), to);
            const QRect m = w.frameGeometry();
            const QRect d = w.duplicateWindow()->frameGeometry();
            QCOMPARE(d.left(), m.left() + m.width() - d.width());
            QCOMPARE(d.top(), m.top() + 140);
            QCOMPARE(w.swapWindow()->frameGeometry().topLeft(), QPoint(m.left(), m.top() + m.height()));
        }
        // A right click puts the banner above the window, as wide as it.
        QTest::mouseClick(&w, Qt::RightButton, {}, QPoint(600, 20));
        const QRect m = w.frameGeometry();
        const QRect s = w.swapWindow()->frameGeometry();
        QCOMPARE(s.width(), m.width());
        QCOMPARE(s.bottom() + 1, m.top());
        QCOMPARE(s.left(), m.left());
        // The next move puts it below again.
        w.move(60, 400);
        QTRY_COMPARE(w.swapWindow()->frameGeometry().top(), w.frameGeometry().bottom() + 1);
    }

    void speakerAndMarkerToggles()
    {
        MainWindow w;
        w.show();
        QVERIFY(!w.appState().soundOn());
        const QImage off = findUnit<PicBox>(&w, "图片框1")->pixmap().toImage();
        QTest::mouseDClick(findUnit<PicBox>(&w, "图片框1"), Qt::LeftButton);
        QVERIFY(w.appState().soundOn());
        QVERIFY(findUnit<PicBox>(&w, "图片框1")->pixmap().toImage() != off);
        QTest::mouseDClick(findUnit<PicBox>(&w, "图片框1"), Qt::LeftButton);
        QVERIFY(!w.appState().soundOn());
        QCOMPARE(findUnit<PicBox>(&w, "图片框1")->pixmap().toImage(), off);
        // The speaker's double-click does not reach the window.
        QVERIFY(findUnit<PicBox>(&w, "图片框1")->isVisible());

        // Double-clicking the window hides and shows speaker and marker together.
        QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(600, 20));
        QVERIFY(!findUnit<PicBox>(&w, "图片框1")->isVisible());
        QVERIFY(!findUnit<TransLabel>(&w, "透明标签15")->isVisible());
        QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(600, 20));
        QVERIFY(findUnit<PicBox>(&w, "图片框1")->isVisible());
        QVERIFY(findUnit<TransLabel>(&w, "透明标签15")->isVisible());
    }

    void aLongFolderIsShownOnceElidedInTheMiddle()
    {
        const QString deep = QDir::tempPath() + "/学校/二〇二六年秋季/" + QString(60, QChar(u'班')) + "/照片";
        QVERIFY(photofoldersetting::write(deep));
        MainWindow w;
        auto* label = findUnit<TransLabel>(&w, "透明标签4");
        auto* box = findUnit<QLineEdit>(&w, "编辑框2");
        QCOMPARE(box->text(), deep);
        QCOMPARE(label->toolTip(), deep);
        QVERIFY(label->text().contains(QChar(0x2026)));
        QVERIFY(label->text().startsWith(QDir::tempPath().left(4)));
        QVERIFY(label->text().endsWith("/照片"));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        // The box under the label does not draw the path a second time.
        QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Text).alpha(), 0);
    }

    void updateLinkColourToggles()
    {
        MainWindow w;
        auto* link = findUnit<TransLabel>(&w, "透明标签14");
        const QColor red(0xFF, 0, 0), green(0, 0x80, 0);
        w.toggleUpdateLinkColour();
        QCOMPARE(link->textColour(), red);
        w.toggleUpdateLinkColour();
        QCOMPARE(link->textColour(), green);
        // Our address is empty: the link is grey, does not flicker under the
        // pointer, and nothing opens or fails.
        QVERIFY(MainWindow::updatePageAddress.isEmpty());
        MainWindow plain;
        auto* idle = findUnit<TransLabel>(&plain, "透明标签14");
        QCOMPARE(idle->textColour(), QColor(Qt::gray));
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(idle, &move);
        QCOMPARE(idle->textColour(), QColor(Qt::gray));
        plain.openUpdatePage();
    }

    void swapBannerToggleTexts()
    {
        MainWindow w;
        w.show();
        SwapConfirmWindow* banner = w.swapWindow();

        // No roster position: free shooting texts.
        QTest::mousePress(findUnit<TransLabel>(&w, "透明标签15"), Qt::LeftButton);
        QVERIFY(banner->isVisible());
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签15")->text(), QStringLiteral("△"));
        QCOMPARE(banner->currentLine(), QStringLiteral("你正进行自由拍照操作…………"));
        QCOMPARE(banner->nextLine(), QStringLiteral("你未进行任何照相操作…………"));
        QTest::mousePress(findUnit<TransLabel>(&w, "透明标签15"), Qt::LeftButton);
        QVERIFY(!banner->isVisible());
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签15")->text(), QStringLiteral("▽"));

        // At the last person.
        RosterState& roster = w.rosterState();
        roster.setRows({{{"张三", "1班", "甲"}}, {{"李四", "2班", "乙"}}, {{"王五", "3班", "丙"}}});
        roster.setCurrentRow(2);
        QTest::mousePress(findUnit<TransLabel>(&w, "透明标签15"), Qt::LeftButton);
        QCOMPARE(banner->currentLine(), QStringLiteral("最后位:  王五  3班"));
        QCOMPARE(banner->nextLine(), QStringLiteral("已是最后一位  照相可能即将结束"));
        QTest::mousePress(findUnit<TransLabel>(&w, "透明标签15"), Qt::LeftButton);

        // In the middle of the roster: the next row's photo name and second column.
        roster.setCurrentRow(0);
        roster.setDisplayNameColumn(2);  // the banner's next line always shows the second column
        QTest::mousePress(findUnit<TransLabel>(&w, "透明标签15"), Qt::LeftButton);
        QCOMPARE(banner->currentLine(), QStringLiteral("当前位:  张三  甲"));
        QCOMPARE(banner->nextLine(), QStringLiteral("下一位:  李四  2班"));

        // Its close box only hides it and resets the marker.
        banner->close();
        QVERIFY(!banner->isVisible());
        QCOMPARE(findUnit<TransLabel>(&w, "透明标签15")->text(), QStringLiteral("▽"));
    }

    void bannerSidesSwap()
    {
        MainWindow w;
        SwapConfirmWindow* banner = w.swapWindow();
        auto* left = banner->findChild<QWidget*>(QStringLiteral("透明标签2"));
        auto* right = banner->findChild<QWidget*>(QStringLiteral("透明标签1"));
        QCOMPARE(banner->windowTitle(), SwapConfirmWindow::waitingFirstTitle);
        banner->SwapBannerSides();
        QCOMPARE(banner->windowTitle(), SwapConfirmWindow::currentFirstTitle);
        QCOMPARE(left->x(), 490);
        QCOMPARE(right->x(), 0);
        banner->SwapBannerSides();
        QCOMPARE(banner->windowTitle(), SwapConfirmWindow::waitingFirstTitle);
        QCOMPARE(left->x(), 0);
        QCOMPARE(right->x(), 490);
        // The arrow swaps too.
        QTest::mousePress(banner->findChild<QWidget*>(QStringLiteral("透明标签3")), Qt::LeftButton);
        QCOMPARE(left->x(), 490);
    }

    void closingTheWindowTakesTheSatellitesAlong()
    {
        MainWindow w;
        w.show();
        w.toggleSwapWindow();
        w.duplicateWindow()->show();
        QVERIFY(w.swapWindow()->isVisible());
        w.close();
        QVERIFY(!w.swapWindow()->isVisible());
        QVERIFY(!w.duplicateWindow()->isVisible());
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    }

    void duplicateWindowCloseOnlyHides()
    {
        MainWindow w;
        w.duplicateWindow()->show();
        w.duplicateWindow()->close();
        QVERIFY(!w.duplicateWindow()->isVisible());
        QCOMPARE(w.duplicateWindow()->size(), QSize(378, 318));
        QCOMPARE(w.swapWindow()->size(), QSize(996, 75));
    }

private:
    TestDialogs dialogs_;
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
