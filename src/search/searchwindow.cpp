#include "searchwindow.h"

#include "ui_searchwindow.h"

#include "cellcolours.h"
#include "photopath.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "texttoint.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>

using namespace search;

namespace {

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

SearchWindow::SearchWindow(RosterListView* list, CellColours* colours, SearchHooks hooks, QWidget* parent)
    // A tool window of the main window: above it and minimised with it.
    : QWidget(parent, Qt::Tool)
    , ui(std::make_unique<Ui::SearchWindow>())
    , list_(list)
    , colours_(colours)
    , hooks_(std::move(hooks))
{
    ui->setupUi(this);
    setFixedSize(size());
    if (colours_ && list_) {
        // Cells without colours of their own paint in the list's palette.
        QPointer<RosterListView> view(list_);
        colours_->setListColours(
            [view] { return view ? view->palette().color(QPalette::Active, QPalette::Text) : QColor(Qt::black); },
            [view] { return view ? view->palette().color(QPalette::Active, QPalette::Base) : QColor(Qt::white); });
    }
    connect(&scan_, &SearchScan::rowMatched, this, &SearchWindow::AppendResultRow);
    connect(&scan_, &SearchScan::finished, this, &SearchWindow::searchFinished);
    // The condition captions leave gaps of spaces for the heading boxes; a face
    // with half-width spaces and full-width characters keeps "列" beside them.
    for (QWidget* caption : {static_cast<QWidget*>(ui->透明标签1), static_cast<QWidget*>(ui->选择框2)}) {
        QFont f = caption->font();
        f.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("宋体")});
        caption->setFont(f);
    }

    ui->编辑框8->setRange(1, 4);
    ui->编辑框9->setRange(2, 4);
    ui->上下按钮8->setBuddy(ui->编辑框8);
    ui->上下按钮9->setBuddy(ui->编辑框9);
    ui->透明标签3->setText(modes_[0]);
    ui->透明标签4->setText(modes_[1]);
    ui->透明标签3->setTextColour(red);
    ui->透明标签4->setTextColour(red);
    ui->透明标签15->setAlignment(Qt::AlignCenter);
    ui->透明标签5->setAlignment(Qt::AlignCenter);

    QHeaderView* header = ui->超级列表框1->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    const int widths[] = {50, 50, 70, 70, 70, 70};
    for (int c = 0; c < 6; ++c)
        header->resizeSection(c, widths[c]);

    ui->编辑框1->setText(heading(1));
    ui->编辑框2->setText(heading(2));
    // Collapsed, only the condition area shows.
    ui->超级列表框1->hide();
    ui->透明标签5->hide();

    ui->编辑框6->installEventFilter(this);
    ui->编辑框7->installEventFilter(this);

    connect(ui->编辑框6, &QLineEdit::textChanged, this, &SearchWindow::condition1TextChanged);
    connect(ui->编辑框8, &QLineEdit::textChanged, this, &SearchWindow::column1Changed);
    connect(ui->编辑框9, &QLineEdit::textChanged, this, &SearchWindow::column2Changed);
    connect(ui->选择框2, &QCheckBox::clicked, this, &SearchWindow::condition2Switched);
    connect(ui->超级按钮1, &QPushButton::clicked, this, &SearchWindow::queryClicked);
    connect(ui->透明标签3, &MouseLabel::leftPressed, this, [this] { ToggleMatchMode(1); });
    connect(ui->透明标签4, &MouseLabel::leftPressed, this, [this] { ToggleMatchMode(2); });
    connect(ui->透明标签15, &MouseLabel::leftPressed, this, [this] { expanded_ ? collapse() : expand(); });
    connect(ui->透明标签5, &MouseLabel::leftPressed, this, &SearchWindow::collapse);
    connect(ui->单选框1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            collapse();
    });
    connect(ui->单选框2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            expand();
    });
    // Only a click on a row counts; a click on empty space selects no result.
    connect(ui->超级列表框1, &QAbstractItemView::clicked, this, &SearchWindow::ShowResultRow);
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::placeUnder(const QRect& mainFrame)
{
    move(search::placeUnder(mainFrame, frameGeometry().width()));
}

bool SearchWindow::toggleUnder(const QRect& mainFrame)
{
    if (isVisible()) {
        hide();
        return false;
    }
    placeUnder(mainFrame);
    show();
    placeUnder(mainFrame);  // the frame's width is known once shown
    return true;
}

QString SearchWindow::heading(int n) const
{
    return n >= 1 ? rosterCell(0, n - 1) : QString();
}

QString SearchWindow::rosterCell(int row, int column) const
{
    return list_ ? list_->roster()->cell(row, column) : QString();
}

