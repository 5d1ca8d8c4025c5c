#include "viewfinder.h"

#include "shapebox.h"
#include "texttoint.h"
#include "translabel.h"
#include "zoomspinbox.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QWheelEvent>

#include <limits>

namespace {

// A widget's rectangle in the coordinates of `space` (the frame's parent).
QRect rectIn(const QWidget* w, const QWidget* space)
{
    if (!space || w->parentWidget() == space)
        return w->geometry();
    return QRect(space->mapFromGlobal(w->mapToGlobal(QPoint(0, 0))), w->size());
}

void placeFrom(QWidget* w, const QRect& r, const QWidget* space)
{
    QWidget* parent = w->parentWidget();
    if (!space || !parent || parent == space) {
        w->setGeometry(r);
        return;
    }
    w->setGeometry(QRect(parent->mapFromGlobal(space->mapToGlobal(r.topLeft())), r.size()));
}

int stepped(int value, int by)
{
    const qint64 next = qint64(value) + by;
    return int(qBound(qint64(std::numeric_limits<int>::min()), next, qint64(std::numeric_limits<int>::max())));
}

}  // namespace

Viewfinder::Viewfinder(const ViewfinderUnits& units, double& frameScaleValue, QObject* parent)
    : QObject(parent)
    , m_units(units)
    , m_frameScaleValue(frameScaleValue)
{
    ShapeBox* frame = m_units.frame;
    frame->setGrip(m_units.grip);

    // The size the form's boxes hold; the layout is the form's already.
    const Result<QSize> initial = viewfinder::parseTargetSize(m_units.widthBox->text(), m_units.heightBox->text());
    m_target = initial ? initial.value() : QSize(151, 201);

    connect(m_units.widthBox, &QLineEdit::textChanged, this, [this] { ApplyTargetResolution(); });
    connect(m_units.heightBox, &QLineEdit::textChanged, this, [this] { ApplyTargetResolution(); });
    m_units.widthBox->installEventFilter(this);
    m_units.heightBox->installEventFilter(this);

    connect(m_units.zoomBox, &ZoomSpinBox::wheelTurned, this, &Viewfinder::wheelZoom);
    connect(m_units.zoomBox, &ZoomSpinBox::spinPressed, this, &Viewfinder::spinZoom);
    connect(m_units.zoomBox, &ZoomSpinBox::textChanged, m_units.zoomCopy, &QLabel::setText);

    // A right click on the frame readies the zoom box; from then on the wheel
    // over the frame zooms it (the wheel goes to the widget under the pointer
    // here, so it is passed on while the zoom box holds the focus).
    connect(m_units.grip, &MouseLabel::rightReleased, this,
            [this] { m_units.zoomBox->setFocus(Qt::MouseFocusReason); });
    m_units.grip->installEventFilter(this);
    frame->installEventFilter(this);

    connect(frame, &ShapeBox::dragMoved, this, &Viewfinder::frameGeometryChanged);
    connect(frame, &ShapeBox::dragMoved, this, &Viewfinder::manuallyMoved);
}

void Viewfinder::markBoxes(const QString& widthError, const QString& heightError)
{
    // A bad value shows on its box at once: red, with the reason as tooltip.
    const auto mark = [](QLineEdit* box, const QString& error) {
        QPalette palette;  // nothing set: the window's own colours
        if (!error.isEmpty())
            palette.setColor(QPalette::Base, QColor(255, 150, 150));
        box->setPalette(palette);
        box->setToolTip(error);
    };
    mark(m_units.widthBox, widthError);
    mark(m_units.heightBox, heightError);
}

QRect Viewfinder::previewRect() const
{
    return rectIn(m_units.preview, m_units.frame->parentWidget());
}

