#pragma once
#include "photoimage.h"

#include <QObject>
#include <QString>

class MainWindow;
class SoundPlayer;

// Taking a photo into the result pane and saving it under the roster's,
// a typed or a numbered name; the naming modes, the photo folder, the caption
// switches and the picture object.
class PhotoController : public QObject {
    Q_OBJECT
public:
    static const QString autoNamePrefix;  // "Velk学籍照相相片"

    explicit PhotoController(MainWindow& window);
    ~PhotoController() override;

    void TakePhoto();
    // False when nothing was written (a refused name or a failed write) and
    // the roster did not move; true when the save ran to its end.
    bool SavePhoto();
    void ChoosePhotoFolder();
    void LoadPictureFile(const QString& path);
    void ToggleCaption();

    PhotoImage& photoImage() { return photoImage_; }
    bool captionOn() const;

private:
    void freeShootingClicked(bool checked);
    void manualNamingClicked(bool checked);
    void autoSaveClicked(bool checked);
    void fileNameTyped();
    void refuse(const QString& status, const QString& message);
    void finishSave();
    void announceSavedRow();

    MainWindow& w_;
    PhotoImage photoImage_;
    SoundPlayer* shutter_;
};
