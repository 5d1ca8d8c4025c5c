#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

// A drawing canvas that keeps its picture in a retained image and shows it
// scaled to the pane. It only shows pictures: photos are made by the
// pipeline on images, never read back from here. Every drawing operation takes pane coordinates and lands on the
// retained image at the same relative place and size, so what is saved from
// the retained image looks like what the pane shows.
class DrawPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 184;
    static constexpr int defaultHeight = 245;

    explicit DrawPanel(QWidget* parent = nullptr);

    // Blank canvas: a retained image of the pane's size in the background colour.
    void clear();

    // Replaces the retained picture; it is shown scaled to the pane.
    void setRetainedImage(const QImage& picture);
    // What the canvas holds (the blank background when nothing was drawn yet).
    QImage retainedImage() const;

    // Draws picture stretched to target (pane coordinates).
    void drawPicture(const QImage& picture, const QRect& target);
    // Draws picture at its natural size with its top-left at pos.
    void drawPicture(const QImage& picture, const QPoint& pos);

    // Writes text with the top-left of its line at pos (pane coordinates).
    // A point-sized font is converted at the pane's logical dpi.
    void drawText(const QPoint& pos, const QString& text, const QFont& font, const QColor& colour);

    // Copies another canvas onto this one at (0, 0): the whole retained picture
    // when both panes have the same size, else at that canvas's pane size.
    void copyFrom(const DrawPanel& other);

    void setBackgroundColour(const QColor& colour);
    QColor backgroundColour() const { return m_background; }

    QSize sizeHint() const override { return {defaultWidth, defaultHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage blankImage() const;
    void ensureImage();
    void changed();

    QImage m_image;  // the retained picture, null until drawn on
    mutable QImage m_shown;  // m_image scaled to the pane, rebuilt on demand
    QColor m_background = Qt::white;
};
