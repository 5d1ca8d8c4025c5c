#include "photoservice.h"

#include "appstate.h"
#include "photocheck.h"
#include "photocut.h"
#include "photofile.h"
#include "photopath.h"
#include "photorender.h"
#include "rostermodel.h"
#include "rosterstate.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

const QString savedStatus = QStringLiteral("当前状态: 保存照片完成!");
const QString notSavedStatus = QStringLiteral("当前状态: 照片未保存!");
const QString takeFailedStatus = QStringLiteral("当前状态: 照相失败!");
const QString jpg = QStringLiteral(".jpg");

// The file name a photo name is saved under; the name itself with ".jpg"
// when the rule refuses it (the save then says why).
QString fileNameOf(const QString& name)
{
    const PhotoPath file = photopath::fileName(name);
    return file.ok() ? file.path : name + jpg;
}

// The note for the status line when the file name is not the name itself.
QString renamedNote(const QString& name)
{
    const QString file = fileNameOf(name);
    if (file == name + jpg)
        return {};
    return QStringLiteral(" 照片名“%1”含有文件名不能用的字符，文件名为“%2”").arg(name, file);
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// A save on its way: the photo for the worker, and who and what it is for,
// by value, so it finishes for the student it was taken of.
struct PhotoService::SaveJob {
    PhotoJob photo;
    TakeOwner owner;
    QString name;
    int number = 0;  // the automatic number, 0 for other names
    quint64 takeNumber = 0;
};

struct PhotoService::LastSave {
    SaveReport report;
    safewrite::FileIdentity written;
    int number = 0;
    std::optional<safewrite::Published> original;
};

namespace {

// The camera's region around a cut: the cut with a margin of 40 % of its
// width at the sides and 30 % of its height above and below, inside the frame.
QImage originalAround(const QImage& frame, const QRectF& region, QSize target)
{
    const QRect cut = photoCutRect(frame.size(), region, target);
    const int dx = cut.width() * 2 / 5;
    const int dy = cut.height() * 3 / 10;
    return frame.copy(cut.adjusted(-dx, -dy, dx, dy).intersected(frame.rect()));
}

}  // namespace

QString PhotoService::originalsFolderName()
{
    return QStringLiteral("原图");
}

QString PhotoService::autoNamePrefix()
{
    return QStringLiteral("Velk学籍照相相片");
}

PhotoService::PhotoService(RosterState& roster, AppState& app, QObject* parent)
    : QObject(parent)
    , roster_(roster)
    , app_(app)
{
    clock = steadyMs;
    connect(&session_, &PhotoSession::changed, this, &PhotoService::changed);
    // A take belongs to the student current when it was taken: another
    // current row, another roster or another photo-name column make it the
    // wrong photo, and the last two another index of files.
    connect(&roster_, &RosterState::currentRowChanged, this, [this] {
        studentSinceMs_ = now();
        discardTake();
    });
    auto rosterChanged = [this] {
        index_.reset();
        discardTake();
    };
    connect(&roster_, &RosterState::rosterReplaced, this, rosterChanged);
    connect(&roster_, &RosterState::photoNameColumnChanged, this, rosterChanged);
    RosterModel* model = roster_.model();
    connect(model, &QAbstractItemModel::modelReset, this, rosterChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, rosterChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, rosterChanged);
    // The marks change cells too; only the names make the index.
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        if (from.column() < RosterModel::photographedColumn || to.column() < RosterModel::photographedColumn)
            index_.reset();
    });
}

PhotoService::~PhotoService() = default;

qint64 PhotoService::now() const
{
    return clock ? clock() : steadyMs();
}

void PhotoService::say(const QString& status, const QString& message, bool information)
{
    PhotoNotice n;
    n.status = status;
    n.message = message;
    n.information = information;
    emit notice(n);
}

bool PhotoService::refuse(const QString& status, const QString& message)
{
    say(status, message);
    emit changed();
    return false;
}

