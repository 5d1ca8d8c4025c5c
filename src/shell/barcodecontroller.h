#pragma once
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QAbstractButton;
class QLineEdit;
class RosterController;

// The box "扫码定位": a scanner types a student number and Enter; the row it
// names becomes current (shown and announced as a click on it would), and the
// box is cleared for the next scan. The box keeps the keyboard focus while
// photos are taken: when the operator left it only to press 照相 or 保存相片,
// it takes the focus back afterwards.
class BarcodeController : public QObject {
    Q_OBJECT
public:
    struct Context {
        std::function<void(const QString&)> setStatus;
        std::function<void(const QString&)> setErrorStatus;  // shown in red
    };

    BarcodeController(RosterController& roster, QLineEdit* box, const QList<QAbstractButton*>& shootingButtons,
                      Context context, QObject* parent);

    // Makes the row the code names current; false when none matches.
    bool Locate(const QString& code);
    // Called when a take or a save has ended.
    void shootingDone();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RosterController& roster_;
    QLineEdit* box_;
    QList<QAbstractButton*> shootingButtons_;
    Context context_;
    bool keepFocus_ = false;  // the box had the focus when shooting began
};
