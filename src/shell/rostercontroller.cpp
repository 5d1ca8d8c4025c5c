#include "rostercontroller.h"

#include "dialogs.h"
#include "drawpanel.h"
#include "mainwindow.h"
#include "photocanvas.h"
#include "photopath.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterread.h"
#include "swapconfirmwindow.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>

namespace {

const QString refused = QStringLiteral("错");
const QString currentPosition = QStringLiteral("当前位:");
const QString lastPosition = QStringLiteral("最后位:");
const QString lastPersonText = QStringLiteral("已是最后一位  照相可能即将结束");
const QString nextPrefix = QStringLiteral("下一位:  ");

const QStringList photoNameCaptions = {QStringLiteral("照片名列→ 列1"), QStringLiteral("照片名列→ 列2"),
                                       QStringLiteral("照片名列→ 列3")};
const QStringList displayNameCaptions = {QStringLiteral("显示名列→ 列1"), QStringLiteral("显示名列→ 列2"),
                                         QStringLiteral("显示名列→ 列3"), QStringLiteral("显示名列→ 无")};

// Long loops let the window repaint and take clicks this often.
constexpr int eventSliceMs = 20;

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

bool isWorkbook(const QString& path)
{
    return isRosterFileName(path);
}

}  // namespace

RosterController::RosterController(MainWindow& window)
    : QObject(&window)
    , w_(window)
{
    Ui::MainWindow* ui = w_.ui;
    connect(list(), &RosterListView::filesDropped, this, &RosterController::dropFiles);
    connect(list(), &RosterListView::currentRowChanged, this, [this] { RefreshCurrentLabels(); });
    connect(list(), &RosterListView::listClicked, this, &RosterController::ShowCurrentPhoto);
    connect(ui->超级按钮1, &QPushButton::clicked, this, &RosterController::CyclePhotoNameColumn);
    connect(ui->超级按钮2, &QPushButton::clicked, this, &RosterController::CycleDisplayNameColumn);
    connect(ui->按钮检查照片, &QPushButton::clicked, this, &RosterController::CheckPhotos);
    connect(ui->编辑框2, &QLineEdit::textChanged, this, &RosterController::ResetPhotographedColumn);
    for (QLineEdit* box : {ui->编辑框6, ui->编辑框7, ui->编辑框8})
        box->installEventFilter(this);
}

RosterListView* RosterController::list() const
{
    return w_.ui->超级列表框1;
}

RosterModel* RosterController::roster() const
{
    return list()->roster();
}

int RosterController::currentRow() const
{
    return list()->currentRow();
}

int RosterController::rowCount() const
{
    return list()->rowCount();
}

QString RosterController::PhotoName(int row) const
{
    return roster()->cell(row, w_.state.PhotoNameColumn);
}

QString RosterController::PersonText(int row, const QString& separator) const
{
    if (w_.state.DisplayNameColumn == 3)
        return PhotoName(row);
    return PhotoName(row) + separator + roster()->cell(row, w_.state.DisplayNameColumn);
}

bool RosterController::IsLastRow() const
{
    return currentRow() == rowCount() - 1;
}

void RosterController::AdvanceCurrentRow()
{
    list()->setCurrentRow(currentRow() + 1);
    w_.state.savedCurrentRow = currentRow();
}

void RosterController::RefreshCurrentLabels()
{
    refreshLabels(false);
}

void RosterController::refreshLabels(bool afterImport)
{
    Ui::MainWindow* ui = w_.ui;
    const int c = currentRow();
    ui->透明标签6->setText(c == rowCount() - 1 ? lastPosition : currentPosition);
    ui->透明标签5->setText(PersonText(c, QStringLiteral("  ")));
    writeBannerLines(afterImport);
}

void RosterController::writeBannerLines(bool afterImport)
{
    SwapConfirmWindow* banner = w_.swapWindow();
    if (!banner)
        return;
    // The banner repeats the position labels as they stand.
    Ui::MainWindow* ui = w_.ui;
    const QString position = ui->透明标签6->text();
    banner->setCurrentLine(position + QStringLiteral("  ") + ui->透明标签5->text());
    const int c = currentRow();
    if (position == currentPosition) {
        banner->setNextLine(afterImport
                                ? nextPrefix + PersonText(c + 1, QStringLiteral("  "))
                                : nextPrefix + PhotoName(c + 1) + QStringLiteral("  ") + roster()->cell(c + 1, 1));
    } else if (!position.isEmpty()) {
        banner->setNextLine(lastPersonText);
    } else {
        // No roster position yet: free shooting.
        banner->setCurrentLine(QStringLiteral("你正进行自由拍照操作…………"));
        banner->setNextLine(QStringLiteral("你未进行任何照相操作…………"));
    }
}

