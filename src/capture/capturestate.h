#pragma once
// The camera side of the application state: how many drivers the last
// detection found, whether the device box is filled, and whether the
// preview and a recording are on. Windows render it; controllers write it.

namespace capture {

class CaptureState {
public:
    int knownDriverCount() const { return knownDriverCount_; }
    bool devicesListed() const { return devicesListed_; }
    bool previewOn() const { return previewOn_; }
    bool recording() const { return recording_; }

    void setKnownDriverCount(int count) { knownDriverCount_ = count; }
    void setDevicesListed(bool listed) { devicesListed_ = listed; }
    void setPreviewOn(bool on) { previewOn_ = on; }
    void setRecording(bool on) { recording_ = on; }

private:
    int knownDriverCount_ = 0;
    bool devicesListed_ = false;
    bool previewOn_ = false;
    bool recording_ = false;
};

}  // namespace capture
