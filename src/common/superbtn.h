#pragma once
#include <QPushButton>

// A flat button with a changeable caption.
class SuperBtn : public QPushButton {
    Q_OBJECT
public:
    explicit SuperBtn(QWidget* parent = nullptr)
        : QPushButton(parent)
    {
        setFlat(true);
        setStyleSheet(QStringLiteral("SuperBtn { border: 1px solid #8a8a8a; background: #f4f4f4; }"
                                     "SuperBtn:disabled { color: #9a9a9a; }"));
    }
};
