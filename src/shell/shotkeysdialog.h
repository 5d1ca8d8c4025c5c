#pragma once
#include "shotkeys.h"

#include <QWidget>

class QKeySequenceEdit;

// Where the operator sets the keys: two for the shot (a clicker's and a
// pedal's), one to go back, one to undo.
class ShotKeysDialog : public QWidget {
    Q_OBJECT
public:
    ShotKeysDialog(ShotKeys& keys, QWidget* owner);

    // Shows the keys in use, in front.
    void showKeys();

private:
    void show(const ShotKeySet& keys);
    void apply();

    ShotKeys& keys_;
    QKeySequenceEdit* shoot1_;
    QKeySequenceEdit* shoot2_;
    QKeySequenceEdit* back_;
    QKeySequenceEdit* undo_;
};
