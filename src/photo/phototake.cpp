#include "phototake.h"

void PhotoSession::setTypedName(const QString& name)
{
    if (typedName_ == name)
        return;
    typedName_ = name;
    emit changed();
}

void PhotoSession::setSizeLimit(qint64 bytes, const QString& error)
{
    sizeLimit_ = bytes;
    sizeLimitError_ = error;
}

void PhotoSession::setTargetError(const QString& error)
{
    targetError_ = error;
}

void PhotoSession::setPreset(const PhotoPreset& preset)
{
    preset_ = preset;
    emit changed();
}

void PhotoSession::setKeepOriginal(bool on)
{
    if (keepOriginal_ == on)
        return;
    keepOriginal_ = on;
    emit changed();
}

void PhotoSession::setReplaceBackdrop(bool on)
{
    if (replaceBackdrop_ == on)
        return;
    replaceBackdrop_ = on;
    emit changed();
}

std::optional<QColor> PhotoSession::backdropColour() const
{
    if (!replaceBackdrop_)
        return std::nullopt;
    return preset_.background;
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