QString PhotoService::nextAutoName() const
{
    return autoNamePrefix() +
           QString::number(nextFreeShotNumber(app_.photoFolder(), autoNamePrefix(), session_.freeShotCounter()));
}

const PhotoNameIndex& PhotoService::ownerIndex() const
{
    if (!index_) {
        std::vector<QString> names;
        names.reserve(size_t(roster_.rowCount()));
        for (int row = 0; row < roster_.rowCount(); ++row)
            names.push_back(roster_.PhotoName(row));
        index_ = std::make_unique<PhotoNameIndex>(names);
    }
    return *index_;
}

Status PhotoService::ownsItsFile(int row) const
{
    // Two students never share one photo file: the first in the roster owns
    // it, a later one is refused.
    const QString name = roster_.PhotoName(row);
    const PhotoPath file = photopath::fileName(name);
    const int owner = file.ok() ? ownerIndex().rowOf(file.path) : -1;
    if (owner < 0 || owner == row)
        return Status::success();
    return failure(QStringLiteral("第%1行“%2”和第%3行“%4”的照片文件名都是“%5”，请先修改名单中的名字。")
                       .arg(owner + 1)
                       .arg(roster_.PhotoName(owner))
                       .arg(row + 1)
                       .arg(name, file.path));
}

bool PhotoService::saveAllowed() const
{
    // Only a fresh take can be saved, once, by the student it was taken of.
    const bool typedNameMissing = session_.freeShooting() && session_.manualNaming() && session_.typedName().isEmpty();
    // A take the checks found fault with is saved by hand also when saving
    // is automatic.
    const bool byHand = !session_.autoSave() || (take_ && take_->checkFailed);
    return hasUnsavedTake() && !saving_ && byHand && !typedNameMissing && !comparing_;
}

