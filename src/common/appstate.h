#pragma once
#include <QObject>
#include <QString>

// The process-wide state the main window's parts share. The window shows it
// (the speaker picture, the folder box and label, the opacity); the parts
// change it through the setters and never read it back from a unit.
//
// The camera's state lives in capture::CaptureState, the roster's in
// RosterState, the current take and the naming state in PhotoSession.
class AppState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The shutter sound, and with the voice settings the announcements.
    bool soundOn() const { return soundOn_; }
    void setSoundOn(bool on);
    // False while no sound reaches a loudspeaker (no sound server): the
    // speaker is shown off however the switch stands.
    bool soundOutputAvailable() const { return soundOutputAvailable_; }
    void setSoundOutputAvailable(bool available);

    // Where photos are saved, as shown.
    const QString& photoFolder() const { return photoFolder_; }
    void setPhotoFolder(const QString& folder);

    // The zoom value at which the frame size was last applied.
    double frameScaleValue() const { return frameScaleValue_; }
    double& frameScaleValueRef() { return frameScaleValue_; }

    // Opacity during the fade-in, 0..255.
    int windowAlpha() const { return windowAlpha_; }
    void setWindowAlpha(int alpha);

signals:
    void soundOnChanged(bool on);
    void soundOutputAvailableChanged(bool available);
    void photoFolderChanged(const QString& folder);
    void windowAlphaChanged(int alpha);

private:
    bool soundOn_ = false;
    bool soundOutputAvailable_ = true;
    QString photoFolder_;
    double frameScaleValue_ = 0;
    int windowAlpha_ = 0;
};