void Viewfinder::ApplyTargetResolution()
{
    const Result<int> w = viewfinder::parseTargetSide(m_units.widthBox->text(), QStringLiteral("宽度"));
    const Result<int> h = viewfinder::parseTargetSide(m_units.heightBox->text(), QStringLiteral("高度"));
    markBoxes(w.error(), h.error());
    if (!w || !h) {
        // Half-typed or absurd size: keep the last layout, refuse photos.
        m_targetError = !w ? w.error() : h.error();
        emit targetChanged();
        return;
    }
    QWidget* space = m_units.frame->parentWidget();
    const Result<viewfinder::ResolutionLayout> laidOut =
        viewfinder::layoutForTarget(w.value(), h.value(), previewRect(), rectIn(m_units.strip, space));
    if (!laidOut) {
        m_targetError = laidOut.error();
        emit targetChanged();
        return;
    }
    const viewfinder::ResolutionLayout& layout = laidOut.value();
    m_target = QSize(w.value(), h.value());
    m_targetError.clear();

    m_units.frame->hide();
    placeFrom(m_units.pane, layout.pane, space);
    placeFrom(m_units.panePicture, layout.pane, space);
    // Cleared once it has its new size, so the blank canvas has that size too.
    emit resultPaneCleared();
    m_units.frame->setGeometry(layout.frame);
    // The grip always covers the frame exactly, also after a zoom had
    // widened the frame alone.
    m_units.frame->alignGrip();
    m_units.frame->show();

    m_units.zoomBox->setText(QStringLiteral("0"));
    m_frameScaleValue = 0;
    RefreshFrameShape();
    emit frameGeometryChanged(m_units.frame->geometry());
    emit targetChanged();
}

void Viewfinder::RefreshFrameShape()
{
    // The shape follows from the frame's size alone, so it is set and painted
    // right away; nothing has to be read back from the screen and no wait is
    // needed.
    ShapeBox* frame = m_units.frame;
    frame->refreshShape();
    frame->alignGrip();
    if (m_units.helpLabel->isHidden())
        frame->raise();
    if (frame->isVisible())
        frame->repaint();
}

void Viewfinder::showFrame()
{
    m_units.frame->alignGrip();
    m_units.frame->show();
}

void Viewfinder::hideFrame()
{
    m_units.frame->hide();
}

bool Viewfinder::applyZoom(int next, int step)
{
    if (!m_targetError.isEmpty())
        return false;  // zooming waits for a valid size too
    ShapeBox* frame = m_units.frame;
    const Result<QRect> zoom = viewfinder::zoomFrame(frame->geometry(), next, m_frameScaleValue, step, targetWidth(),
                                                     targetHeight(), previewRect());
    if (!zoom)
        return false;  // frame, zoom text and zoom state stay as they were

    if (next != m_units.zoomBox->value())
        m_units.zoomBox->setText(QString::number(next));
    frame->setGeometry(zoom.value());
    frame->alignGrip();
    m_frameScaleValue = next;
    RefreshFrameShape();
    emit frameGeometryChanged(frame->geometry());
    emit manuallyMoved();
    return true;
}

void Viewfinder::placeFrame(const QRect& geometry)
{
    ShapeBox* frame = m_units.frame;
    const QRect placed = viewfinder::clampFrame(geometry, frame->dragLimits());
    if (placed == frame->geometry())
        return;
    const bool resized = placed.size() != frame->size();
    frame->setGeometry(placed);
    if (resized)
        RefreshFrameShape();
    else
        frame->alignGrip();
    emit frameGeometryChanged(placed);
}

void Viewfinder::wheelZoom(int delta)
{
    const QSize size = m_units.frame->size();
    const int value = m_units.zoomBox->value();
    if (delta > 0 && viewfinder::canGrow(size))
        applyZoom(stepped(value, 1), viewfinder::kWheelStep);
    else if (delta < 0 && viewfinder::canShrink(size))
        applyZoom(stepped(value, -1), viewfinder::kWheelStep);
}

void Viewfinder::spinZoom(int step)
{
    const QSize size = m_units.frame->size();
    int next = m_units.zoomBox->value();
    if (step > 0 && viewfinder::canGrow(size))
        next = stepped(next, 1);
    else if (step < 0 && viewfinder::canShrink(size))
        next = stepped(next, -1);
    // Runs also at a limit: a typed value is applied, and the height is
    // brought back to the target's ratio.
    applyZoom(next, viewfinder::kSpinStep);
}

QRect Viewfinder::frameInterior() const
{
    return m_units.frame->interiorRect();
}

bool Viewfinder::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn && (watched == m_units.widthBox || watched == m_units.heightBox)) {
        m_units.statusLabel->setDisabled(true);
    } else if (e->type() == QEvent::Wheel && (watched == m_units.grip || watched == m_units.frame) &&
               m_units.zoomBox->hasFocus()) {
        auto* we = static_cast<QWheelEvent*>(e);
        const int delta = we->angleDelta().y() != 0 ? we->angleDelta().y() : we->angleDelta().x();
        if (delta != 0)
            wheelZoom(delta);
        return true;
    }
    return QObject::eventFilter(watched, e);
}
