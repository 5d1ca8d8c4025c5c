#include "voicecontroller.h"

#include "announce.h"
#include "appstate.h"
#include "besideplacement.h"
#include "framewatch.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "stationcontext.h"
#include "swapconfirmwindow.h"
#include "translabel.h"
#include "voicesettings.h"
#include "voicesettingswindow.h"

#include <QScreen>

const QString VoiceController::noOutputStatus = QStringLiteral("没有可用的声音输出，语音提示已关闭");

VoiceController::VoiceController(StationContext& window, ETextToSpeech& speech)
    : QObject(window.stationWindow())
    , window_(window)
    , settings_(new VoiceSettings(speech, this))
{
    auto* speaker = window_.stationWindow()->findChild<MouseLabel*>(QStringLiteral("图片框1"));
    connect(speaker, &MouseLabel::rightReleased, this, [this] { toggleSettingsWindow(); });
    // Said once when the output goes; announcing resumes by itself when it is back.
    connect(settings_, &VoiceSettings::outputAvailableChanged, this, [this](bool available) {
        window_.appState().setSoundOutputAvailable(available);
        if (!available)
            window_.setStatus(noOutputStatus);
    });
    // The voice reads the name shown beside the photo name (the display
    // column) until the operator picks a column of its own.
    followDisplayColumn(window_.rosterState().displayNameColumn());
    connect(&window_.rosterState(), &RosterState::displayNameColumnChanged, this,
            &VoiceController::followDisplayColumn);
    connect(settings_, &VoiceSettings::changed, this, [this] {
        if (!settingColumn_ && settings_->pronounceColumn() != followedColumn_)
            followingDisplay_ = false;
    });
    // Showing a row of a non-empty roster announces it.
    if (RosterController* roster = window_.roster())
        roster->announceRow = [this](int row) { announceRow(row); };
}

void VoiceController::followDisplayColumn(int column)
{
    if (!followingDisplay_ || column < 0 || column > 2)
        return;
    followedColumn_ = column;
    settingColumn_ = true;
    settings_->setPronounceColumnText(QString::number(column + 1));
    settingColumn_ = false;
}

void VoiceController::toggleSettingsWindow()
{
    if (!settingsWindow_) {
        settingsWindow_ = new VoiceSettingsWindow(*settings_, window_.stationWindow());
        // Its frame is known once shown; it is placed again then.
        new FrameWatch(settingsWindow_, [this] { placeSettingsWindow(); });
    } else if (settingsWindow_->isVisible()) {
        settingsWindow_->hide();
        return;
    }
    placeSettingsWindow();
    settingsWindow_->show();
}

void VoiceController::placeSettingsWindow()
{
    // Beside the main window, so that the roster and its buttons stay in
    // view, and clear of the banner when it is shown under the main window.
    QList<QRect> occupied;
    if (window_.swapWindow() && window_.swapWindow()->isVisible())
        occupied << window_.swapWindow()->frameGeometry();
    const QRect screen = window_.stationWindow()->screen()->availableGeometry();
    settingsWindow_->move(placeBeside(window_.stationWindow()->frameGeometry(), settingsWindow_->frameGeometry().size(),
                                      screen, occupied));
}

bool VoiceController::announceRow(int row)
{
    const auto* list = window_.stationWindow()->findChild<RosterListView*>(QStringLiteral("超级列表框1"));
    const RosterModel* roster = list->roster();
    return AnnounceRow(window_.appState().soundOn(), *settings_,
                       [roster, row](int column) { return roster->cell(row, column); });
}

bool VoiceController::announceCurrentRow()
{
    const auto* list = window_.stationWindow()->findChild<RosterListView*>(QStringLiteral("超级列表框1"));
    if (list->rowCount() < 1)
        return false;
    return announceRow(list->currentRow());
}