bool PhotoService::take(const TakeRequest& request)
{
    if (saving_) {
        say(QStringLiteral("当前状态: 正在保存上一张照片，请稍候"));
        return false;
    }
    if (!request.targetError.isEmpty())
        return refuse(takeFailedStatus, QStringLiteral("照相失败：") + request.targetError);
    const qint64 t = now();
    if (movedOnAtMs_ >= 0 && t - movedOnAtMs_ < settleMs) {
        // A second press for the student just saved: the next one is not
        // seated yet.
        say(QStringLiteral("当前状态: 已换到下一位，请稍候再照相"));
        return false;
    }
    const CameraPicture& picture = request.picture;
    if (!picture.frame.isNull() && picture.still) {
        // Never an older student's picture: a still counts from the moment
        // this student was chosen (or the last one saved).
        if (picture.arrivalMs <= std::max(studentSinceMs_, movedOnAtMs_))
            return refuse(
                takeFailedStatus,
                QStringLiteral("照相失败：还没有这位学生的新照片（最新的一张是换到这位学生之前拍的），请拍照后再试。"));
    } else if (!picture.frame.isNull()) {
        const qint64 age = t - picture.arrivalMs;
        if (age > std::max(kFreshFrameMs, 2 * picture.periodMs))
            return refuse(
                takeFailedStatus,
                QStringLiteral("照相失败：摄像头的画面已停止更新（最新的画面是 %1 秒前的），请检查摄像头后再照相。")
                    .arg(double(age) / 1000.0, 0, 'f', 1));
        if (movedOnAtMs_ >= 0 && picture.arrivalMs <= movedOnAtMs_) {
            say(QStringLiteral("当前状态: 等待摄像头的新画面，请稍候再照相"));
            return false;
        }
    }

    discardTake();
    TakeOwner owner;
    const int row = roster_.currentRow();
    if (row >= 0) {
        owner.mode = TakeOwner::Mode::RosterRow;
        owner.row = row;
        owner.name = roster_.PhotoName(row);
    } else if (session_.manualNaming() || !session_.freeShooting()) {
        owner.mode = TakeOwner::Mode::Typed;
        owner.name = session_.typedName();
    } else {
        owner.mode = TakeOwner::Mode::Numbered;
        owner.name = nextAutoName();
    }
    if (!owner.name.isEmpty())
        session_.setPhotoBaseName(owner.name);

    // The photo is the camera picture under the frame's interior, cut with
    // the target's aspect.
    const Result<QImage> cut = cutPhoto(picture.frame, request.region, request.target);
    if (!cut)
        return refuse(takeFailedStatus, QStringLiteral("照相失败：") + cut.error());
    Take fresh;
    fresh.cut = cut.value();
    if (session_.keepOriginal())
        fresh.original = originalAround(picture.frame, request.region, request.target);
    fresh.size = request.target;
    fresh.captionOn = session_.captionOn();
    if (fresh.captionOn)
        fresh.caption = row >= 0 ? roster_.PersonText(row, QStringLiteral(" ")) : owner.name;
    fresh.captionColour = session_.captionColour();
    fresh.owner = owner;
    take_ = std::move(fresh);
    ++takeNumber_;
    emit taken();
    emit changed();
    startCheck();

    QString status = session_.manualNaming() ? QStringLiteral("照相已成功，等侍输入保存文件名！")
                                             : QStringLiteral("当前状态: 照相已成功!");
    const QSize pixels = take_->cut.size();
    const QSize target = request.target;
    if (pixels.width() < target.width() || pixels.height() < target.height())
        status += QStringLiteral(" 注意: 取景框内只有%1×%2个摄像头像素，照片将放大到%3×%4")
                      .arg(pixels.width())
                      .arg(pixels.height())
                      .arg(target.width())
                      .arg(target.height());
    if (row >= 0)
        status += renamedNote(owner.name);
    say(status);

    // Two students sharing one file are never offered a replacement; the
    // save says why.
    if (row >= 0 && !ownsItsFile(row)) {
        if (session_.autoSave())
            save();
        return true;
    }
    // An existing photo of the name known now is compared before anything
    // is saved; the save looks at its final name again.
    const PhotoPath file = photopath::filePath(app_.photoFolder(), owner.name);
    if (!owner.name.isEmpty() && file.ok() && safewrite::identityOf(file.path)) {
        openComparison(file.path);
        return true;
    }
    saveIfAutomatic();
    return true;
}

void PhotoService::startCheck()
{
    checking_ = false;
    saveAfterCheck_ = false;
    saveWhenRetouched_ = false;
    retouching_ = false;
    if (!takeReview)
        return;
    const quint64 number = takeNumber_;
    const std::optional<QColor> backdrop = session_.backdropColour();
    checking_ =
        takeReview(take_->cut, backdrop, [this, number](const TakeReview& review) { checkAnswered(number, review); });
    retouching_ = checking_ && backdrop.has_value();
}

void PhotoService::checkAnswered(quint64 takeNumber, const TakeReview& review)
{
    // An answer about an older take, or one no longer to be saved, changes nothing.
    if (takeNumber != takeNumber_ || !hasUnsavedTake())
        return;
    checking_ = false;
    retouching_ = false;
    const bool autoSave = saveAfterCheck_ && session_.autoSave();
    const bool saveByHand = std::exchange(saveWhenRetouched_, false);
    saveAfterCheck_ = false;
    if (!review.photo.isNull()) {
        take_->cut = review.photo;
        emit retouched();
    }
    const bool failed = !review.passed || review.backdropRefused;
    take_->checkFailed = failed;
    emit changed();
    if (saveByHand || (autoSave && !failed)) {
        save();
    } else if (failed && session_.autoSave()) {
        PhotoNotice n;
        n.status = QStringLiteral("，未自动保存");
        n.appendToStatus = true;
        emit notice(n);
    }
}

