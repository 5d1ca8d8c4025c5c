#pragma once
#include "jobsettings.h"

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

// One key per student, wherever the focus is in the window: the shot key
// takes the photo (and, with 自动保存, saves it and moves on; without, a
// second press saves), the back key returns to the previous student, the
// undo key takes the last save back. While a text box is being typed in the
// keys keep their usual meaning there; held keys do not repeat, and the
// list never moves more than one row per press.
class ShotKeys : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> shoot;
        std::function<void()> back;
        std::function<void()> undo;
    };

    ShotKeys(QWidget* window, Actions actions, QObject* parent = nullptr);

    const ShotKeySet& keys() const { return keys_; }
    void setKeys(const ShotKeySet& keys);

    // Whether a key press goes to the focused box rather than to the keys.
    static bool typingIn(const QWidget* focus);

signals:
    void keysChanged(const ShotKeySet& keys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Action { None, Shoot, Back, Undo };
    Action actionFor(const QKeyEvent& key) const;

    QWidget* window_;
    Actions actions_;
    ShotKeySet keys_;
};
