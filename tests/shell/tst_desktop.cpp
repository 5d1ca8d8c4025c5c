// The main window and its satellites on a real desktop (Xvfb + openbox):
// ownership, stacking, minimising and the fade-in, read back from the X
// server the way a window manager and a compositor see them.
#include "capcontrol.h"
#include "capturesource.h"
#include "duplicatephotowindow.h"
#include "jpegcodec.h"
#include "mainwindow.h"
#include "photofoldersetting.h"
#include "searchwindow.h"
#include "stationsettings.h"
#include "swapconfirmwindow.h"
#include "testdialogs.h"
#include "testfiles.h"
#include "translabel.h"
#include "voicesettingswindow.h"
#include "wmharness.h"

#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// The window is mapped, framed and listed by the window manager.
bool managed(const QWidget* w)
{
    const wm::Window id = wm::windowOf(w);
    return w->isVisible() && wm::viewable(id) && wm::stackingIndex(id) >= 0 &&
           wm::cardinal(id, "_NET_FRAME_EXTENTS").has_value();
}

bool above(const QWidget* upper, const QWidget* lower)
{
    return wm::stackingIndex(wm::windowOf(upper)) > wm::stackingIndex(wm::windowOf(lower));
}

template <typename T> T* unit(const QWidget& w, const char* name)
{
    T* u = w.findChild<T*>(QString::fromUtf8(name));
    if (!u)
        qFatal("no unit %s", name);
    return u;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDialogs> dialogs;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<MainWindow> window;

    MainWindow& w() { return *window; }
    QString photoFolder() const { return folder->path() + "/photos"; }

    void showMain()
    {
        w().show();
        QTRY_VERIFY_WITH_TIMEOUT(managed(&w()), 20000);
    }

    // A photo of the current person is taken while their file exists.
    void takeDuplicate()
    {
        w().importWorkbookAtStart(QStringLiteral(STATION_TEST_DATA "/roster/class.xlsx"));
        writeSolidPhoto(photoFolder() + QStringLiteral("/姓名.jpg"));
        unit<QPushButton>(w(), "预览按钮")->click();
        auto* take = unit<QPushButton>(w(), "按钮照相");
        QTRY_VERIFY_WITH_TIMEOUT(take->isEnabled() && !unit<capControl>(w(), "视频设备")->latestFrame().isNull(),
                                 10000);
        take->click();
        QTRY_VERIFY(w().duplicateWindow()->isVisible());
    }

private slots:
    void initTestCase()
    {
        capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });
    }

    void init()
    {
        dialogs = std::make_unique<TestDialogs>();
        folder = std::make_unique<QTemporaryDir>();
        stationsettings::open().clear();
        QVERIFY(photofoldersetting::write(photoFolder()).ok());
        window = std::make_unique<MainWindow>();
        window->move(50, 50);
    }

    void cleanup()
    {
        window.reset();
        folder.reset();
        dialogs.reset();
    }

    void satellitesAreOwnedToolWindows()
    {
        showMain();
        const wm::Window main = wm::windowOf(&w());
        w().duplicateWindow()->show();
        w().swapWindow()->show();
        for (QWidget* satellite :
             {static_cast<QWidget*>(w().duplicateWindow()), static_cast<QWidget*>(w().swapWindow())}) {
            QTRY_VERIFY(managed(satellite));
            const wm::Window id = wm::windowOf(satellite);
            QCOMPARE(wm::transientFor(id), main);
            // A utility window: no taskbar entry of its own.
            QVERIFY(wm::atoms(id, "_NET_WM_WINDOW_TYPE").contains("_NET_WM_WINDOW_TYPE_UTILITY"));
            QVERIFY(above(satellite, &w()));
        }

        // The search and voice settings windows, loaded on first use, too.
        unit<QPushButton>(w(), "超级按钮3")->click();
        auto* search = w().findChild<SearchWindow*>();
        QVERIFY(search);
        emit unit<MouseLabel>(w(), "图片框1")->rightReleased({});
        auto* voice = w().findChild<VoiceSettingsWindow*>();
        QVERIFY(voice);
        for (QWidget* satellite : {static_cast<QWidget*>(search), static_cast<QWidget*>(voice)}) {
            QTRY_VERIFY(managed(satellite));
            QCOMPARE(wm::transientFor(wm::windowOf(satellite)), main);
        }

        // The voice settings leave every control of the main window in view.
        const QRect settings = wm::frameRect(wm::windowOf(voice));
        QVERIFY(!settings.intersects(wm::frameRect(main)));
        QVERIFY(w().screen()->geometry().contains(settings));
    }

    void comparisonOpensAboveTheMainWindowWithTheFocusLeftThere()
    {
        showMain();
        takeDuplicate();
        DuplicatePhotoWindow* duplicate = w().duplicateWindow();
        QTRY_VERIFY(managed(duplicate));
        QTRY_VERIFY(above(duplicate, &w()));
        // Keyboard focus stays with the main window while the comparison shows.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&w()));
        QVERIFY(above(duplicate, &w()));

        // Placed by its outer frame: flush with the main window's right edge,
        // 140 below its top.
        const QRect m = wm::frameRect(wm::windowOf(&w()));
        QTRY_COMPARE(wm::frameRect(wm::windowOf(duplicate)).topRight(), QPoint(m.right(), m.top() + 140));
    }

    void bannerSitsBelowOrAboveByItsOuterFrame()
    {
        showMain();
        SwapConfirmWindow* banner = w().swapWindow();
        unit<MouseLabel>(w(), "透明标签15")->leftPressed({});
        QTRY_VERIFY(managed(banner));
        const QRect m = wm::frameRect(wm::windowOf(&w()));
        QTRY_COMPARE(wm::frameRect(wm::windowOf(banner)).topLeft(), m.bottomLeft() + QPoint(0, 1));

        // A right click on the main window puts it above, as wide as the main window.
        QTest::mouseClick(w().windowHandle(), Qt::RightButton, {}, QPoint(600, 500));
        QTRY_COMPARE(wm::frameRect(wm::windowOf(banner)).bottomLeft(), m.topLeft() - QPoint(0, 1));
        QCOMPARE(wm::frameRect(wm::windowOf(banner)).width(), m.width());
    }

    void minimisingTheMainWindowTakesTheSatellitesAlong()
    {
        showMain();
        takeDuplicate();
        unit<MouseLabel>(w(), "透明标签15")->leftPressed({});
        QVERIFY(w().swapWindow()->isVisible());
        const QList<QWidget*> satellites{w().duplicateWindow(), w().swapWindow()};
        for (QWidget* s : satellites)
            QTRY_VERIFY(managed(s));

        w().showMinimized();
        for (QWidget* s : satellites)
            QTRY_VERIFY(!wm::viewable(wm::windowOf(s)));
        QTRY_VERIFY(!wm::viewable(wm::windowOf(&w())));

        w().showNormal();
        QTRY_VERIFY(wm::viewable(wm::windowOf(&w())));
        for (QWidget* s : satellites) {
            QTRY_VERIFY(wm::viewable(wm::windowOf(s)));
            QTRY_VERIFY(above(s, &w()));
        }
    }

    void fadeInReachesTheServerAtEachStep()
    {
        // Each tick's opacity must be on the X server when the tick returns:
        // a compositor reads it from there, and nothing else (no pointer
        // motion) is coming to carry it over.
        auto* timer = w().findChild<QTimer*>(QStringLiteral("时钟1"));
        QVERIFY(timer);
        w().show();
        const wm::Window id = wm::windowOf(&w());
        QList<int> seen;
        QList<int> expected;
        connect(timer, &QTimer::timeout, this, [&] {
            const int set = qRound(w().windowOpacity() * 255);
            // The server takes requests of different clients in its own
            // order: give it a moment, without returning to the event loop
            // (which would send anything still held back).
            auto onServer = [&] {
                const auto v = wm::cardinal(id, "_NET_WM_WINDOW_OPACITY");
                // Fully opaque may be written as the property's absence.
                return v ? int(qRound64(*v * 255.0 / 0xffffffffu)) : 255;
            };
            QDeadlineTimer deadline(2000);
            while (onServer() != set && !deadline.hasExpired())
                QThread::msleep(2);
            seen << onServer();
            expected << set;
        });
        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 20000);
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen, expected);
        QCOMPARE(seen.last(), 255);
    }
};

WM_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
