#pragma once
#include <QFrame>

// A thin vertical divider, decoration only.
class SplitterBar : public QFrame {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent = nullptr)
        : QFrame(parent)
    {
        setFrameShape(QFrame::VLine);
        setFrameShadow(QFrame::Sunken);
    }
};
