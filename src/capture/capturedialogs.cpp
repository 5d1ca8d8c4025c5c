#include "capturedialogs.h"

#include "dialogs.h"
#include "formatrule.h"
#include "stationsettings.h"
#include "v4l2device.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace capture {

namespace {
DialogRunner& runnerSlot()
{
    static DialogRunner r;
    return r;
}

QDialogButtonBox* okCancel(QDialog* d)
{
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return b;
}
}  // namespace

void setDialogRunner(DialogRunner runner)
{
    runnerSlot() = std::move(runner);
}

int runDialog(QDialog& dialog)
{
    return runnerSlot() ? runnerSlot()(dialog) : dialog.exec();
}

FormatDialog::FormatDialog(const QList<CaptureFormat>& formats, const CaptureFormat& current, QWidget* parent)
    : QDialog(parent)
    , formats_(formats)
    , list_(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("设置视频"));
    list_->setObjectName(QStringLiteral("formats"));
    for (const CaptureFormat& f : formats)
        list_->addItem(f.label());
    const int at = int(formats.indexOf(current));
    list_->setCurrentRow(at >= 0 ? at : 0);
    mirror_ = new QCheckBox(QStringLiteral("镜像预览（照片和录像不镜像）"), this);
    mirror_->setObjectName(QStringLiteral("镜像预览"));
    bestMode_ = new QCheckBox(QStringLiteral("拍照使用最高分辨率"), this);
    bestMode_->setObjectName(QStringLiteral("拍照使用最高分辨率"));
    bestMode_->setToolTip(QStringLiteral("照相时切换到相机的最大尺寸取一张，再切换回来（预览会黑一下）"));
    bestMode_->setVisible(!formats.isEmpty());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(formats.isEmpty() ? QStringLiteral("这个视频来源没有可选的图像格式。")
                                                   : QStringLiteral("图像尺寸和格式："),
                                 this));
    layout->addWidget(list_);
    list_->setVisible(!formats.isEmpty());
    layout->addWidget(mirror_);
    layout->addWidget(bestMode_);
    layout->addWidget(okCancel(this));
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

bool FormatDialog::mirrored() const
{
    return mirror_->isChecked();
}

void FormatDialog::setMirrored(bool on)
{
    mirror_->setChecked(on);
}

bool FormatDialog::stillFromBestMode() const
{
    return bestMode_->isChecked();
}

void FormatDialog::setStillFromBestMode(bool on)
{
    bestMode_->setChecked(on);
}

namespace {
const QString kRecentKey = QStringLiteral("recentAddresses");
}

QStringList recentAddresses()
{
    return stationsettings::open().value(kRecentKey).toStringList();
}

void rememberAddress(const QString& address)
{
    const QString a = address.trimmed();
    if (a.isEmpty())
        return;
    QStringList list = recentAddresses();
    list.removeAll(a);
    list.prepend(a);
    QSettings s = stationsettings::open();
    s.setValue(kRecentKey, list.mid(0, 10));
}

AddressDialog::AddressDialog(const QStringList& recent, QWidget* parent)
    : QDialog(parent)
    , address_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("网络摄像头或文件…"));
    address_->setObjectName(QStringLiteral("address"));
    address_->setEditable(true);
    address_->addItems(recent);
    address_->setMinimumWidth(420);
    auto* file = new QPushButton(QStringLiteral("文件…"), this);
    file->setObjectName(QStringLiteral("文件…"));
    auto* folder = new QPushButton(QStringLiteral("文件夹…"), this);
    folder->setObjectName(QStringLiteral("文件夹…"));
    connect(file, &QPushButton::clicked, this, [this] {
        const QString path = Dialogs::current().openFile(
            QStringLiteral("选择图片或视频文件"),
            QStringLiteral("图片或视频 (*.jpg *.jpeg *.png *.bmp *.mp4 *.avi *.mkv *.mov);;所有文件 (*)"), QString());
        if (!path.isEmpty())
            setAddress(path);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString path =
            Dialogs::current().chooseFolder(QStringLiteral("选择相机软件保存照片的文件夹（热文件夹）"), QString());
        if (!path.isEmpty())
            setAddress(path);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(address_, 1);
    row->addWidget(file);
    row->addWidget(folder);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("网络摄像头的地址（http://、https://、rtsp://），或一个图片、视频文件，"
                                                "或相机软件保存照片的文件夹："),
                                 this));
    layout->addLayout(row);
    layout->addWidget(okCancel(this));
}

