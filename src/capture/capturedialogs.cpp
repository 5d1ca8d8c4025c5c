#include "capturedialogs.h"

#include "v4l2device.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("图像尺寸和格式："), this));
    layout->addWidget(list_);
    layout->addWidget(okCancel(this));
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

CaptureFormat FormatDialog::selectedFormat() const
{
    const int row = list_->currentRow();
    return row >= 0 && row < formats_.size() ? formats_[row] : CaptureFormat{};
}

SourceControlsDialog::SourceControlsDialog(const QString& devicePath, QWidget* parent)
    : QDialog(parent)
    , controls_(std::make_unique<v4l2::ControlSet>(devicePath))
{
    setWindowTitle(QStringLiteral("图像参数"));
    auto* form = new QFormLayout;
    auto* status = new QLabel(this);
    auto apply = [this, status](quint32 id, int value) {
        const Status r = controls_->set(id, value);
        status->setText(r.error());
    };
    for (const v4l2::Control& c : controls_->controls()) {
        QWidget* w = nullptr;
        if (c.kind == v4l2::Control::Kind::Boolean) {
            auto* box = new QCheckBox(this);
            box->setChecked(c.value != 0);
            connect(box, &QCheckBox::toggled, this, [apply, id = c.id](bool on) { apply(id, on ? 1 : 0); });
            w = box;
        } else if (c.kind == v4l2::Control::Kind::Menu) {
            auto* box = new QComboBox(this);
            for (const auto& [index, text] : c.menu) {
                box->addItem(text, index);
                if (index == c.value)
                    box->setCurrentIndex(box->count() - 1);
            }
            connect(box, &QComboBox::currentIndexChanged, this,
                    [apply, box, id = c.id](int) { apply(id, box->currentData().toInt()); });
            w = box;
        } else {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setRange(c.minimum, c.maximum);
            slider->setSingleStep(c.step);
            slider->setValue(c.value);
            connect(slider, &QSlider::valueChanged, this, [apply, id = c.id](int v) { apply(id, v); });
            w = slider;
        }
        w->setObjectName(c.name);
        form->addRow(c.name, w);
        ++count_;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(close);
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
