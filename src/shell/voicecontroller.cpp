#include "voicecontroller.h"

#include "announce.h"
#include "mainwindow.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "rostermodel.h"
#include "translabel.h"
#include "voicesettings.h"
#include "voicesettingswindow.h"

const QString VoiceController::noOutputStatus = QStringLiteral("语音输出不可用…");

VoiceController::VoiceController(MainWindow& window, ETextToSpeech& speech)
    : QObject(&window)
    , window_(window)
    , settings_(new VoiceSettings(speech, this))
{
    auto* speaker = window_.findChild<MouseLabel*>(QStringLiteral("图片框1"));
    connect(speaker, &MouseLabel::rightReleased, this, [this] { toggleSettingsWindow(); });
    // Said once when the output goes; announcing resumes by itself when it is back.
    connect(settings_, &VoiceSettings::outputAvailableChanged, this, [this](bool available) {
        if (!available)
            window_.setStatus(noOutputStatus);
    });
    // Showing a row of a non-empty roster announces it.
    if (RosterController* roster = window_.roster())
        roster->announceRow = [this](int row) { announceRow(row); };
}

void VoiceController::toggleSettingsWindow()
{
    if (!settingsWindow_) {
        settingsWindow_ = new VoiceSettingsWindow(*settings_, &window_);
        // It opens beside the speaker it belongs to, over the bottom-left of the window.
        const QRect main = window_.frameGeometry();
        settingsWindow_->move(main.left() + 8, main.bottom() - settingsWindow_->frameGeometry().height() - 40);
        settingsWindow_->show();
        return;
    }
    settingsWindow_->setVisible(!settingsWindow_->isVisible());
}

bool VoiceController::announceRow(int row)
{
    const auto* list = window_.findChild<RosterListView*>(QStringLiteral("超级列表框1"));
    const RosterModel* roster = list->roster();
    return AnnounceRow(window_.state.soundOn, *settings_, [roster, row](int column) { return roster->cell(row, column); });
}

bool VoiceController::announceCurrentRow()
{
    const auto* list = window_.findChild<RosterListView*>(QStringLiteral("超级列表框1"));
    if (list->rowCount() < 1)
        return false;
    return announceRow(list->currentRow());
}
