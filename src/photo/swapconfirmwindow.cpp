#include "swapconfirmwindow.h"

#include "ui_swapconfirmwindow.h"

#include <QCloseEvent>

const QString SwapConfirmWindow::waitingFirstTitle = QStringLiteral("等待照相←→当前照相 ◇ 确认窗口");
const QString SwapConfirmWindow::currentFirstTitle = QStringLiteral("当前照相←→等待照相 ◇ 确认窗口");

SwapConfirmWindow::SwapConfirmWindow(QWidget* owner)
    // Like the comparison: a tool window that goes with its owner.
    : QWidget(owner, Qt::Tool)
    , ui(new Ui::SwapConfirmWindow)
{
    ui->setupUi(this);
    setFixedSize(size());
    connect(ui->透明标签2, &MouseLabel::doubleClicked, this, &SwapConfirmWindow::SwapBannerSides);
    connect(ui->透明标签1, &MouseLabel::doubleClicked, this, &SwapConfirmWindow::SwapBannerSides);
    connect(ui->透明标签3, &MouseLabel::leftPressed, this, &SwapConfirmWindow::SwapBannerSides);
}

SwapConfirmWindow::~SwapConfirmWindow()
{
    delete ui;
}

void SwapConfirmWindow::setCurrentLine(const QString& text)
{
    ui->透明标签1->setText(text);
}

void SwapConfirmWindow::setNextLine(const QString& text)
{
    ui->透明标签2->setText(text);
}

QString SwapConfirmWindow::currentLine() const
{
    return ui->透明标签1->text();
}

QString SwapConfirmWindow::nextLine() const
{
    return ui->透明标签2->text();
}

void SwapConfirmWindow::SwapBannerSides()
{
    // The title always names the line on the left first.
    const int a = ui->透明标签2->x();
    ui->透明标签2->move(a == 0 ? 490 : 0, ui->透明标签2->y());
    ui->透明标签1->move(a != 0 ? 490 : 0, ui->透明标签1->y());
    setWindowTitle(windowTitle() == currentFirstTitle ? waitingFirstTitle : currentFirstTitle);
}

void SwapConfirmWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    hide();
    emit hiddenByClose();
}
