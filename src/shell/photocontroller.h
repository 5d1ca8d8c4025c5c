#pragma once
#include "photoimage.h"
#include "photorender.h"
#include "phototake.h"

#include <QObject>
#include <QString>

#include <functional>

class ColorPicker;
class DrawPanel;
class MainWindow;
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
    QPushButton* folderButton = nullptr;  // 按钮1
    QPushButton* captionButton = nullptr;  // 保存字幕
    QLabel* captionState = nullptr;  // 标签1
    QCheckBox* freeShooting = nullptr;  // 选择框2
    QCheckBox* manualNaming = nullptr;  // 选择框3
    QCheckBox* autoSave = nullptr;  // 选择框1
    QLineEdit* fileNameBox = nullptr;  // 编辑框1
    QLabel* fileNameLabel = nullptr;  // 透明标签3
    QLineEdit* folderBox = nullptr;  // 编辑框2
    QLabel* folderLabel = nullptr;  // 透明标签4
    QComboBox* compression = nullptr;  // 组合框1
    ColorPicker* captionColour = nullptr;  // 颜色选择器1
    DrawPanel* pane = nullptr;  // 画板1
    capControl* camera = nullptr;  // 视频设备
    QWidget* nameColumnButton = nullptr;  // 超级按钮1
    QWidget* displayColumnButton = nullptr;  // 超级按钮2
    QWidget* searchButton = nullptr;  // 超级按钮3
    QLineEdit* sizeLimitBox = nullptr;  // 大小上限编辑框
};

// Taking a photo for the person in front of the camera and saving it under
// that person's, a typed or a numbered name; the naming modes, the photo
// folder, the caption switch and the picture object. The take and the naming
// state live in session(); the units only show them.
class PhotoController : public QObject {
    Q_OBJECT
public:
    static const QString autoNamePrefix;  // "Velk学籍照相相片"

    PhotoController(MainWindow& window, const PhotoUnits& units);
    ~PhotoController() override;

    void TakePhoto();
    // False when nothing was written or kept (no fresh take, a refused name
    // or size, a failed write, the comparison opened first) and the roster
    // did not move; true when the save ran to its end or runs in the
    // background.
    bool SavePhoto();
    void ChoosePhotoFolder();
    void LoadPictureFile(const QString& path);
    void ToggleCaption();

    PhotoImage& photoImage() { return photoImage_; }
    PhotoSession& session() { return session_; }
    const PhotoSession& session() const { return session_; }
    bool captionOn() const { return session_.captionOn(); }

    // Checks a photo just taken, when checks are on (false when off); the
    // answer comes later on this thread. An automatic save waits for it, and
    // a photo that fails is left for the operator to save or take again.
    std::function<bool(const QImage& photo, std::function<void(bool passed)> answer)> takeCheck;

signals:
    // A save on the worker thread ended (written or failed).
    void backgroundSaveFinished();

private:
    struct SaveTarget {
        QString name;  // the photo name as given
        QString path;  // its file
        int number = 0;  // the automatic number, 0 for other names
    };
    Result<SaveTarget> saveTarget() const;
    Status checkSharedFile(int row, const QString& fileName) const;
    void writeTake(const SaveTarget& target);
    bool finishWrite(const SaveTarget& target, const Result<SavedPhoto>& written);
    void keepExisting();
    void openComparison(const QString& existingFile);
    QString nextAutoName() const;
    void showCurrentFileName();

    void freeShootingClicked(bool checked);
    void manualNamingClicked(bool checked);
    void autoSaveClicked(bool checked);
    void fileNameTyped();
    void sizeLimitTyped();
    void startTakeCheck();
    void takeChecked(quint64 takeNumber, bool passed);
    void updateSaveButton();
    void showCaptionState();
    bool refuse(const QString& status, const QString& message);
    void finishSave();
    void announceSavedRow();

    MainWindow& w_;
    PhotoUnits u_;
    PhotoSession session_;
    PhotoImage photoImage_;
    SoundPlayer* shutter_;
    bool checkingTake_ = false;  // the checks of the current take are running
    bool autoSaveAfterCheck_ = false;  // and it is saved automatically if they pass
};
