#pragma once
// A main window on a temporary photo folder, with the dialogs recorded.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "capturesource.h"
#include "mainwindow.h"
#include "photocontroller.h"
#include "photofoldersetting.h"
#include "rostercontroller.h"
#include "rosterstate.h"
#include "stationsettings.h"
#include "testdialogs.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

struct StationFixture {
    TestDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<MainWindow> window;

    // A new window on the settings the last one left (a restart), or on none.
    enum Settings { FreshSettings, KeepSettings };

    explicit StationFixture(MainWindow::CameraStart cameraStart = MainWindow::CameraStart::WithTheWindow,
                            Settings settings = FreshSettings)
    {
        if (settings == FreshSettings)
            stationsettings::open().clear();
        if (!photofoldersetting::write(photoFolder()))
            qFatal("the test setting cannot be written");
        window = std::make_unique<MainWindow>(cameraStart);
        // Tests that are not about the pause after a save take at once.
        photos().settleMs = 0;
    }

    PhotoService& photos() const { return window->photo->service(); }
    // A save runs on a worker: the test waits for its end, as the operator
    // waits for the next student.
    void waitForSave() const { QTRY_VERIFY_WITH_TIMEOUT(!photos().saving(), 30000); }
    // The next student sits down: a camera picture newer than the last save.
    void nextPicture() const
    {
        waitForSave();
        capControl* camera = window->camera->device();
        if (!camera->isPreviewing())
            return;
        const quint64 serial = camera->session()->serial();
        QTRY_VERIFY_WITH_TIMEOUT(camera->session()->serial() > serial, 10000);
    }
    // 照相, and the save it may start, to its end.
    void take() const
    {
        nextPicture();
        window->findChild<QPushButton*>(QStringLiteral("按钮照相"))->click();
        waitForSave();
    }

    // A unit of the main window itself (its satellite windows have units of
    // the same names).
    template <class T = QWidget> T* unit(const char* name) const
    {
        for (T* candidate : window->findChildren<T*>(QString::fromUtf8(name)))
            if (candidate->window() == window.get())
                return candidate;
        qFatal("no unit %s", name);
    }
    capControl* camera() const { return unit<capControl>("视频设备"); }
    // A check box set as asked, by a click as the operator sets it.
    void check(const char* name, bool on) const
    {
        auto* box = unit<QCheckBox>(name);
        if (box->isChecked() != on)
            box->click();
    }
    // 预览 on, with a first picture.
    void previewOn() const
    {
        unit<QPushButton>("预览按钮")->click();
        QVERIFY(window->camera->state().previewOn());
        QTRY_VERIFY_WITH_TIMEOUT(!camera()->latestFrame().isNull(), 10000);
    }
    void importClass() const
    {
        window->roster()->dropFiles({data("roster/class.xlsx")});
        QTRY_VERIFY(!window->rosterState().importing());
        QCOMPARE(window->roster()->rowCount(), 5);
    }
    // The class's first student photographed and saved by itself with the
    // caption off, so that every pixel of firstPhoto() is the camera's.
    void takeFirstUncaptioned() const
    {
        importClass();
        unit<QPushButton>("保存字幕")->click();
        QVERIFY(!window->photo->captionOn());
        check("选择框1", true);  // automatic saving
        take();
    }
    QString firstPhoto() const { return photoFolder() + QStringLiteral("/姓名.jpg"); }
    // Where a photo of the test camera is not the picture under the frame's
    // interior, at the photo points given; empty when it is everywhere.
    QString testCameraMismatch(const QImage& photo, const QList<QPoint>& points, int tolerance) const
    {
        const QRect interior = window->viewfinder->frameInterior().translated(-camera()->pos());
        const QRectF region = camera()->widgetToFrame(QRectF(interior));
        const QSize frameSize = camera()->latestFrame().size();
        for (const QPoint p : points) {
            const double fx = region.left() + (p.x() + 0.5) * region.width() / photo.width();
            const double fy = region.top() + (p.y() + 0.5) * region.height() / photo.height();
            int r, g, b;
            capture::testCameraColour(int(fx), int(fy), frameSize, &r, &g, &b);
            const QColor got = photo.pixelColor(p);
            if (qAbs(got.red() - r) > tolerance || qAbs(got.green() - g) > tolerance ||
                qAbs(got.blue() - b) > tolerance)
                return QStringLiteral("at %1,%2 got %3 want %4,%5,%6")
                    .arg(p.x())
                    .arg(p.y())
                    .arg(got.name())
                    .arg(r)
                    .arg(g)
                    .arg(b);
        }
        return {};
    }

    // Runs what is queued so far: a reaction the window queued to what the
    // test just did (a focus change, say) has happened once this returns.
    static void runQueued()
    {
        bool reached = false;
        QTimer::singleShot(0, [&reached] { reached = true; });
        QTRY_VERIFY(reached);
    }

    QString photoFolder() const { return folder.path() + "/photos"; }

    static QString data(const QString& name) { return QStringLiteral(STATION_TEST_DATA "/") + name; }
};
