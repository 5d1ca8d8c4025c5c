#include "appstate.h"

void AppState::setSoundOn(bool on)
{
    if (soundOn_ == on)
        return;
    soundOn_ = on;
    emit soundOnChanged(on);
}

void AppState::setSoundOutputAvailable(bool available)
{
    if (soundOutputAvailable_ == available)
        return;
    soundOutputAvailable_ = available;
    emit soundOutputAvailableChanged(available);
}

void AppState::setPhotoFolder(const QString& folder)
{
    if (photoFolder_ == folder)
        return;
    photoFolder_ = folder;
    emit photoFolderChanged(folder);
}

void AppState::setWindowAlpha(int alpha)
{
    if (windowAlpha_ == alpha)
        return;
    windowAlpha_ = alpha;
    emit windowAlphaChanged(alpha);
}
