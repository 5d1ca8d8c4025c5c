#pragma once
#include <QColor>
#include <QObject>

#include <array>

class MainWindow;
class capControl;

// The camera side of the main window: detecting and listing the capture
// sources in the device box, connecting the chosen one, the preview switch
// with the controls it enables, the three settings buttons and recording.
class CameraController : public QObject {
    Q_OBJECT
public:
    explicit CameraController(MainWindow& window);

    capControl* device() const;

    void DetectDevices();
    // Connects every driver in turn to read its name; then the first.
    void ListDevices(bool handleEvents = true);
    void ConnectChosenDriver(int comboIndex);
    void TogglePreview();
    void StartRecording();
    void StopRecording();

    // The viewfinder line colours, as 0x00BBGGRR values.
    static const std::array<unsigned, 10> frameColours;
    static QColor colourOf(unsigned bgr);
    // The line colour last given to the viewfinder frame.
    QColor frameColour() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pickFrameColour();
    void showPreviewOffState();
    void onPreviewLost(const QString& message);
    void onCaptureEnded(const QString& message);

    MainWindow& w_;
    bool listing_ = false;
};