void PhotoService::saveIfAutomatic()
{
    if (!session_.autoSave())
        return;
    if (checking_)
        saveAfterCheck_ = true;
    else
        save();
}

void PhotoService::discardTake()
{
    if (!take_)
        return;
    take_.reset();
    checking_ = false;
    saveAfterCheck_ = false;
    retouching_ = false;
    saveWhenRetouched_ = false;
    endComparison();
    emit changed();
}

void PhotoService::openComparison(const QString& path)
{
    take_->comparedPath = path;
    take_->compared = safewrite::identityOf(path);
    comparing_ = true;
    emit comparisonOpened(path);
    emit changed();
}

void PhotoService::endComparison()
{
    if (!comparing_)
        return;
    comparing_ = false;
    emit comparisonClosed();
    emit changed();
}

void PhotoService::closeComparison()
{
    endComparison();
}

Result<PhotoService::SaveJob> PhotoService::prepareSave() const
{
    const QString folder = app_.photoFolder();
    SaveJob job;
    job.owner = take_->owner;
    job.takeNumber = takeNumber_;
    if (job.owner.mode == TakeOwner::Mode::RosterRow) {
        job.name = job.owner.name;
    } else if (session_.freeShooting() && !session_.manualNaming()) {
        job.number = nextFreeShotNumber(folder, autoNamePrefix(), session_.freeShotCounter());
        job.name = autoNamePrefix() + QString::number(job.number);
    } else {
        job.name = session_.typedName();
    }
    const PhotoPath file = photopath::filePath(folder, job.name);
    if (!file.ok())
        return failure(file.error);
    if (job.owner.mode == TakeOwner::Mode::RosterRow) {
        const Status alone = ownsItsFile(job.owner.row);
        if (!alone)
            return failure(alone.error());
    }
    PhotoJob& photo = job.photo;
    photo.cut = take_->cut;
    photo.size = take_->size;
    // A free photo's caption is the name it is saved under, typed after the
    // take or not.
    if (take_->captionOn)
        photo.caption = job.owner.mode == TakeOwner::Mode::RosterRow ? take_->caption : job.name;
    photo.captionColour = take_->captionColour;
    photo.quality = session_.quality();
    // The chosen preset's dpi and KB range; 大小上限 narrows its maximum.
    const PhotoPreset& preset = session_.preset();
    photo.dpi = preset.dpi;
    photo.minBytes = preset.kb.minBytes();
    photo.maxBytes = tighterMaximum(preset.kb.maxBytes(), session_.sizeLimit());
    photo.target.path = file.path;
    photo.target.existing = safewrite::Existing::Refuse;
    photo.target.keepFolder = QFileInfo(file.path).absolutePath() + QLatin1Char('/') + replacedFolderName();
    photo.target.when = QDateTime::currentDateTime();
    photo.target.what = QStringLiteral("照片");
    if (!take_->original.isNull()) {
        const QString originals = QFileInfo(file.path).absolutePath() + QLatin1Char('/') + originalsFolderName();
        photo.original = take_->original;
        photo.originalTarget.path = originals + QLatin1Char('/') + QFileInfo(file.path).fileName();
        photo.originalTarget.existing = safewrite::Existing::Replace;
        photo.originalTarget.keepFolder = originals + QLatin1Char('/') + replacedFolderName();
        photo.originalTarget.when = photo.target.when;
        photo.originalTarget.what = QStringLiteral("原图");
    }
    return job;
}

