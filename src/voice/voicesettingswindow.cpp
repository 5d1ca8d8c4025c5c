#include "voicesettingswindow.h"

#include "dialogs.h"
#include "ui_voicesettingswindow.h"
#include "voicesettings.h"

#include <QCloseEvent>
#include <QSignalBlocker>

VoiceSettingsWindow::VoiceSettingsWindow(VoiceSettings& settings, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::VoiceSettingsWindow>())
    , settings_(settings)
{
    ui->setupUi(this);
    // A tool window of its owner: above it, minimised with it, no taskbar entry.
    setWindowFlags(Qt::Tool);
    render();

    connect(&settings_, &VoiceSettings::changed, this, &VoiceSettingsWindow::render);
    connect(ui->按钮检测, &QPushButton::clicked, this, [this] {
        const Status detected = settings_.detectVoices();
        if (!detected)
            Dialogs::current().message(detected.error(), dialogtitle::reminder, Dialogs::Icon::Information);
    });
    connect(ui->组合框1, qOverload<int>(&QComboBox::currentIndexChanged), &settings_, &VoiceSettings::chooseVoice);
    connect(ui->滑块条1, &QSlider::valueChanged, &settings_, &VoiceSettings::setRatePosition);
    connect(ui->滑块条2, &QSlider::valueChanged, &settings_, &VoiceSettings::setVolumePosition);
    connect(ui->编辑框1, &QSpinBox::textChanged, &settings_, &VoiceSettings::setPronounceColumnText);
    connect(ui->选择框1, &QCheckBox::toggled, &settings_, &VoiceSettings::setOnlyCurrent);
    connect(ui->按钮启动, &QPushButton::clicked, &settings_, &VoiceSettings::start);
    connect(ui->按钮停止, &QPushButton::clicked, &settings_, &VoiceSettings::stop);
    connect(ui->按钮完成, &QPushButton::clicked, this, &QWidget::hide);
}

VoiceSettingsWindow::~VoiceSettingsWindow() = default;

void VoiceSettingsWindow::render()
{
    // Showing the state must not send it back as the operator's intent.
    const QSignalBlocker blockCombo(ui->组合框1);
    const QSignalBlocker blockRate(ui->滑块条1);
    const QSignalBlocker blockVolume(ui->滑块条2);
    const QSignalBlocker blockColumn(ui->编辑框1);
    const QSignalBlocker blockOnly(ui->选择框1);

    const QStringList voices = settings_.voices();
    // Detection only appends, so the box takes the new descriptions at its end.
    for (int i = ui->组合框1->count(); i < voices.size(); ++i)
        ui->组合框1->addItem(voices[i]);
    ui->组合框1->setCurrentIndex(settings_.voiceIndex());
    ui->组合框1->setEnabled(!settings_.speakingOn());
    ui->滑块条1->setValue(settings_.ratePosition());
    ui->滑块条2->setValue(settings_.volumePosition());
    ui->编辑框1->setEnabled(settings_.ready());
    if (settings_.pronounceColumn() >= 0)
        ui->编辑框1->setValue(settings_.pronounceColumn() + 1);
    ui->按钮启动->setEnabled(settings_.ready() && !settings_.speakingOn());
    ui->按钮停止->setEnabled(settings_.stopAvailable());
    ui->选择框1->setChecked(settings_.onlyCurrent());
}

void VoiceSettingsWindow::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
}
