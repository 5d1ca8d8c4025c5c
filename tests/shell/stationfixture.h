#pragma once
// A main window on a temporary photo folder, with the dialogs recorded.
#include "mainwindow.h"
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

#include <memory>

struct StationFixture {
    TestDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<MainWindow> window;

    explicit StationFixture(MainWindow::CameraStart cameraStart = MainWindow::CameraStart::WithTheWindow)
    {
        stationsettings::open().clear();
        if (!photofoldersetting::write(photoFolder()))
            qFatal("the test setting cannot be written");
        window = std::make_unique<MainWindow>(cameraStart);
    }

    QString photoFolder() const { return folder.path() + "/photos"; }

    static QString data(const QString& name) { return QStringLiteral(STATION_TEST_DATA "/") + name; }
};
