#pragma once
// Window-manager tests: a private X server (Xvfb) with openbox on it, started
// by the test itself, and the few window-manager facts the tests check, read
// from the X server over a connection of their own (not through Qt, which
// would only report what it believes).
//
// Use WM_TEST_MAIN(TestClass) instead of QTEST_MAIN: it starts the desktop
// before the application object exists, points Qt's xcb platform at it and
// ends the test as skipped (exit code 77, with the reason printed) where no X
// server or window manager can be started.
#include <QApplication>
#include <QRect>
#include <QString>
#include <QtTest>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QProcess;
class QWidget;

namespace wm {

// The exit code with which a test says it was skipped (ctest's SKIP_RETURN_CODE).
constexpr int skippedExitCode = 77;

// Xvfb and openbox for the lifetime of this object. Both end with it, and
// with the test process if it dies.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool ready() const { return reason_.isEmpty(); }
    // Why the desktop could not be started (empty when ready).
    QString reason() const { return reason_; }
    QString display() const { return display_; }

private:
    bool startServer();
    bool startWindowManager();

    QString reason_;
    QString display_;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> windowManager_;
};

using Window = std::uint32_t;

// The client windows, bottom to top, as the window manager stacks them
// (_NET_CLIENT_LIST_STACKING).
std::vector<Window> stacking();
// Position in the stacking order; -1 when the window manager does not list it.
int stackingIndex(Window w);
// WM_TRANSIENT_FOR of the window; 0 when it has none.
Window transientFor(Window w);
// A 32-bit CARDINAL property of the window; nothing when it is not set.
std::optional<std::uint32_t> cardinal(Window w, const char* property);
// The names of an ATOM[] property, e.g. _NET_WM_WINDOW_TYPE or _NET_WM_STATE.
QStringList atoms(Window w, const char* property);
// The window is mapped and all its ancestors are (it can be seen).
bool viewable(Window w);
// The window of the window manager that holds the widget's window (its frame),
// in root coordinates; the client's own rectangle when it has no frame.
QRect frameRect(Window w);

// The widget's top-level X window.
Window windowOf(const QWidget* widget);

}  // namespace wm

#define WM_TEST_MAIN(TestObject)                                                                                       \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        wm::Desktop desktop;                                                                                           \
        if (!desktop.ready()) {                                                                                        \
            std::printf("SKIP: no X server with a window manager: %s\n", qPrintable(desktop.reason()));                \
            return wm::skippedExitCode;                                                                                \
        }                                                                                                              \
        qputenv("QT_QPA_PLATFORM", "xcb");                                                                             \
        qputenv("DISPLAY", desktop.display().toLocal8Bit());                                                           \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
