#pragma once
// The camera side of the application state: how many drivers the last
// detection found, whether the device box is filled, and whether the
// preview and a recording are on. Windows render it; controllers write it.
#include <QObject>

namespace capture {

class CaptureState : public QObject {
    Q_OBJECT
public:
    explicit CaptureState(QObject* parent = nullptr)
        : QObject(parent)
    {
    }

    int knownDriverCount() const { return knownDriverCount_; }
    bool devicesListed() const { return devicesListed_; }
    bool previewOn() const { return previewOn_; }
    bool recording() const { return recording_; }

    void setKnownDriverCount(int count)
    {
        if (count != knownDriverCount_) {
            knownDriverCount_ = count;
            emit knownDriverCountChanged(count);
        }
    }
    void setDevicesListed(bool listed)
    {
        if (listed != devicesListed_) {
            devicesListed_ = listed;
            emit devicesListedChanged(listed);
        }
    }
    void setPreviewOn(bool on)
    {
        if (on != previewOn_) {
            previewOn_ = on;
            emit previewOnChanged(on);
        }
    }
    void setRecording(bool on)
    {
        if (on != recording_) {
            recording_ = on;
            emit recordingChanged(on);
        }
    }

signals:
    void knownDriverCountChanged(int count);
    void devicesListedChanged(bool listed);
    void previewOnChanged(bool on);
    void recordingChanged(bool on);

private:
    int knownDriverCount_ = 0;
    bool devicesListed_ = false;
    bool previewOn_ = false;
    bool recording_ = false;
};

}  // namespace capture
