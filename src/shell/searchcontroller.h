#pragma once
#include "cellcolours.h"
#include "searchwindow.h"

#include <QObject>
#include <QPointer>

class MainWindow;

// The roster search on the main window: 超级按钮3 loads, places, shows and
// hides the search window; the roster list's cell colours live here.
class SearchController : public QObject {
    Q_OBJECT
public:
    explicit SearchController(MainWindow& window);
    ~SearchController() override;

    // 超级按钮3: first press loads and shows the window, then it shows or hides it.
    void OpenSearchWindow();

    // Null until the first press.
    SearchWindow* searchWindow() const { return window_; }
    CellColours& cellColours() { return colours_; }

private:
    MainWindow& w_;
    CellColours colours_;
    QPointer<SearchWindow> window_;
};