QString AddressDialog::address() const
{
    return address_->currentText().trimmed();
}

void AddressDialog::setAddress(const QString& text)
{
    address_->setCurrentText(text);
}

CaptureFormat FormatDialog::selectedFormat() const
{
    const int row = list_->currentRow();
    return row >= 0 && row < formats_.size() ? formats_[row] : CaptureFormat{};
}

struct SourceControlsDialog::Row {
    quint32 id = 0;
    QString label;
    QSlider* slider = nullptr;
    QCheckBox* check = nullptr;
    QComboBox* menu = nullptr;
    QLabel* value = nullptr;
    QLabel* caption = nullptr;
};

SourceControlsDialog::SourceControlsDialog(const QString& devicePath, QWidget* parent)
    : SourceControlsDialog(devicePath, QString(), parent)
{
}

SourceControlsDialog::SourceControlsDialog(const QString& devicePath, const QString& cameraIdentity, QWidget* parent)
    : QDialog(parent)
    , identity_(cameraIdentity)
    , controls_(std::make_unique<v4l2::ControlSet>(devicePath))
    , status_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("图像参数"));
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    auto* form = new QFormLayout;
    for (const v4l2::Control& c : controls_->controls()) {
        auto row = std::make_shared<Row>();
        row->id = c.id;
        row->label = c.label;
        QWidget* w = nullptr;
        if (c.kind == v4l2::Control::Kind::Boolean) {
            row->check = new QCheckBox(this);
            connect(row->check, &QCheckBox::toggled, this, [this, id = c.id](bool on) { apply(id, on ? 1 : 0); });
            w = row->check;
        } else if (c.kind == v4l2::Control::Kind::Menu) {
            row->menu = new QComboBox(this);
            for (const auto& [index, text] : c.menu)
                row->menu->addItem(text, index);
            connect(row->menu, &QComboBox::currentIndexChanged, this,
                    [this, box = row->menu, id = c.id](int) { apply(id, box->currentData().toInt()); });
            w = row->menu;
        } else {
            row->slider = new QSlider(Qt::Horizontal, this);
            row->slider->setRange(c.minimum, c.maximum);
            row->slider->setSingleStep(c.step);
            row->slider->setPageStep(std::max(c.step, (c.maximum - c.minimum) / 10));
            row->value = new QLabel(this);
            row->value->setObjectName(c.name + QStringLiteral("/value"));
            row->value->setMinimumWidth(fontMetrics().horizontalAdvance(QString::number(c.maximum)) + 8);
            connect(row->slider, &QSlider::valueChanged, this, [this, id = c.id](int v) { apply(id, v); });
            auto* line = new QWidget(this);
            auto* h = new QHBoxLayout(line);
            h->setContentsMargins(0, 0, 0, 0);
            h->addWidget(row->slider, 1);
            h->addWidget(row->value);
            w = line;
        }
        (row->slider ? static_cast<QWidget*>(row->slider) : w)->setObjectName(c.name);
        row->caption = new QLabel(c.label, this);
        form->addRow(row->caption, w);
        rows_.append(row);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* defaults = buttons->addButton(QStringLiteral("恢复默认"), QDialogButtonBox::ResetRole);
    defaults->setObjectName(QStringLiteral("恢复默认"));
    lock_ = buttons->addButton(QStringLiteral("锁定曝光/白平衡/对焦"), QDialogButtonBox::ActionRole);
    lock_->setObjectName(QStringLiteral("锁定曝光/白平衡/对焦"));
    lock_->setCheckable(true);
    lock_->setToolTip(QStringLiteral("关闭自动曝光、自动白平衡和自动对焦，保持现在的值；再按一次恢复自动"));
    connect(lock_, &QPushButton::clicked, this, &SourceControlsDialog::lock);
    connect(defaults, &QPushButton::clicked, this, &SourceControlsDialog::restoreDefaults);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(buttons);
    reread();
}

