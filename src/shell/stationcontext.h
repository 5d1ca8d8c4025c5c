#pragma once
#include <QString>

class AppState;
class DuplicatePhotoWindow;
class QWidget;
class RosterController;
class RosterState;
class SwapConfirmWindow;
class Viewfinder;

// What the controllers need of the window around them: the shared state, the
// status line, their neighbours and the satellite windows. The main window
// provides it; the controllers never see its form.
class StationContext {
public:
    virtual AppState& appState() = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual QString status() const = 0;
    virtual RosterController* roster() const = 0;
    virtual RosterState& rosterState() const = 0;
    virtual Viewfinder* frame() const = 0;
    virtual DuplicatePhotoWindow* duplicateWindow() const = 0;
    virtual SwapConfirmWindow* swapWindow() const = 0;
    // The window itself: the owner of satellites, placed and raised.
    virtual QWidget* stationWindow() = 0;

protected:
    virtual ~StationContext() = default;
};
