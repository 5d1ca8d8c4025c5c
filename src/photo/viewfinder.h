#pragma once
#include "viewfinderlayout.h"

#include <QObject>
#include <QRect>

class QLabel;
class QLineEdit;
class QWidget;
class ShapeBox;
class TransLabel;
class ZoomSpinBox;

// The main window's units the viewfinder works on. The frame, the grip, the
// preview area, the result pane, its placeholder picture and the strip under
// the pane are expected to share one parent (the window's client area); other
// parents are mapped through global coordinates.
struct ViewfinderUnits {
    ShapeBox* frame = nullptr;  // 外形框1
    TransLabel* grip = nullptr;  // 透明标签7
    QWidget* preview = nullptr;  // 图片框2
    QWidget* pane = nullptr;  // 画板1
    QWidget* panePicture = nullptr;  // 图片框1111
    QWidget* strip = nullptr;  // 透明标签9
    QLineEdit* widthBox = nullptr;  // 编辑框3
    QLineEdit* heightBox = nullptr;  // 编辑框4
    ZoomSpinBox* zoomBox = nullptr;  // 编辑框5
    QLabel* zoomCopy = nullptr;  // 透明标签12
    QWidget* helpLabel = nullptr;  // 透明标签16
    QWidget* statusLabel = nullptr;  // 透明标签1
};

// Keeps the viewfinder frame, the result pane and the zoom box in step with
// the target resolution and the operator's drags and zooms.
//
// frameScaleValue is the application state's zoom value at which the frame
// size was last applied; the caller owns it (and seeds it from the zoom box's
// text at start) and it must outlive this object.
class Viewfinder : public QObject {
    Q_OBJECT
public:
    Viewfinder(const ViewfinderUnits& units, double& frameScaleValue, QObject* parent = nullptr);

    // The target size the frame and the pane are laid out for: the last
    // valid size typed into the resolution boxes.
    int targetWidth() const { return m_target.width(); }
    int targetHeight() const { return m_target.height(); }
    QSize target() const { return m_target; }
    // Why the boxes hold no valid size now (they are marked red with it as
    // their tooltip); empty when they do.
    QString targetError() const { return m_targetError; }

    // Takes the size typed into the resolution boxes: a valid one re-lays out
    // frame, grip, result pane and placeholder and resets the zoom; an empty,
    // zero, negative, non-numeric or too large one is marked on its box and
    // everything keeps its last layout until the boxes hold a valid size again.
    void ApplyTargetResolution();

    // Re-applies the frame's outline-only shape and repaints it at once; raises
    // the frame over its siblings only while the help text is hidden.
    void RefreshFrameShape();

    void showFrame();
    void hideFrame();

    // Zoom by the wheel (signed distance) and by a spin button (+1 / -1).
    void wheelZoom(int delta);
    void spinZoom(int step);

    // Moves the frame to geometry (its outline included) for the automatic
    // framing, pushed inside the drag limits; its size stays as given. Not a
    // manual move.
    void placeFrame(const QRect& geometry);

    // The part of the preview inside the frame's outline, in the frame's
    // parent's coordinates.
    QRect frameInterior() const;

    const ViewfinderUnits& units() const { return m_units; }

signals:
    // Emitted on every applied resolution change, once the result pane has
    // its new size: its picture no longer matches the target.
    void resultPaneCleared();
    // The frame's rectangle changed (layout, zoom or drag).
    void frameGeometryChanged(QRect geometry);
    // The target size or its error changed.
    void targetChanged();
    // The operator dragged or zoomed the frame.
    void manuallyMoved();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Applies the zoom value `next` with the given step; false when refused.
    bool applyZoom(int next, int step);
    QRect previewRect() const;
    void markBoxes(const QString& widthError, const QString& heightError);

    ViewfinderUnits m_units;
    QSize m_target;
    QString m_targetError;
    double& m_frameScaleValue;
};