void SourceControlsDialog::apply(quint32 id, int value)
{
    const Status r = controls_->set(id, value);
    if (r)
        rememberControls(identity_, {{id, value}});
    QString label;
    for (const auto& row : rows_)
        if (row->id == id)
            label = row->label;
    status_->setText(r ? QString() : QStringLiteral("“%1”没有改变：%2").arg(label, r.error()));
    reread();
}

void SourceControlsDialog::restoreDefaults()
{
    const Status r = controls_->restoreDefaults();
    forgetControls(identity_);
    status_->setText(r ? QString() : QStringLiteral("有的参数没有恢复：%1").arg(r.error()));
    reread();
}

void SourceControlsDialog::lock(bool on)
{
    const auto written = controls_->lockAutomatic(on);
    if (written)
        rememberControls(identity_, written.value());
    status_->setText(written ? QString()
                             : QStringLiteral("没有全部%1：%2")
                                   .arg(on ? QStringLiteral("锁定") : QStringLiteral("恢复自动"), written.error()));
    reread();
}

// The camera is the truth: values it refused or changed by itself, and which
// controls apply at the moment, are shown as it tells them.
void SourceControlsDialog::reread()
{
    {
        const QSignalBlocker quiet(lock_);
        lock_->setChecked(controls_->automaticLocked());
    }
    const QList<v4l2::Control> now = controls_->controls();
    for (const auto& row : rows_) {
        const auto it = std::find_if(now.begin(), now.end(), [&](const v4l2::Control& c) { return c.id == row->id; });
        if (it == now.end())
            continue;
        const QSignalBlocker a(row->slider), b(row->check), c(row->menu);
        if (row->slider) {
            row->slider->setValue(it->value);
            row->value->setText(QString::number(it->value));
            row->slider->setEnabled(!it->inactive);
            row->value->setEnabled(!it->inactive);
        } else if (row->check) {
            row->check->setChecked(it->value != 0);
            row->check->setEnabled(!it->inactive);
        } else if (row->menu) {
            row->menu->setCurrentIndex(row->menu->findData(it->value));
            row->menu->setEnabled(!it->inactive);
        }
        row->caption->setEnabled(!it->inactive);
    }
}

SourceControlsDialog::~SourceControlsDialog() = default;

CompressionDialog::CompressionDialog(const CompressionSettings& current, QWidget* parent)
    : QDialog(parent)
    , codec_(new QComboBox(this))
    , quality_(new QSpinBox(this))
{
    setWindowTitle(QStringLiteral("视频压缩"));
    codec_->setObjectName(QStringLiteral("codec"));
    quality_->setObjectName(QStringLiteral("quality"));
    const QList<AviCodecChoice> codecs = availableAviCodecs();
    for (const AviCodecChoice& c : codecs) {
        codec_->addItem(c.label, c.name);
        if (c.name == current.codec)
            codec_->setCurrentIndex(codec_->count() - 1);
    }
    quality_->setRange(1, 100);
    quality_->setValue(current.quality);
    auto syncQuality = [this, codecs] {
        const int i = codec_->currentIndex();
        quality_->setEnabled(i >= 0 && i < codecs.size() && codecs[i].usesQuality);
    };
    connect(codec_, &QComboBox::currentIndexChanged, this, syncQuality);
    syncQuality();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("压缩程序："), codec_);
    form->addRow(QStringLiteral("压缩质量："), quality_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

CompressionSettings CompressionDialog::settings() const
{
    CompressionSettings s;
    s.codec = codec_->currentData().toString();
    s.quality = quality_->value();
    return s;
}

}  // namespace capture
