#pragma once
#include "photoimage.h"
#include "photoservice.h"

#include <QObject>
#include <QString>

#include <functional>

class ColorPicker;
class DrawPanel;
class StationContext;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class SoundPlayer;
class capControl;

// The main window's units the photo part works on, filled by the window.
struct PhotoUnits {
    QPushButton* takeButton = nullptr;  // 按钮照相
    QPushButton* saveButton = nullptr;  // 保存按钮
    QPushButton* undoButton = nullptr;  // 撤销按钮
    QPushButton* folderButton = nullptr;  // 按钮1
    QPushButton* captionButton = nullptr;  // 保存字幕
    QLabel* captionState = nullptr;  // 标签1
    QCheckBox* freeShooting = nullptr;  // 选择框2
    QCheckBox* manualNaming = nullptr;  // 选择框3
    QCheckBox* autoSave = nullptr;  // 选择框1
    QLineEdit* fileNameBox = nullptr;  // 编辑框1
    QLabel* fileNameLabel = nullptr;  // 透明标签3
    QComboBox* compression = nullptr;  // 组合框1
    ColorPicker* captionColour = nullptr;  // 颜色选择器1
    DrawPanel* pane = nullptr;  // 画板1
    capControl* camera = nullptr;  // 视频设备
    QWidget* nameColumnButton = nullptr;  // 超级按钮1
    QWidget* displayColumnButton = nullptr;  // 超级按钮2
    QWidget* searchButton = nullptr;  // 超级按钮3
    QLineEdit* sizeLimitBox = nullptr;  // 大小上限编辑框
    QCheckBox* keepOriginal = nullptr;  // 保留原图选择框
    QCheckBox* replaceBackdrop = nullptr;  // 更换背景选择框
};

// Wires the photo units to the photo service (PhotoService), which decides
// everything about taking and saving, and shows what it decides: the result
// pane, the save and undo buttons, the comparison window, the naming boxes,
// the status line and the messages.
class PhotoController : public QObject {
    Q_OBJECT
public:
    PhotoController(StationContext& window, const PhotoUnits& units);
    ~PhotoController() override;

    void TakePhoto();
    // The shot key: takes the photo; without 自动保存 a second press saves
    // it, and with the comparison open the press saves the choice.
    void Shoot();
    // False when nothing was written, kept or started (a refusal, or the
    // comparison opened first).
    bool SavePhoto();
    bool UndoLastSave();
    void ChoosePhotoFolder();
    void LoadPictureFile(const QString& path);
    void ToggleCaption();

    PhotoImage& photoImage() { return photoImage_; }
    PhotoService& service() { return service_; }
    PhotoSession& session() { return service_.session(); }
    bool captionOn() const { return service_.session().captionOn(); }

    // Saves the list of those not photographed yet (the reports' 未照名单).
    std::function<void()> offerMissingList;

signals:
    // A save ended (written, kept or failed).
    void saveFinished();

private:
    void showNotice(const PhotoNotice& notice);
    void showTake();
    void showTakePicture();
    void photoSaved(const SaveReport& report);
    void photoUndone(const SaveReport& report);
    void openComparison(const QString& existingPath);
    void showCurrentFileName();
    void showStateOfButtons();
    void showCaptionState();
    void showRowPhoto();
    void showEndOfList();

    void freeShootingClicked(bool checked);
    void manualNamingClicked(bool checked);
    void autoSaveClicked(bool checked);
    void sizeLimitTyped();
    void targetChanged();

    StationContext& w_;
    PhotoUnits u_;
    PhotoService service_;
    PhotoImage photoImage_;
    SoundPlayer* shutter_;
    bool paneShowsTake_ = false;
    bool endOfListPending_ = false;  // said once the check after the last save has counted
};
