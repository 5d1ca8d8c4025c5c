#include "drawpanel.h"

#include "photofile.h"  // the pipeline's scaling, for the shown picture

#include <QFontMetricsF>
#include <QPainter>

DrawPanel::DrawPanel(QWidget* parent)
    : QWidget(parent)
{
    resize(defaultWidth, defaultHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage DrawPanel::blankImage() const
{
    QImage blank(size().expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    if (!blank.isNull())
        blank.fill(m_background);
    return blank;
}

void DrawPanel::clear()
{
    m_image = blankImage();
    changed();
}

void DrawPanel::ensureImage()
{
    if (m_image.isNull())
        m_image = blankImage();
}

void DrawPanel::setRetainedImage(const QImage& picture)
{
    m_image = picture.convertToFormat(QImage::Format_RGB32);
    changed();
}

QImage DrawPanel::retainedImage() const
{
    return m_image.isNull() ? blankImage() : m_image;
}

void DrawPanel::drawPicture(const QImage& picture, const QRect& target)
{
    ensureImage();
    if (picture.isNull() || m_image.isNull() || target.isEmpty() || width() <= 0 || height() <= 0)
        return;
    const double sx = double(m_image.width()) / width();
    const double sy = double(m_image.height()) / height();
    const QRect inImage(qRound(target.x() * sx), qRound(target.y() * sy), qMax(1, qRound(target.width() * sx)),
                        qMax(1, qRound(target.height() * sy)));
    // Scaled beforehand: area averaging when shrinking, unlike the painter.
    const QImage scaled = scaleToPhotoSize(picture, inImage.size());
    QPainter painter(&m_image);
    painter.drawImage(inImage.topLeft(), scaled);
    painter.end();
    changed();
}

void DrawPanel::drawPicture(const QImage& picture, const QPoint& pos)
{
    drawPicture(picture, QRect(pos, picture.size()));
}

void DrawPanel::drawText(const QPoint& pos, const QString& text, const QFont& font, const QColor& colour)
{
    ensureImage();
    if (text.isEmpty() || m_image.isNull() || width() <= 0 || height() <= 0)
        return;
    QFont f = font;
    if (f.pixelSize() <= 0) {
        const double points = f.pointSizeF() > 0 ? f.pointSizeF() : 9.0;
        f.setPixelSize(qMax(1, qRound(points * logicalDpiY() / 72.0)));
    }
    const double baseline = QFontMetricsF(f).ascent();
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Pane coordinates onto the retained picture: the text keeps its place
    // and its size relative to the picture.
    painter.scale(double(m_image.width()) / width(), double(m_image.height()) / height());
    painter.setFont(f);
    painter.setPen(colour);
    painter.drawText(QPointF(pos.x(), pos.y() + baseline), text);
    painter.end();
    changed();
}

void DrawPanel::copyFrom(const DrawPanel& other)
{
    if (other.size() == size()) {
        m_image = other.retainedImage();
        changed();
        return;
    }
    drawPicture(other.retainedImage(), QRect(QPoint(0, 0), other.size()));
}

void DrawPanel::setBackgroundColour(const QColor& colour)
{
    m_background = colour;
    update();
}

void DrawPanel::changed()
{
    m_shown = QImage();
    update();
}

void DrawPanel::resizeEvent(QResizeEvent* event)
{
    m_shown = QImage();
    QWidget::resizeEvent(event);
}

void DrawPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(rect(), m_background);
        return;
    }
    if (m_shown.isNull())
        m_shown = scaleToPhotoSize(m_image, size());
    painter.drawImage(0, 0, m_shown);
}
