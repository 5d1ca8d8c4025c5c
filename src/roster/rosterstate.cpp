#include "rosterstate.h"

#include "photocheck.h"
#include "rosterread.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

#include <utility>

namespace {

const QString currentPosition = QStringLiteral("当前位:");
const QString lastPosition = QStringLiteral("最后位:");
const QString lastPersonText = QStringLiteral("已是最后一位  照相可能即将结束");
const QString nextPrefix = QStringLiteral("下一位:  ");

const std::array<QString, 3> photoNameCaptions = {QStringLiteral("照片名列→ 列1"), QStringLiteral("照片名列→ 列2"),
                                                  QStringLiteral("照片名列→ 列3")};
const std::array<QString, 4> displayNameCaptions = {QStringLiteral("显示名列→ 列1"), QStringLiteral("显示名列→ 列2"),
                                                    QStringLiteral("显示名列→ 列3"), QStringLiteral("显示名列→ 无")};

const std::array<QString, 3> plainHeadings = {QStringLiteral("列1"), QStringLiteral("列2"), QStringLiteral("列3")};

}  // namespace

RosterState::RosterState(QObject* parent)
    : QObject(parent)
    , model_(new RosterModel(this))
{
    // Rows set on the model directly leave no current row past the end, and
    // make another roster for the photo marks.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        ++rosterGeneration_;
        if (current_ >= rowCount())
            current_ = -1;
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { ++rosterGeneration_; });
}

RosterState::~RosterState()
{
    // A read still running finds its cancel flag set and its result unwanted.
    if (importCancel_)
        importCancel_->store(true);
}

void RosterState::setCurrentRow(int row)
{
    if (row >= rowCount())
        return;
    if (row < 0)
        row = -1;
    if (row == current_)
        return;
    current_ = row;
    emit currentRowChanged(row);
}

void RosterState::AdvanceCurrentRow()
{
    setCurrentRow(current_ + 1);
    savedCurrentRow_ = current_;
}

void RosterState::setPhotoNameColumn(int column)
{
    if (column < 0 || column > 2 || column == photoNameColumn_)
        return;
    photoNameColumn_ = column;
    emit photoNameColumnChanged(column);
}

void RosterState::setDisplayNameColumn(int column)
{
    if (column < 0 || column > noDisplayColumn || column == displayNameColumn_)
        return;
    displayNameColumn_ = column;
    emit displayNameColumnChanged(column);
}

QString RosterState::photoNameCaption(int column)
{
    return column >= 0 && column < 3 ? photoNameCaptions[size_t(column)] : QString();
}

QString RosterState::displayNameCaption(int column)
{
    return column >= 0 && column <= noDisplayColumn ? displayNameCaptions[size_t(column)] : QString();
}

QString RosterState::PersonText(int row, const QString& separator) const
{
    if (displayNameColumn_ == noDisplayColumn)
        return PhotoName(row);
    return PhotoName(row) + separator + cell(row, displayNameColumn_);
}

QString RosterState::positionText() const
{
    return current_ == rowCount() - 1 ? lastPosition : currentPosition;
}

QString RosterState::nextLine(bool afterImport) const
{
    if (positionText() != currentPosition)
        return lastPersonText;
    const int next = current_ + 1;
    return afterImport ? nextPrefix + PersonText(next, QStringLiteral("  "))
                       : nextPrefix + PhotoName(next) + QStringLiteral("  ") + cell(next, 1);
}

int RosterState::photographedCount() const
{
    int n = 0;
    for (int row = 0; row < rowCount(); ++row)
        n += cell(row, RosterModel::photographedColumn).isEmpty() ? 0 : 1;
    return n;
}

void RosterState::setRows(Roster rows)
{
    replaceRoster(std::move(rows), plainHeadings);
}

void RosterState::replaceRoster(Roster rows, const std::array<QString, 3>& headings)
{
    // Marks of the old roster must not land on the new one (the model's
    // reset below also makes a new roster generation).
    ++checkGeneration_;
    checking_ = false;
    current_ = -1;
    model_->setRoster(std::move(rows));
    for (int c = 0; c < 3; ++c)
        model_->setHeader(c, headings[size_t(c)]);
    emit rosterReplaced();
    setCurrentRow(0);
}

void RosterState::startImport(const QString& path, const std::array<QString, 3>& columns, bool headerRow)
{
    if (importCancel_)
        importCancel_->store(true);
    importCancel_ = std::make_shared<std::atomic_bool>(false);
    const quint64 generation = ++importGeneration_;
    importing_ = true;

    auto* watcher = new QFutureWatcher<Result<Roster>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, headerRow] {
        watcher->deleteLater();
        // A later drop took over: this read is forgotten.
        if (generation != importGeneration_)
            return;
        importing_ = false;
        importCancel_.reset();
        Result<Roster> read = watcher->future().takeResult();
        if (!read) {
            emit importFinished(false, read.error());
            return;
        }
        Roster rows = std::move(read).value();
        std::array<QString, 3> headings = plainHeadings;
        if (headerRow && !rows.empty()) {
            for (size_t c = 0; c < 3; ++c)
                headings[c] = rows.front().cells[c];
            rows.erase(rows.begin());
        }
        replaceRoster(std::move(rows), headings);
        emit importFinished(true, QString());
    });
    const std::shared_ptr<std::atomic_bool> cancel = importCancel_;
    watcher->setFuture(
        QtConcurrent::run([path, columns, cancel] { return readRosterRows(path, columns, cancel.get()); }));
}