bool PhotoService::save(Choice choice)
{
    if (saving_)
        return false;  // the take is being written already
    if (!hasUnsavedTake())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：没有新拍的照片，请先照相。"));
    if (!session_.targetError().isEmpty())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + session_.targetError());
    if (!session_.sizeLimitError().isEmpty())
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + session_.sizeLimitError());

    // The name, decided now for a free photo, whatever happened since the take.
    Result<SaveJob> job = prepareSave();
    if (!job)
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + job.error());
    session_.setPhotoBaseName(job->name);
    if (const Status folder = ensurePhotoFolder(app_.photoFolder()); !folder)
        return refuse(notSavedStatus, QStringLiteral("照片未保存：") + folder.error());

    if (comparing_ && choice == Choice::KeepExisting) {
        keepExisting();
        return true;
    }
    // The photo with its new backdrop is saved, not the one before it.
    if (retouching_) {
        saveWhenRetouched_ = true;
        say(QStringLiteral("当前状态: 正在更换背景，完成后保存…"));
        return true;
    }
    // A photo there is replaced only after the comparison showed it, and
    // only as it was shown.
    const QString path = job->photo.target.path;
    if (safewrite::identityOf(path)) {
        if (take_->comparedPath != path || !take_->compared) {
            say(QStringLiteral("当前状态: 照片“%1”已存在，请选择保留哪一张").arg(QFileInfo(path).fileName()));
            openComparison(path);
            return false;
        }
        job.value().photo.target.existing = safewrite::Existing::ReplaceIfUnchanged;
        job.value().photo.target.expected = take_->compared;
    }
    write(std::move(job).value());
    return true;
}

void PhotoService::write(SaveJob job)
{
    saving_ = true;
    emit changed();
    if (qint64(job.photo.size.width()) * job.photo.size.height() >= kLargePhotoPixels)
        say(QStringLiteral("当前状态: 正在保存照片…"));
    PhotoJob photo = std::move(job.photo);
    job.photo = PhotoJob();
    job.photo.target = photo.target;
    // Every photo is written off the window's thread: a slow folder never
    // freezes the preview.
    runPhotoJobInBackground(std::move(photo), this, [this, job = std::move(job)](const PhotoWritten& written) {
        saving_ = false;
        finishWrite(job, written);
        emit changed();
    });
}

void PhotoService::finishWrite(const SaveJob& job, const PhotoWritten& files)
{
    const Result<safewrite::Published>& written = files.photo;
    const bool sameTake = hasUnsavedTake() && takeNumber_ == job.takeNumber;
    const QString path = job.photo.target.path;
    const QString fileName = QFileInfo(path).fileName();
    if (!written) {
        // The old photo stays, the roster does not move on and no number is used.
        refuse(QStringLiteral("当前状态: 照片保存失败!"), QStringLiteral("照片保存失败：") + written.error());
        return;
    }
    const safewrite::Published& published = written.value();
    if (!published.written()) {
        if (job.number > 0 && published.outcome == safewrite::Published::Outcome::Exists) {
            // Another station took the number meanwhile: the next one.
            session_.setFreeShotCounter(job.number + 1);
            if (sameTake)
                save();
            return;
        }
        const QString why = published.outcome == safewrite::Published::Outcome::Exists
                                ? QStringLiteral("照片“%1”刚刚已由别处保存，请比较后选择保留哪一张").arg(fileName)
                                : QStringLiteral("照片“%1”在比较后已被改动，请重新比较后选择保留哪一张").arg(fileName);
        if (sameTake) {
            say(QStringLiteral("当前状态: ") + why);
            openComparison(path);
        } else {
            refuse(notSavedStatus, QStringLiteral("照片未保存：") + why);
        }
        return;
    }

    if (sameTake)
        take_->saved = true;
    endComparison();
    SaveReport report;
    report.owner = job.owner;
    report.name = job.name;
    report.path = path;
    report.replacedCopy = published.keptCopy;
    report.written = true;
    lastSave_ = std::make_unique<LastSave>();
    lastSave_->written = published.identity;
    lastSave_->number = job.number;
    if (job.number > 0)
        session_.setFreeShotCounter(job.number + 1);
    session_.setPhotoBaseName(fileName);

    QString status = savedStatus;
    // The roster moves on only while it still shows the student saved.
    if (job.owner.mode == TakeOwner::Mode::RosterRow && roster_.currentRow() == job.owner.row) {
        if (roster_.IsLastRow()) {
            report.lastRow = true;
            status = QStringLiteral("当前状态: 照相可能已完成!");
        } else {
            roster_.AdvanceCurrentRow();
            report.advanced = true;
        }
    }
    movedOnAtMs_ = now();
    report.notes = renamedNote(job.name);
    if (!published.keptCopy.isEmpty())
        report.notes += QStringLiteral(" 原有照片已移到“%1”文件夹").arg(replacedFolderName());
    if (files.original) {
        if (*files.original && files.original->value().written())
            lastSave_->original = files.original->value();
        else if (!*files.original)
            report.notes += QStringLiteral(" 原图未保存：") + files.original->error();
    }
    lastSave_->report = report;
    say(status + report.notes);
    emit saved(report);
    // Shown with its final caption by now; nothing keeps the picture longer.
    if (take_ && takeNumber_ == job.takeNumber)
        take_->cut = QImage();
}

