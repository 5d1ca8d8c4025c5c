#pragma once
#include <QWidget>

namespace Ui {
class SwapConfirmWindow;
}

// The banner under the main window: the next person and the current one,
// in two lines whose sides can be swapped.
class SwapConfirmWindow : public QWidget {
    Q_OBJECT
public:
    static const QString waitingFirstTitle;  // "等待照相←→当前照相 ◇ 确认窗口"
    static const QString currentFirstTitle;  // "当前照相←→等待照相 ◇ 确认窗口"

    explicit SwapConfirmWindow(QWidget* owner);
    ~SwapConfirmWindow() override;

    void setCurrentLine(const QString& text);  // 透明标签1
    void setNextLine(const QString& text);  // 透明标签2
    QString currentLine() const;
    QString nextLine() const;

    void SwapBannerSides();

signals:
    // The close box hides the window; the owner resets its marker.
    void hiddenByClose();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Ui::SwapConfirmWindow* ui;
};
