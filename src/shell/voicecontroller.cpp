#include "voicecontroller.h"

#include "announce.h"
#include "besideplacement.h"
#include "framewatch.h"
#include "mainwindow.h"
#include "rostercontroller.h"
#include "rosterlistview.h"
#include "swapconfirmwindow.h"
#include "translabel.h"
#include "ui_mainwindow.h"
#include "voicesettingswindow.h"

#include <QScreen>

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
        // Its frame is known once shown; it is placed again then.
        new FrameWatch(settings_, [this] { placeSettingsWindow(); });
    } else if (settings_->isVisible()) {
        settings_->hide();
        return;
    }
    placeSettingsWindow();
    settings_->show();
}

void VoiceController::placeSettingsWindow()
{
    // Beside the main window, so that the roster and its buttons stay in
    // view, and clear of the banner when it is shown under the main window.
    QList<QRect> occupied;
    if (window_.swapWindow() && window_.swapWindow()->isVisible())
        occupied << window_.swapWindow()->frameGeometry();
    const QRect screen = window_.screen()->availableGeometry();
    settings_->move(placeBeside(window_.frameGeometry(), settings_->frameGeometry().size(), screen, occupied));
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