void PhotoService::keepExisting()
{
    // Nothing is written; the take is done with. Only roster mode moves on:
    // free shooting keeps its naming.
    SaveReport report;
    report.owner = take_->owner;
    report.name = take_->owner.name;
    take_->saved = true;
    take_->cut = QImage();
    if (report.owner.mode == TakeOwner::Mode::RosterRow && roster_.currentRow() == report.owner.row &&
        !roster_.IsLastRow()) {
        roster_.AdvanceCurrentRow();
        report.advanced = true;
    }
    movedOnAtMs_ = now();
    endComparison();
    say(savedStatus);
    emit saved(report);
    emit changed();
}

bool PhotoService::undoLastSave()
{
    if (saving_)
        return false;
    if (!lastSave_)
        return refuse(QStringLiteral("当前状态: 没有可撤销的照片"),
                      QStringLiteral("没有可撤销的照片：只能撤销本次保存的最后一张照片。"));
    SaveReport report = lastSave_->report;
    const QString keepFolder = QFileInfo(report.path).absolutePath() + QLatin1Char('/') + replacedFolderName();
    const Result<QString> setAside =
        safewrite::undoWrite(report.path, lastSave_->written, report.replacedCopy, keepFolder,
                             QDateTime::currentDateTime(), QStringLiteral("照片"));
    if (!setAside)
        return refuse(QStringLiteral("当前状态: 撤销失败!"), QStringLiteral("撤销失败：") + setAside.error());
    // The camera original saved with it goes aside too, so it never stands
    // for another student's photo.
    QString originalNote;
    if (const std::optional<safewrite::Published>& original = lastSave_->original) {
        const QString originals = QFileInfo(original->path).absolutePath();
        const Result<QString> aside = safewrite::undoWrite(original->path, original->identity, original->keptCopy,
                                                           originals + QLatin1Char('/') + replacedFolderName(),
                                                           QDateTime::currentDateTime(), QStringLiteral("原图"));
        if (!aside)
            originalNote = QStringLiteral("；") + aside.error();
    }
    const int number = lastSave_->number;
    lastSave_.reset();
    if (number > 0 && session_.freeShotCounter() == number + 1)
        session_.setFreeShotCounter(number);
    // The student whose photo it was comes back in front of the camera.
    movedOnAtMs_ = -1;
    if (report.owner.mode == TakeOwner::Mode::RosterRow) {
        const int row = ownerIndex().rowOf(QFileInfo(report.path).fileName());
        report.owner.row = row;
        if (row >= 0)
            roster_.setCurrentRow(row);
    }
    QString status =
        QStringLiteral("当前状态: 已撤销“%1”（移到“%2”）").arg(QFileInfo(report.path).fileName(), replacedFolderName());
    if (!report.replacedCopy.isEmpty())
        status += QStringLiteral("，旧照片已放回");
    say(status + originalNote);
    emit undone(report);
    emit changed();
    return true;
}