namespace {

struct PhotoCheck {
    std::shared_ptr<const PhotoFolderListing> listing;
    std::shared_ptr<const PhotoNameIndex> index;
    std::vector<bool> marks;
};

struct MarksRefresh {
    std::shared_ptr<const PhotoFolderListing> listing;
    std::vector<std::pair<int, bool>> changes;
};

const QString photographedMark = QStringLiteral("已照");

// A listing or index of a big folder is tens of thousands of strings: the
// last reference to an old one is let go on a worker, not on the GUI thread.
template <typename T> void releaseElsewhere(T old)
{
    QThreadPool::globalInstance()->start([old = std::move(old)]() mutable { old = T{}; });
}

}  // namespace

void RosterState::startPhotoCheck(const QString& folder)
{
    const quint64 generation = ++checkGeneration_;
    const quint64 roster = rosterGeneration_;
    const int column = photoNameColumn_;
    checking_ = true;
    // The names make the same files while the roster and its photo-name
    // column stay: the check after each save reuses the index.
    std::shared_ptr<const PhotoNameIndex> index;
    if (basis_ && basis_->roster == roster && basis_->photoNameColumn == column)
        index = basis_->index;
    std::vector<QString> names;
    if (!index) {
        names.reserve(size_t(rowCount()));
        for (int r = 0; r < rowCount(); ++r)
            names.push_back(PhotoName(r));
    }

    auto* watcher = new QFutureWatcher<PhotoCheck>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, roster, column, folder] {
        watcher->deleteLater();
        if (generation != checkGeneration_ || roster != rosterGeneration_)
            return;
        checking_ = false;
        PhotoCheck check = watcher->future().takeResult();
        std::vector<QString> marks(check.marks.size());
        for (size_t r = 0; r < check.marks.size(); ++r)
            if (check.marks[r])
                marks[r] = photographedMark;
        model_->setColumn(RosterModel::photographedColumn, marks);
        releaseElsewhere(std::exchange(
            basis_, CheckBasis{folder, roster, column, std::move(check.listing), std::move(check.index)}));
        // A refresh read against the old basis is dropped; one asked for
        // meanwhile runs against the new one.
        if (refreshing_) {
            ++refreshGeneration_;
            refreshing_ = false;
            if (refreshAgain_.isEmpty())
                refreshAgain_ = folder;
        }
        emit photosChecked();
        if (!refreshAgain_.isEmpty())
            refreshPhotoMarks(std::exchange(refreshAgain_, QString()));
    });
    watcher->setFuture(QtConcurrent::run([folder, index = std::move(index), names = std::move(names)] {
        PhotoCheck check{std::make_shared<const PhotoFolderListing>(folder),
                         index ? index : std::make_shared<const PhotoNameIndex>(names),
                         {}};
        check.marks = check.index->marks(*check.listing);
        return check;
    }));
}

bool RosterState::basisHolds(const QString& folder) const
{
    return basis_ && basis_->folder == folder && basis_->roster == rosterGeneration_ &&
           basis_->photoNameColumn == photoNameColumn_;
}

void RosterState::refreshPhotoMarks(const QString& folder)
{
    if (rowCount() == 0)
        return;
    if (refreshing_ || checking_) {
        refreshAgain_ = folder;
        return;
    }
    // The marks come from a check of another folder, roster or column (or
    // from none): the check that the change started brings them in.
    if (!basisHolds(folder))
        return;
    refreshing_ = true;
    const quint64 generation = ++refreshGeneration_;
    auto* watcher = new QFutureWatcher<MarksRefresh>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != refreshGeneration_)
            return;
        refreshing_ = false;
        MarksRefresh refresh = watcher->future().takeResult();
        if (basis_ && basis_->roster == rosterGeneration_ && basis_->photoNameColumn == photoNameColumn_) {
            for (const auto& [row, present] : refresh.changes)
                model_->setCell(row, RosterModel::photographedColumn, present ? photographedMark : QString());
            if (refresh.listing)
                releaseElsewhere(std::exchange(basis_->listing, std::move(refresh.listing)));
            emit photoMarksRefreshed(int(refresh.changes.size()));
        }
        if (!refreshAgain_.isEmpty())
            refreshPhotoMarks(std::exchange(refreshAgain_, QString()));
    });
    watcher->setFuture(QtConcurrent::run([folder, before = basis_->listing, index = basis_->index] {
        MarksRefresh refresh{std::make_shared<const PhotoFolderListing>(folder), {}};
        refresh.changes = index->changedMarks(*before, *refresh.listing);
        // Nothing to rewrite: the old listing stays, and the new one is
        // freed here rather than on the GUI thread.
        if (refresh.changes.empty())
            refresh.listing.reset();
        return refresh;
    }));
}