void RosterController::ShowCurrentPhoto()
{
    Ui::MainWindow* ui = w_.ui;
    DrawPanel* pane = ui->画板1;
    pane->clear();
    const int c = currentRow();
    if (c == -1) {
        ui->透明标签3->setText(QString());
        ui->编辑框1->setText(QString());
    } else {
        ui->透明标签3->setText(PhotoName(c) + QStringLiteral(".jpg"));
        ui->编辑框1->setText(ui->透明标签3->text());
        // A missing or unreadable photo leaves the pane empty.
        const PhotoPath file = photopath::filePath(w_.state.photoFolder, PhotoName(c));
        if (file.ok())
            (void)showPhotoFile(*pane, file.path, currentPhotoShownSize(pane->size()));
    }
    if (c == -1)
        pane->drawText(QPoint(30, 120), QStringLiteral("Orrin中学学籍照相系统"), pane->font(), Qt::black);
    if (rowCount() > 0 && announceRow)
        announceRow(c);
}

void RosterController::CheckPhotos()
{
    // Events are processed during the scan; a check asked for meanwhile runs
    // once more at the end instead of interleaving with this one.
    if (checking_) {
        checkAgain_ = true;
        return;
    }
    checking_ = true;
    QPointer<MainWindow> alive(&w_);
    do {
        checkAgain_ = false;
        // The folder is read once; each row then asks for its exact file name.
        QSet<QString> files;
        const QDir folder(w_.state.photoFolder);
        if (!w_.state.photoFolder.isEmpty() && folder.exists()) {
            const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
            files = QSet<QString>(names.begin(), names.end());
        }
        const int n = rowCount();
        std::vector<QString> marks(static_cast<size_t>(n));
        // The photo-name column follows the button's caption, which can only
        // change while events are processed: it is read again after each slice.
        int k = 0;
        auto readColumn = [this, &k] {
            const int captionColumn = photoNameCaptions.indexOf(w_.ui->超级按钮1->text());
            if (captionColumn >= 0)
                k = captionColumn;
        };
        readColumn();
        QElapsedTimer slice;
        slice.start();
        for (int r = 0; r < n; ++r) {
            if (slice.elapsed() >= eventSliceMs) {
                QCoreApplication::processEvents();
                if (!alive || checkAgain_)
                    break;
                readColumn();
                slice.restart();
            }
            const PhotoPath file = photopath::fileName(roster()->cell(r, k));
            if (file.ok() && files.contains(file.path))
                marks[size_t(r)] = QStringLiteral("已照");
        }
        if (!alive)
            return;
        if (checkAgain_ || n != rowCount())
            continue;
        roster()->setColumn(RosterModel::photographedColumn, marks);
    } while (checkAgain_);
    checking_ = false;

    const int c = currentRow();
    const int n = rowCount();
    if (c == n - 1)
        w_.setStatus(lastPersonText);
    else if (c != 0)
        w_.setStatus(QStringLiteral("当前状态: 保存相片成功!"));
}

void RosterController::ResetPhotographedColumn()
{
    // The column is made anew: no heading, 50 wide, marks centred.
    RosterModel* model = roster();
    model->clearColumn(RosterModel::photographedColumn);
    model->setHeader(RosterModel::photographedColumn, QString());
    model->setColumnAlignment(RosterModel::photographedColumn, Qt::AlignCenter);
    list()->setColumnWidth(RosterModel::photographedColumn, 50);
    CheckPhotos();
}

void RosterController::CyclePhotoNameColumn()
{
    QPushButton* button = w_.ui->超级按钮1;
    const int at = photoNameCaptions.indexOf(button->text());
    if (at >= 0) {
        const int next = (at + 1) % photoNameCaptions.size();
        button->setText(photoNameCaptions[next]);
        w_.state.PhotoNameColumn = next;
    }
    ShowCurrentPhoto();
    RefreshCurrentLabels();
    CheckPhotos();
}

