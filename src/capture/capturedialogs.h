#pragma once
// The three settings dialogs of the capture unit.
#include "aviwriter.h"
#include "capturesource.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QPushButton;
class QLabel;
class QListWidget;
class QSpinBox;

namespace v4l2 {
class ControlSet;
}

namespace capture {

// Shows a dialog and answers QDialog::Accepted or Rejected. The station runs
// exec(); tests install a runner that fills the dialog in and answers.
using DialogRunner = std::function<int(QDialog&)>;
void setDialogRunner(DialogRunner runner);  // empty = exec()
int runDialog(QDialog& dialog);

// "设置视频": the formats the source offers; the list is objectName "formats".
// Below it the check box "镜像预览" (the preview only, never photos or
// recordings).
class FormatDialog : public QDialog {
    Q_OBJECT
public:
    FormatDialog(const QList<CaptureFormat>& formats, const CaptureFormat& current, QWidget* parent = nullptr);
    CaptureFormat selectedFormat() const;
    QListWidget* list() const { return list_; }
    bool mirrored() const;
    void setMirrored(bool on);
    // "拍照使用最高分辨率": stills from the camera's largest mode.
    bool stillFromBestMode() const;
    void setStillFromBestMode(bool on);

private:
    QList<CaptureFormat> formats_;
    QListWidget* list_;
    QCheckBox* mirror_;
    QCheckBox* bestMode_;
};

// The address dialog of the entry "网络摄像头或文件…": an editable list of
// the recent addresses (objectName "address") and the buttons "文件…" and
// "文件夹…" that browse for a picture or video file or a hot folder.
class AddressDialog : public QDialog {
    Q_OBJECT
public:
    AddressDialog(const QStringList& recent, QWidget* parent = nullptr);
    QString address() const;
    void setAddress(const QString& text);

private:
    QComboBox* address_;
};

// The addresses and folders connected lately, newest first (at most ten).
QStringList recentAddresses();
void rememberAddress(const QString& address);

// "图像参数": the camera's picture controls, applied as they are moved.
// Each control is a QSlider, QCheckBox or QComboBox named after the
// driver's control name, labelled in Chinese; a slider's value shows in the
// label "<name>/value". After every change all controls are read back from
// the camera: a refused value goes back, controls the camera ignores now
// (manual values under an automatic mode) are greyed. The reason of a
// refusal shows in the label "status"; the button "恢复默认" restores the
// camera's defaults.
//
// Values set here are kept for the camera named `cameraIdentity` (card and
// bus) and applied whenever it is connected again. The check button
// "锁定曝光/白平衡/对焦" switches the automatic exposure, white balance and
// focus off at the values they have now, and on again.
class SourceControlsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SourceControlsDialog(const QString& devicePath, QWidget* parent = nullptr);
    SourceControlsDialog(const QString& devicePath, const QString& cameraIdentity, QWidget* parent = nullptr);
    ~SourceControlsDialog() override;
    bool hasControls() const { return !rows_.isEmpty(); }

private:
    struct Row;
    void apply(quint32 id, int value);
    void restoreDefaults();
    void lock(bool on);
    void reread();

    QString identity_;
    std::unique_ptr<v4l2::ControlSet> controls_;
    QPushButton* lock_ = nullptr;
    QList<std::shared_ptr<Row>> rows_;
    QLabel* status_;
};

// "视频压缩": the recording codec (objectName "codec") and quality ("quality").
class CompressionDialog : public QDialog {
    Q_OBJECT
public:
    explicit CompressionDialog(const CompressionSettings& current, QWidget* parent = nullptr);
    CompressionSettings settings() const;
    QComboBox* codecBox() const { return codec_; }
    QSpinBox* qualityBox() const { return quality_; }

private:
    QComboBox* codec_;
    QSpinBox* quality_;
};

}  // namespace capture
