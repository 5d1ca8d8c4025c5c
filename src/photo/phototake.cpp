#include "phototake.h"

void PhotoSession::setTake(Take take)
{
    take_ = std::move(take);
    ++takeNumber_;
    emit changed();
}

void PhotoSession::markCheckFailed()
{
    if (!take_ || take_->checkFailed)
        return;
    take_->checkFailed = true;
    emit changed();
}

void PhotoSession::setSizeLimit(qint64 bytes, const QString& error)
{
    sizeLimit_ = bytes;
    sizeLimitError_ = error;
}

void PhotoSession::discardTake()
{
    if (!take_)
        return;
    take_.reset();
    emit changed();
}

void PhotoSession::setComparedPath(const QString& path)
{
    if (take_)
        take_->comparedPath = path;
}

void PhotoSession::markSaved()
{
    if (!take_)
        return;
    take_->saved = true;
    take_->cut = QImage();
    emit changed();
}

void PhotoSession::setSaving(bool saving)
{
    if (saving_ == saving)
        return;
    saving_ = saving;
    emit changed();
}

void PhotoSession::setFreeShotCounter(int n)
{
    freeShotCounter_ = n;
}

void PhotoSession::setFreeShooting(bool on)
{
    if (freeShooting_ == on)
        return;
    freeShooting_ = on;
    emit changed();
}

void PhotoSession::setManualNaming(bool on)
{
    if (manualNaming_ == on)
        return;
    manualNaming_ = on;
    emit changed();
}

void PhotoSession::setAutoSave(bool on)
{
    if (autoSave_ == on)
        return;
    autoSave_ = on;
    emit changed();
}

void PhotoSession::setCaptionOn(bool on)
{
    if (captionOn_ == on)
        return;
    captionOn_ = on;
    emit changed();
}
