#pragma once
// A main window on a temporary photo folder, with the dialogs recorded.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesession.h"
#include "mainwindow.h"
#include "photocontroller.h"
#include "photofoldersetting.h"
#include "stationsettings.h"
#include "testdialogs.h"

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
