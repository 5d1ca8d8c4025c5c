#include "searchcontroller.h"

#include "rosterlistview.h"
#include "rosterstate.h"
#include "translabel.h"

#include <QLineEdit>
#include <QPushButton>

namespace {
const QString openCaption = QStringLiteral("查询数据");
const QString closeCaption = QStringLiteral("关闭查询");
}  // namespace

SearchController::SearchController(RosterState& roster, const SearchUnits& units, QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , u_(units)
    , colours_(roster.model())
{
    connect(u_.searchButton, &QPushButton::clicked, this, &SearchController::OpenSearchWindow);
    // A new roster: the red cells and the old results belong to the old one.
    connect(&roster_, &RosterState::rosterReplaced, this, [this] {
        colours_.ClearCellColours();
        if (window_)
            window_->rosterReplaced();
    });
}

SearchController::~SearchController()
{
    // The window points at the colour store: it goes first.
    delete window_.data();
}

void SearchController::OpenSearchWindow()
{
    if (!window_) {
        SearchHooks hooks{[this](int row) { return roster_.PhotoName(row); },
                          [this](const QString& fileName) {
                              u_.fileNameLabel->setText(fileName);
                              u_.fileNameBox->setText(fileName);
                          },
                          [this] {
                              // The list shows its selection only while its window is active.
                              u_.window->raise();
                              u_.window->activateWindow();
                          }};
        // A window of its own; as the main window's child it goes with it.
        window_ = new SearchWindow(u_.list, &colours_, hooks, u_.window);
        connect(window_, &SearchWindow::closedByUser, this, [this] { u_.searchButton->setText(openCaption); });
    }
    const bool shown = window_->toggleUnder(u_.window->frameGeometry());
    u_.searchButton->setText(shown ? closeCaption : openCaption);
}
