#pragma once
#include "jobsettings.h"

#include <QObject>

#include <functional>

class ColorPicker;
class PhotoController;
class QCheckBox;
class QLineEdit;
class QTimer;
class RosterState;
class ShotKeys;
class Viewfinder;

// The units and state a job is made of.
struct JobUnits {
    QLineEdit* width = nullptr;  // 编辑框3
    QLineEdit* height = nullptr;  // 编辑框4
    QLineEdit* sizeLimit = nullptr;  // 大小上限编辑框
    ColorPicker* captionColour = nullptr;  // 颜色选择器1
    QCheckBox* headerRow = nullptr;  // 选择框4
    QCheckBox* autoFrame = nullptr;  // 自动取景选择框
    QCheckBox* photoCheck = nullptr;  // 照片检查选择框
    QCheckBox* autoSave = nullptr;  // 选择框1
    QCheckBox* freeShooting = nullptr;  // 选择框2
    QCheckBox* manualNaming = nullptr;  // 选择框3
    QCheckBox* keepOriginal = nullptr;  // 保留原图选择框
    QCheckBox* replaceBackdrop = nullptr;  // 更换背景选择框
};

// Keeps the operator's job from one start to the next: applies the kept job
// when the window opens (before a workbook named at start is imported, so
// its header row is known), and keeps every change as it is made.
class JobController : public QObject {
    Q_OBJECT
public:
    // `choosePreset` picks a 照片规格 by name (false when there is none).
    JobController(const JobUnits& units, PhotoController& photo, RosterState& roster, Viewfinder& frame, ShotKeys& keys,
                  std::function<bool(const QString&)> choosePreset, QObject* parent);
    // A change made just before the window closes is kept too.
    ~JobController() override;

    const StationJob& job() const { return job_; }

private:
    void apply(const StationJob& job);
    void changed();
    void keep();

    JobUnits u_;
    PhotoController& photo_;
    RosterState& roster_;
    ShotKeys& keys_;
    std::function<bool(const QString&)> choosePreset_;
    StationJob job_;
    StationJob kept_;
    QTimer* keep_;
};
