#include "voicesettingswindow.h"

#include "dialogs.h"
#include "etexttospeech.h"
#include "ui_voicesettingswindow.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace {
const QString noEngineText = QStringLiteral("你的系统尚未安装语音引擎，请下载安装后再设置！");
}

VoiceSettingsWindow::VoiceSettingsWindow(ETextToSpeech& speech, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::VoiceSettingsWindow>())
    , speech_(speech)
{
    ui->setupUi(this);
    // A tool window of its owner: above it, minimised with it, no taskbar entry.
    setWindowFlags(Qt::Tool);

    if (ui->组合框1->currentText().isEmpty())
        ui->编辑框1->setEnabled(false);

    connect(ui->按钮检测, &QPushButton::clicked, this, [this] { detectVoices(); });
    connect(ui->组合框1, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index >= 0)
            speech_.SelectVoice(ui->组合框1->itemText(index));
    });
    connect(ui->滑块条1, &QSlider::valueChanged, this,
            [this](int position) { speech_.SetRate(rateForPosition(position)); });
    connect(ui->滑块条2, &QSlider::valueChanged, this,
            [this](int position) { speech_.SetVolume(volumeForPosition(position)); });
    connect(ui->按钮启动, &QPushButton::clicked, this, [this] { startAnnouncing(); });
    connect(ui->按钮停止, &QPushButton::clicked, this, [this] { stopAnnouncing(); });
    connect(ui->按钮完成, &QPushButton::clicked, this, [this] { hide(); });
}

VoiceSettingsWindow::~VoiceSettingsWindow() = default;

bool VoiceSettingsWindow::speakingOn() const
{
    return ui->编辑框1->isEnabledTo(this) && !ui->按钮启动->isEnabledTo(this);
}

QString VoiceSettingsWindow::pronounceColumnText() const
{
    return ui->编辑框1->text();
}

void VoiceSettingsWindow::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
}

void VoiceSettingsWindow::detectVoices()
{
    const QStringList voices = speech_.ListVoices();
    if (voices.isEmpty()) {
        Dialogs::current().message(noEngineText, dialogtitle::reminder, Dialogs::Icon::Information);
        return;
    }
    for (const QString& voice : voices) {
        ui->组合框1->addItem(voice);
        QCoreApplication::processEvents();
    }
    ui->组合框1->setCurrentIndex(0);
    ui->编辑框1->setEnabled(true);
    ui->按钮启动->setEnabled(true);
}

void VoiceSettingsWindow::startAnnouncing()
{
    if (!ui->编辑框1->isEnabledTo(this))
        return;
    speech_.SelectVoice(ui->组合框1->currentText());
    speech_.SetRate(rateForPosition(ui->滑块条1->value()));
    speech_.SetVolume(volumeForPosition(ui->滑块条2->value()));
    ui->组合框1->setEnabled(false);
    ui->按钮启动->setEnabled(false);
    ui->按钮停止->setEnabled(true);
    speech_.ResumeSpeaking();
}

void VoiceSettingsWindow::stopAnnouncing()
{
    speech_.StopSpeaking();
    ui->按钮启动->setEnabled(true);
    ui->组合框1->setEnabled(true);
}