void SearchWindow::showFileNameOf(int row)
{
    const QString name = hooks_.photoName ? hooks_.photoName(row) : QString();
    // The file the photo is saved as, by the one naming rule.
    const PhotoPath file = photopath::fileName(name);
    if (hooks_.showFileName)
        hooks_.showFileName(file.ok() ? file.path : name + QStringLiteral(".jpg"));
}

// --- starting a search -------------------------------------------------------

bool SearchWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->编辑框6 || watched == ui->编辑框7) {
        int key = -1;
        if (e->type() == QEvent::KeyPress)
            key = static_cast<QKeyEvent*>(e)->key();
        else if (e->type() == QEvent::InputMethod && !static_cast<QInputMethodEvent*>(e)->commitString().isEmpty())
            key = 0;  // text committed by an input method is typing too
        if (key >= 0) {
            if (watched == ui->编辑框6)
                keyInCondition1(key);
            else
                keyInCondition2(key);
        }
    }
    return QWidget::eventFilter(watched, e);
}

void SearchWindow::clearResults()
{
    // Typing in a condition box ends a search still running.
    scan_.cancel();
    if (colours_)
        colours_->ClearCellColours();
    ui->超级列表框1->clear();
}

void SearchWindow::keyInCondition1(int key)
{
    clearResults();
    if (!isEnter(key) || isBlank(ui->编辑框6->text()))
        return;
    if (!ui->选择框2->isChecked())
        SearchByCondition1();
    else
        ui->编辑框7->setFocus();
}

void SearchWindow::keyInCondition2(int key)
{
    clearResults();
    if (!isEnter(key) || !ui->选择框2->isChecked())
        return;
    // A blank condition 1 never starts a search, whichever box Enter came from.
    if (isBlank(ui->编辑框6->text()))
        return;
    if (!isBlank(ui->编辑框7->text()))
        SearchByBothConditions();
    else
        SearchByCondition1(true);
}

void SearchWindow::queryClicked()
{
    const bool second = ui->选择框2->isChecked();
    if (!isBlank(ui->编辑框6->text()) && !second)
        keyInCondition1(Qt::Key_Return);
    else if (!isBlank(ui->编辑框7->text()) && second)
        keyInCondition2(Qt::Key_Return);
}

// --- the search ----------------------------------------------------------------

Conditions SearchWindow::readConditions() const
{
    Conditions c;
    c.mode1 = modes_[0];
    c.mode2 = modes_[1];
    c.column1 = text::toInt(ui->编辑框8->text());
    c.column2 = text::toInt(ui->编辑框9->text());
    c.text1 = ui->编辑框6->text();
    c.text2 = ui->编辑框7->text();
    c.single = ui->单选框1->isChecked();
    c.multi = ui->单选框2->isChecked();
    return c;
}

void SearchWindow::SearchByCondition1(bool startedFromBox7)
{
    runSearch(startedFromBox7 ? SearchKind::Condition1FromBox7 : SearchKind::Condition1);
}

void SearchWindow::SearchByBothConditions()
{
    runSearch(SearchKind::BothConditions);
}

void SearchWindow::runSearch(SearchKind kind)
{
    // The conditions are taken as they stand now; a long roster is scanned in
    // slices and reported when the scan ends.
    runningKind_ = kind;
    const int rows = list_ && list_->roster() ? list_->rowCount() : 0;
    scan_.start(rows, kind == SearchKind::BothConditions, readConditions(),
                [this](int r, int c) { return rosterCell(r, c); });
}

void SearchWindow::searchFinished(int foundRow, int count)
{
    const bool both = runningKind_ == SearchKind::BothConditions;
    const ReportInput in{ui->编辑框8->text(), ui->编辑框9->text(), modes_[0],
                         modes_[1],           ui->编辑框6->text(), ui->编辑框7->text()};
    const bool single = ui->单选框1->isChecked();
    const Report report = makeReport(runningKind_, single, foundRow >= 0, count, in);
    ui->透明标签2->setText(report.text);
    ui->透明标签2->setTextColour(report.colour);

    if (single && foundRow >= 0)
        ShowFoundRow(foundRow);
    else if (!single && count > 0)
        FitResultColumns();

    ui->编辑框6->clear();
    if (both)
        ui->编辑框7->clear();
}

void SearchWindow::AppendResultRow(int row)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::number(row + 1));
    for (int k = 0; k < RosterModel::columns; ++k)
        item->setText(k + 2, rosterCell(row, k));
    ui->超级列表框1->addTopLevelItem(item);
}

