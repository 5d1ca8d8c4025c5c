#pragma once
#include "cellcolours.h"
#include "searchwindow.h"

#include <QObject>
#include <QPointer>

class QLineEdit;
class QPushButton;
class RosterListView;
class RosterState;
class TransLabel;

// The main window's units the search works with.
struct SearchUnits {
    QWidget* window = nullptr;  // the main window: owner and placement of the search window
    QPushButton* searchButton = nullptr;  // 超级按钮3
    RosterListView* list = nullptr;  // 超级列表框1
    TransLabel* fileNameLabel = nullptr;  // 透明标签3
    QLineEdit* fileNameBox = nullptr;  // 编辑框1
};

// The roster search on the main window: 超级按钮3 loads, places, shows and
// hides the search window; the roster's cell colours live here.
class SearchController : public QObject {
    Q_OBJECT
public:
    SearchController(RosterState& roster, const SearchUnits& units, QObject* parent);
    ~SearchController() override;

    // 超级按钮3: first press loads and shows the window, then it shows or hides it.
    void OpenSearchWindow();

    // Null until the first press.
    SearchWindow* searchWindow() const { return window_; }
    CellColours& cellColours() { return colours_; }

private:
    RosterState& roster_;
    SearchUnits u_;
    CellColours colours_;
    QPointer<SearchWindow> window_;
};
