#include "searchcontroller.h"

#include "mainwindow.h"
#include "rostercontroller.h"
#include "searchwindow.h"
#include "ui_mainwindow.h"

namespace {
const QString openCaption = QStringLiteral("查询数据");
const QString closeCaption = QStringLiteral("关闭查询");
}  // namespace

SearchController::SearchController(MainWindow& window)
    : QObject(&window)
    , w_(window)
    , colours_(window.ui->超级列表框1)
{
    connect(w_.ui->超级按钮3, &QPushButton::clicked, this, &SearchController::OpenSearchWindow);
}

SearchController::~SearchController()
{
    // The window points at the colour store: it goes first.
    delete window_.data();
}

void SearchController::OpenSearchWindow()
{
    if (!window_) {
        SearchHooks hooks{[this](int row) { return w_.roster()->PhotoName(row); },
                          [this](const QString& fileName) {
                              w_.ui->透明标签3->setText(fileName);
                              w_.ui->编辑框1->setText(fileName);
                          }};
        // A window of its own; as the main window's child it goes with it.
        window_ = new SearchWindow(w_.ui->超级列表框1, &colours_, hooks, &w_);
        connect(window_, &SearchWindow::closedByUser, this, [this] { w_.ui->超级按钮3->setText(openCaption); });
    }
    const bool shown = window_->toggleUnder(w_.frameGeometry());
    w_.ui->超级按钮3->setText(shown ? closeCaption : openCaption);
}
