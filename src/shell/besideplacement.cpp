#include "besideplacement.h"

namespace {

int overlapArea(const QRect& a, const QRect& b)
{
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : i.width() * i.height();
}

QPoint clampedInto(QRect r, const QRect& screen)
{
    if (r.right() > screen.right())
        r.moveRight(screen.right());
    if (r.bottom() > screen.bottom())
        r.moveBottom(screen.bottom());
    if (r.left() < screen.left())
        r.moveLeft(screen.left());
    if (r.top() < screen.top())
        r.moveTop(screen.top());
    return r.topLeft();
}

}  // namespace

QPoint placeBeside(const QRect& main, const QSize& window, const QRect& screen, const QList<QRect>& occupied)
{
    // The sides, each aligned with the main window's bottom-left, where the
    // speaker that opens the settings sits. Below and above, a window already
    // there (the banner) is stepped over.
    auto stepOver = [&](QRect r, int direction) {
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRect& o : occupied) {
                if (r.intersects(o)) {
                    r.moveTop(direction > 0 ? o.bottom() + 1 : o.top() - r.height());
                    moved = true;
                }
            }
        }
        return r;
    };
    const QList<QRect> candidates{
        QRect(QPoint(main.right() + 1, main.bottom() - window.height() + 1), window),
        QRect(QPoint(main.left() - window.width(), main.bottom() - window.height() + 1), window),
        stepOver(QRect(QPoint(main.left(), main.bottom() + 1), window), +1),
        stepOver(QRect(QPoint(main.left(), main.top() - window.height()), window), -1),
    };
    for (const QRect& c : candidates) {
        if (!screen.contains(c))
            continue;
        bool clear = true;
        for (const QRect& o : occupied)
            clear = clear && !c.intersects(o);
        if (clear)
            return c.topLeft();
    }
    // No room beside it: the candidate, pushed onto the screen, that hides
    // least of the main window.
    QPoint best;
    int bestArea = -1;
    for (const QRect& c : candidates) {
        const QPoint p = clampedInto(c, screen);
        const int area = overlapArea(QRect(p, window), main);
        if (bestArea < 0 || area < bestArea) {
            best = p;
            bestArea = area;
        }
    }
    return best;
}
