#include "rostercontroller.h"

#include "dialogs.h"
#include "drawpanel.h"
#include "photocanvas.h"
#include "photopath.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterread.h"
#include "rosterstate.h"
#include "swapconfirmwindow.h"
#include "translabel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const QString refused = QStringLiteral("错");
const QString lastPersonText = QStringLiteral("已是最后一位  照相可能即将结束");

void setTextColour(QLineEdit* box, const QColor& colour)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Text, colour);
    box->setPalette(p);
}

bool isAsciiLetter(QChar c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

RosterController::RosterController(RosterState& roster, const RosterUnits& units, RosterContext context,
                                   QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , u_(units)
    , context_(std::move(context))
{
    connect(u_.list, &RosterListView::filesDropped, this, &RosterController::dropFiles);
    connect(u_.list, &RosterListView::emptyAreaDoubleClicked, this, &RosterController::chooseWorkbook);
    // The operator picks a row on the list; the state decides and the list follows.
    connect(u_.list, &RosterListView::currentRowChanged, &roster_, &RosterState::setCurrentRow);
    connect(&roster_, &RosterState::currentRowChanged, this, &RosterController::currentRowChanged);
    connect(u_.list, &RosterListView::listClicked, this, &RosterController::ShowCurrentPhoto);
    connect(&roster_, &RosterState::photoNameColumnChanged, u_.photoNameButton,
            [this](int column) { u_.photoNameButton->setText(RosterState::photoNameCaption(column)); });
    connect(&roster_, &RosterState::displayNameColumnChanged, u_.displayNameButton,
            [this](int column) { u_.displayNameButton->setText(RosterState::displayNameCaption(column)); });
    u_.photoNameButton->setText(RosterState::photoNameCaption(roster_.photoNameColumn()));
    u_.displayNameButton->setText(RosterState::displayNameCaption(roster_.displayNameColumn()));
    connect(&roster_, &RosterState::importFinished, this, &RosterController::importFinished);
    connect(&roster_, &RosterState::photosChecked, this, &RosterController::photosChecked);

    connect(u_.photoNameButton, &QPushButton::clicked, this, &RosterController::CyclePhotoNameColumn);
    connect(u_.displayNameButton, &QPushButton::clicked, this, &RosterController::CycleDisplayNameColumn);
    connect(u_.checkButton, &QPushButton::clicked, this, [this] { checkPhotos(CheckStatus::KeepUnlessLast); });
    for (QLineEdit* box : {u_.column1Box, u_.column2Box, u_.column3Box})
        box->installEventFilter(this);

    // The count follows the marks, however they change (a save, another
    // station's photo, an import); a burst of changes is counted once.
    if (u_.progressLabel) {
        auto* count = new QTimer(this);
        count->setSingleShot(true);
        count->setInterval(0);
        connect(count, &QTimer::timeout, this, &RosterController::showProgress);
        connect(roster_.model(), &QAbstractItemModel::dataChanged, count, qOverload<>(&QTimer::start));
        connect(roster_.model(), &QAbstractItemModel::modelReset, count, qOverload<>(&QTimer::start));
        showProgress();
    }
}

void RosterController::showProgress()
{
    u_.progressLabel->setText(QStringLiteral("已照 %1 / %2").arg(roster_.photographedCount()).arg(roster_.rowCount()));
}

RosterModel* RosterController::roster() const
{
    return roster_.model();
}

int RosterController::currentRow() const
{
    return roster_.currentRow();
}

int RosterController::rowCount() const
{
    return roster_.rowCount();
}

QString RosterController::PhotoName(int row) const
{
    return roster_.PhotoName(row);
}

QString RosterController::PersonText(int row, const QString& separator) const
{
    return roster_.PersonText(row, separator);
}

bool RosterController::IsLastRow() const
{
    return roster_.IsLastRow();
}

void RosterController::AdvanceCurrentRow()
{
    roster_.AdvanceCurrentRow();
}

void RosterController::currentRowChanged(int row)
{
    u_.list->setCurrentRow(row);
    // Leaving every row (free shooting) keeps the labels as they were. The
    // pane always shows the current student's photo, however the row moved.
    if (row >= 0) {
        RefreshCurrentLabels();
        showCurrentRowPhoto();
    }
}

void RosterController::RefreshCurrentLabels()
{
    refreshLabels(false);
}

void RosterController::refreshLabels(bool afterImport)
{
    u_.positionLabel->setText(roster_.positionText());
    u_.personLabel->setText(roster_.currentPersonText());
    writeBannerLines(afterImport);
}

void RosterController::writeBannerLines(bool afterImport)
{
    SwapConfirmWindow* banner = context_.banner ? context_.banner() : nullptr;
    if (!banner)
        return;
    if (roster_.currentRow() < 0) {
        // No roster position: free shooting.
        banner->setCurrentLine(QStringLiteral("你正进行自由拍照操作…………"));
        banner->setNextLine(QStringLiteral("你未进行任何照相操作…………"));
        return;
    }
    banner->setCurrentLine(roster_.positionText() + QStringLiteral("  ") + roster_.currentPersonText());
    banner->setNextLine(roster_.nextLine(afterImport));
}

void RosterController::ShowCurrentPhoto()
{
    showCurrentRowPhoto();
    if (rowCount() > 0 && announceRow)
        announceRow(currentRow());
}

void RosterController::showCurrentRowPhoto()
{
    DrawPanel* pane = u_.photoPane;
    pane->clear();
    const int c = currentRow();
    if (c == -1) {
        u_.fileNameLabel->setText(QString());
        u_.fileNameBox->setText(QString());
        pane->drawText(QPoint(30, 120), QStringLiteral("Orrin中学学籍照相系统"), pane->font(), Qt::black);
        return;
    }
    // The file the photo is saved as, by the one naming rule.
    const PhotoPath name = photopath::fileName(PhotoName(c));
    const QString fileName = name.ok() ? name.path : PhotoName(c) + QStringLiteral(".jpg");
    u_.fileNameLabel->setText(fileName);
    u_.fileNameBox->setText(fileName);
    // A missing or unreadable photo leaves the pane empty.
    const PhotoPath file = photopath::filePath(context_.photoFolder(), PhotoName(c));
    if (file.ok())
        (void)showPhotoFile(*pane, file.path, currentPhotoShownSize(pane->size()));
}

void RosterController::CheckPhotos(const QString& saveNote)
{
    saveNote_ = saveNote;
    checkPhotos(CheckStatus::AfterSave);
}

void RosterController::RecheckPhotos()
{
    checkPhotos(CheckStatus::KeepUnlessLast);
}

void RosterController::checkPhotos(CheckStatus status)
{
    // A check that supersedes the one after a save still reports that save.
    checkReportsSave_ = status == CheckStatus::AfterSave || (checkReportsSave_ && roster_.checkingPhotos());
    roster_.startPhotoCheck(context_.photoFolder());
}

void RosterController::photosChecked()
{
    const int c = currentRow();
    const int n = rowCount();
    // Only a save may be reported as one: after a column change, a new folder
    // or an import the status line stays as it is.
    if (c == n - 1)
        context_.setStatus(lastPersonText);
    else if (c != 0 && checkReportsSave_)
        context_.setStatus(QStringLiteral("当前状态: 保存相片成功!") + saveNote_);
    checkReportsSave_ = false;
}

void RosterController::ResetPhotographedColumn()
{
    // The column is made anew: no heading, 50 wide, marks centred.
    RosterModel* model = roster();
    model->clearColumn(RosterModel::photographedColumn);
    model->setHeader(RosterModel::photographedColumn, QString());
    model->setColumnAlignment(RosterModel::photographedColumn, Qt::AlignCenter);
    u_.list->setColumnWidth(RosterModel::photographedColumn, 50);
    checkPhotos(CheckStatus::KeepUnlessLast);
}

void RosterController::CyclePhotoNameColumn()
{
    roster_.setPhotoNameColumn((roster_.photoNameColumn() + 1) % 3);
    ShowCurrentPhoto();
    RefreshCurrentLabels();
    checkPhotos(CheckStatus::KeepUnlessLast);
}

void RosterController::CycleDisplayNameColumn()
{
    roster_.setDisplayNameColumn((roster_.displayNameColumn() + 1) % (RosterState::noDisplayColumn + 1));
    ShowCurrentPhoto();
    RefreshCurrentLabels();
}

bool RosterController::isRosterFile(const QString& path)
{
    // The readers' own rule, so a drop is never refused for a file they read.
    return isRosterFileName(path);
}

bool RosterController::importing() const
{
    return roster_.importing();
}

void RosterController::dropFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (u_.column1Box->text() == refused) {
        Dialogs::current().message(QStringLiteral("导入表列设置有误，请修改后继续"), dialogtitle::reminder,
                                   Dialogs::Icon::Error);
        return;
    }
    // Several files: the first workbook among them is imported.
    QString workbook;
    for (const QString& p : paths) {
        if (isRosterFile(p)) {
            workbook = p;
            break;
        }
    }
    roster_.setRosterFilePath(workbook.isEmpty() ? paths.constFirst() : workbook);
    if (workbook.isEmpty()) {
        Dialogs::current().message(QStringLiteral("程序目前只支持Excel文档"), dialogtitle::reminder,
                                   Dialogs::Icon::None);
        return;
    }
    // The workbook is read in a task; a drop meanwhile replaces this import.
    context_.setStatus(QStringLiteral("当前状态: 导入文件数据过程中"));
    roster_.startImport(workbook, {u_.column1Box->text(), u_.column2Box->text(), u_.column3Box->text()},
                        u_.headerRowBox && u_.headerRowBox->isChecked());
}

void RosterController::chooseWorkbook()
{
    const QString folder =
        roster_.rosterFilePath().isEmpty() ? QString() : QFileInfo(roster_.rosterFilePath()).absolutePath();
    const QString chosen = Dialogs::current().openFile(
        QStringLiteral("导入名单"), QStringLiteral("Excel 文件 (*.xls *.xlsx *.xlsm *.csv)"), folder);
    if (!chosen.isEmpty())
        dropFiles({chosen});
}

void RosterController::importFinished(bool rowsRead, const QString& error)
{
    if (!rowsRead) {
        // An unreadable workbook leaves the roster as it was.
        context_.setStatus(QStringLiteral("当前状态: 导入文件数据失败!"));
        Dialogs::current().message(error, dialogtitle::reminder, Dialogs::Icon::Warning);
        return;
    }
    const bool hasRows = rowCount() > 0;
    u_.list->setFocus();
    if (hasRows) {
        refreshLabels(true);
    } else {
        // Nothing of the previous roster may stay on screen.
        u_.positionLabel->setText(QString());
        u_.personLabel->setText(QString());
        writeBannerLines();
    }
    switchToRosterMode(hasRows);
    ShowCurrentPhoto();
    FitRosterColumns();
    u_.photoNameButton->setEnabled(true);
    u_.displayNameButton->setEnabled(true);
    u_.searchButton->setEnabled(true);
    if (!hasRows) {
        context_.setStatus(QStringLiteral("当前状态: 第一个工作表中没有数据行"));
        return;
    }
    context_.setStatus(QStringLiteral("当前状态: 导入文件数据成功!"));
    checkPhotos(CheckStatus::KeepUnlessLast);
}

void RosterController::switchToRosterMode([[maybe_unused]] bool hasRows)
{
    u_.fileNameLabel->setVisible(true);
    u_.freeShootingBox->setChecked(false);
    u_.manualNamingBox->setChecked(false);
    u_.autoSaveBox->setChecked(false);
    u_.manualNamingBox->setEnabled(false);
    u_.fileNameBox->setEnabled(false);
    // The save button follows the photo part's take: a new roster has none.
}

void RosterController::FitRosterColumns()
{
    RosterListView* view = u_.list;
    for (int c = 0; c < 3; ++c)
        view->resizeColumnToContents(c);
    view->setColumnWidth(0, view->columnWidth(0) + 10);
}

void RosterController::refuseColumnBox(QLineEdit* box)
{
    box->setText(QString());
    setTextColour(box, Qt::red);
    box->setText(refused);
}

bool RosterController::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter moves on to the next box when this one holds something.
            if (box == u_.column1Box && !box->text().isEmpty())
                u_.column2Box->setFocus();
            else if (box == u_.column2Box && !box->text().isEmpty())
                u_.column3Box->setFocus();
            return true;
        }
        const QString typed = key->text();
        // Tab moves on as anywhere else: the boxes never keep the focus.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        if (typed.isEmpty() || key->key() == Qt::Key_Delete || (key->modifiers() & Qt::ControlModifier))
            return false;
        if (typed.size() == 1 && isAsciiLetter(typed[0])) {
            setTextColour(box, Qt::black);
            // A letter typed over the refusal mark replaces it.
            if (box->text() == refused)
                box->clear();
            box->insert(typed.toUpper());
            return true;
        }
        refuseColumnBox(box);
        return true;
    }
    if (event->type() == QEvent::FocusOut && box == u_.column1Box && box->text().isEmpty()) {
        // Shown as wrong; the focus goes where the operator sent it.
        box->setText(refused);
        setTextColour(box, Qt::red);
    }
    return QObject::eventFilter(watched, event);
}
