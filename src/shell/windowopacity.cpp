#include "windowopacity.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef STATION_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#endif

namespace windowopacity {

void apply(QWidget* window, int alpha)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    window->setWindowOpacity(alpha / 255.0);
#ifdef STATION_HAVE_XCB
    // Qt writes the opacity into its request buffer and sends it only when X
    // events arrive; a step made from a timer would wait for the next pointer
    // motion, and a compositor would show the window half faded meanwhile.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
#endif
}

}  // namespace windowopacity
