#pragma once
#include <QWidget>

#include <memory>

class DrawPanel;

namespace Ui {
class DuplicatePhotoWindow;
}

// Shows the existing photo beside the new one and lets the operator choose
// which to keep before saving.
class DuplicatePhotoWindow : public QWidget {
    Q_OBJECT
public:
    explicit DuplicatePhotoWindow(QWidget* owner);
    ~DuplicatePhotoWindow() override;

    // Shows the existing photo file beside the new photo of pane. A pane
    // lower than the form's canvases makes the window lower for good.
    void showComparison(const DrawPanel& pane, const QString& existingFile);

    // True when the window is on screen with "原照片" chosen: keep the file.
    bool keepsExistingPhoto() const;

signals:
    void saveRequested();
    // The close box hides the window.
    void hiddenByClose();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    std::unique_ptr<Ui::DuplicatePhotoWindow> ui;
};
