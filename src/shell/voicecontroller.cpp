#include "voicecontroller.h"

#include "announce.h"
#include "mainwindow.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "translabel.h"
#include "ui_mainwindow.h"
#include "voicesettingswindow.h"

VoiceController::VoiceController(MainWindow& window, ETextToSpeech& speech)
    : QObject(&window)
    , window_(window)
    , speech_(speech)
{
    connect(window_.ui->图片框1, &MouseLabel::rightReleased, this, [this] { toggleSettingsWindow(); });
    // Showing a row of a non-empty roster announces it.
    if (RosterController* roster = window_.roster())
        roster->announceRow = [this](int row) { announceRow(row); };
}

void VoiceController::toggleSettingsWindow()
{
    if (!settings_) {
        settings_ = new VoiceSettingsWindow(speech_, &window_);
        // It opens beside the speaker it belongs to, over the bottom-left of the window.
        const QRect main = window_.frameGeometry();
        settings_->move(main.left() + 8, main.bottom() - settings_->frameGeometry().height() - 40);
        settings_->show();
        return;
    }
    settings_->setVisible(!settings_->isVisible());
}

bool VoiceController::announceRow(int row)
{
    return AnnounceRow(window_.state.soundOn, settings_, *window_.ui->超级列表框1->roster(), row);
}

bool VoiceController::announceCurrentRow()
{
    const RosterListView* list = window_.ui->超级列表框1;
    if (list->rowCount() < 1)
        return false;
    return announceRow(list->currentRow());
}