void RosterController::CycleDisplayNameColumn()
{
    QPushButton* button = w_.ui->超级按钮2;
    const int at = displayNameCaptions.indexOf(button->text());
    if (at >= 0) {
        const int next = (at + 1) % displayNameCaptions.size();
        button->setText(displayNameCaptions[next]);
        w_.state.DisplayNameColumn = next;
    }
    ShowCurrentPhoto();
    RefreshCurrentLabels();
}

void RosterController::dropFiles(const QStringList& paths)
{
    if (importing_ || paths.isEmpty())
        return;
    if (w_.ui->编辑框6->text() == refused) {
        Dialogs::current().message(QStringLiteral("导入表列设置有误，请修改后继续"), dialogtitle::reminder,
                                   Dialogs::Icon::Error);
        return;
    }
    // Several files: the first workbook among them is imported.
    QString workbook;
    for (const QString& p : paths) {
        if (isWorkbook(p)) {
            workbook = p;
            break;
        }
    }
    w_.state.rosterFilePath = workbook.isEmpty() ? paths.constFirst() : workbook;
    if (workbook.isEmpty()) {
        Dialogs::current().message(QStringLiteral("程序目前只支持Excel文档"), dialogtitle::reminder,
                                   Dialogs::Icon::None);
        return;
    }
    ImportRoster();
}

void RosterController::ImportRoster()
{
    w_.setStatus(QStringLiteral("当前状态: 导入文件数据过程中"));
    if (!ReadRosterRows())
        return;
    FitRosterColumns();
    w_.ui->超级按钮1->setEnabled(true);
    w_.ui->超级按钮2->setEnabled(true);
    w_.ui->超级按钮3->setEnabled(true);
    list()->setFocus();
}

bool RosterController::ReadRosterRows()
{
    Ui::MainWindow* ui = w_.ui;
    const std::array<QString, 3> columns{ui->编辑框6->text(), ui->编辑框7->text(), ui->编辑框8->text()};
    const QString path = w_.state.rosterFilePath;

    // The workbook is read off the GUI thread; the window stays responsive.
    importing_ = true;
    Result<Roster> result = failure(QString());
    QPointer<MainWindow> alive(&w_);
    QThread* reader = QThread::create([&result, path, columns] { result = readRosterRows(path, columns); });
    QEventLoop wait;
    connect(reader, &QThread::finished, &wait, &QEventLoop::quit);
    reader->start();
    wait.exec();
    reader->wait();
    delete reader;
    if (!alive)
        return false;
    importing_ = false;

    if (!result) {
        // An unreadable workbook leaves the roster as it was.
        w_.setStatus(QStringLiteral("当前状态: 导入文件数据失败!"));
        Dialogs::current().message(result.error(), dialogtitle::reminder, Dialogs::Icon::Warning);
        return false;
    }

    roster()->setRoster(std::move(result).value());
    list()->setFocus();
    list()->setCurrentRow(0);
    if (rowCount() > 0)
        refreshLabels(true);
    switchToRosterMode();
    ShowCurrentPhoto();
    w_.setStatus(QStringLiteral("当前状态: 导入文件数据成功!"));
    CheckPhotos();
    return true;
}

void RosterController::switchToRosterMode()
{
    Ui::MainWindow* ui = w_.ui;
    ui->透明标签3->setVisible(true);
    ui->选择框2->setChecked(false);
    ui->选择框3->setChecked(false);
    ui->选择框1->setChecked(false);
    ui->选择框3->setEnabled(false);
    ui->编辑框1->setEnabled(false);
    // The save button follows the photo part's take: a new roster has none.
}

void RosterController::FitRosterColumns()
{
    RosterListView* view = list();
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
    Ui::MainWindow* ui = w_.ui;

    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter moves on to the next box when this one holds something.
            if (box == ui->编辑框6 && !box->text().isEmpty())
                ui->编辑框7->setFocus();
            else if (box == ui->编辑框7 && !box->text().isEmpty())
                ui->编辑框8->setFocus();
            return true;
        }
        const QString typed = key->text();
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
    if (event->type() == QEvent::FocusOut && box == ui->编辑框6 && box->text().isEmpty()) {
        box->setText(refused);
        setTextColour(box, Qt::red);
        QTimer::singleShot(0, box, [box] { box->setFocus(); });
    }
    return QObject::eventFilter(watched, event);
}