void SearchWindow::FitResultColumns()
{
    QTreeWidget* results = ui->超级列表框1;
    for (int c = 1; c < results->columnCount(); ++c)
        results->resizeColumnToContents(c);
    results->header()->resizeSection(0, results->columnWidth(0) + 10);
}

void SearchWindow::ShowFoundRow(int row)
{
    if (!list_)
        return;
    list_->setFocus();
    list_->setCurrentRow(-1);
    list_->scrollToRow(row);
    list_->setCurrentRow(row);
    showFileNameOf(row);
    if (hooks_.showRoster)
        hooks_.showRoster();
}

void SearchWindow::ShowResultRow()
{
    const QList<QTreeWidgetItem*> chosen = ui->超级列表框1->selectedItems();
    if (chosen.isEmpty() || !list_)
        return;
    if (colours_)
        colours_->ClearCellColours();
    const int row = text::toInt(chosen.constFirst()->text(0)) - 1;
    list_->scrollToRow(row);
    list_->setCurrentRow(-1);
    list_->setCurrentRow(row);
    for (int k = 0; k < RosterModel::columns; ++k)
        if (colours_)
            colours_->SetCellColour(row, k, red, QColor(), false);
    if (list_)
        list_->setCurrentRow(row);
    showFileNameOf(row);
}

void SearchWindow::rosterReplaced()
{
    clearResults();
    ui->编辑框1->setText(heading(text::toInt(ui->编辑框8->text())));
    ui->编辑框2->setText(heading(text::toInt(ui->编辑框9->text())));
}

void SearchWindow::ToggleMatchMode(int condition)
{
    QString& mode = modes_[condition == 2 ? 1 : 0];
    mode = toggledMode(mode);
    MouseLabel* label = condition == 2 ? ui->透明标签4 : ui->透明标签3;
    label->setText(mode);
    label->setTextColour(modeColour(mode));
}

// --- expanding -------------------------------------------------------------------

void SearchWindow::expand()
{
    if (expanded_)
        return;
    setFixedSize(width(), height() + ui->超级列表框1->height() + 13);
    ui->超级列表框1->show();
    ui->透明标签5->show();
    expanded_ = true;
    ui->透明标签15->setText(QStringLiteral("△"));
}

void SearchWindow::collapse()
{
    if (!expanded_)
        return;
    setFixedSize(width(), height() - ui->超级列表框1->height() - 13);
    ui->超级列表框1->hide();
    ui->透明标签5->hide();
    expanded_ = false;
    ui->透明标签15->setText(QStringLiteral("▽"));
}

void SearchWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    emit closedByUser();
    hide();
}

// --- enabling condition 2 ------------------------------------------------------

void SearchWindow::setCondition2Enabled(bool enabled, bool withColumnBox)
{
    ui->编辑框7->setEnabled(enabled);
    ui->选择框2->setEnabled(enabled);
    ui->编辑框2->setEnabled(enabled);
    if (withColumnBox)
        ui->编辑框9->setEnabled(enabled);
}

void SearchWindow::condition1TextChanged(const QString& text)
{
    if (isBlank(text)) {
        setCondition2Enabled(false, true);
        return;
    }
    ui->选择框2->setEnabled(true);
    if (ui->选择框2->isChecked()) {
        ui->编辑框9->setEnabled(true);
        if (ui->编辑框9->text() != ui->编辑框8->text()) {
            ui->编辑框7->setEnabled(true);
            ui->编辑框2->setEnabled(true);
        }
    }
}

void SearchWindow::column1Changed(const QString& text)
{
    if (text::toInt(text) > 4) {
        ui->编辑框8->setText(QStringLiteral("4"));  // runs this rule again with "4"
        return;
    }
    static const QStringList columns{"1", "2", "3", "4"};
    if (columns.contains(text))
        ui->编辑框1->setText(heading(text.toInt()));
    if (text == ui->编辑框9->text())
        setCondition2Enabled(false, true);
    else if (ui->选择框2->isChecked())
        setCondition2Enabled(true, true);
}

void SearchWindow::column2Changed(const QString& text)
{
    if (text::toInt(text) > 4) {
        ui->编辑框9->setText(QStringLiteral("4"));  // runs this rule again with "4"
        return;
    }
    static const QStringList columns{"2", "3", "4"};
    if (columns.contains(text))
        ui->编辑框2->setText(heading(text.toInt()));
    if (text == ui->编辑框8->text())
        setCondition2Enabled(false, false);
    else if (ui->选择框2->isChecked())
        setCondition2Enabled(true, false);
}

void SearchWindow::condition2Switched(bool checked)
{
    ui->编辑框2->setEnabled(checked);
    ui->编辑框7->setEnabled(checked);
    ui->编辑框9->setEnabled(checked);
}
