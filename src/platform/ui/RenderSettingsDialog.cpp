#include "platform/ui/RenderSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace tintreel {
namespace {

// Codec entries: "Automatic" (the container's default), then one per codec a user picks.
constexpr std::array<VideoCodec, 3> kCodecChoices{VideoCodec::H264, VideoCodec::H265, VideoCodec::AV1};
// Output size entries after "Source", before "Custom height".
constexpr std::array<int, 4> kHeightChoices{2160, 1080, 720, 480};
constexpr int kCustomQuality = 3;  // after High, Standard, Small
constexpr int kLargestHeight = 8640;
// The file size box counts megabytes of 10^6 bytes, as the command line's M does.
constexpr double kBytesPerMegabyte = 1e6;
constexpr double kDefaultMegabytes = 8.0;

QComboBox* comboBox(QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

QSpinBox* spinBox(QWidget* parent, const char* name, int minimum, int maximum) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    return box;
}

// A choice and the number box it enables, on one row.
QWidget* pair(QWidget* parent, QWidget* choice, QWidget* detail) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(choice, 1);
    layout->addWidget(detail);
    return row;
}

}  // namespace

RenderSettingsDialog::RenderSettingsDialog(const RenderSettings& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Render Settings"));
    setObjectName(QStringLiteral("renderSettingsDialog"));
    buildControls();
    setSettings(initial);
}

void RenderSettingsDialog::buildControls() {
    QStringList codecs{tr("Automatic (H.264; VP9 in WebM)")};
    for (VideoCodec codec : kCodecChoices) codecs << QString::fromUtf8(codecLabel(codec).data());
    codec_ = comboBox(this, "comboCodec", codecs);
    quality_ = comboBox(this, "comboQuality",
                        {tr("High (visually transparent)"), tr("Standard"), tr("Small"), tr("Custom CRF")});
    crf_ = spinBox(this, "spinCrf", 0, 51);
    crfScale_ = new QLabel(this);
    speed_ = comboBox(this, "comboSpeed", {tr("Faster"), tr("Balanced"), tr("Smaller file")});
    QStringList sizes{tr("Source")};
    for (int height : kHeightChoices) sizes << tr("%1p").arg(height);
    sizes << tr("Custom height");
    size_ = comboBox(this, "comboOutputSize", sizes);
    height_ = spinBox(this, "spinHeight", 2, kLargestHeight);
    height_->setSuffix(tr(" px"));
    QStringList presets{tr("None")};
    for (const OutputPreset& preset : outputPresets()) presets << QString::fromUtf8(preset.label.data(), preset.label.size());
    preset_ = comboBox(this, "comboOutputPreset", presets);
    fit_ = new QCheckBox(tr("&Fit in"), this);
    fit_->setObjectName(QStringLiteral("checkFitSize"));
    megabytes_ = new QDoubleSpinBox(this);
    megabytes_->setObjectName(QStringLiteral("spinFitMegabytes"));
    megabytes_->setRange(0.1, 100000.0);
    megabytes_->setDecimals(1);
    megabytes_->setSuffix(tr(" MB"));
    // One width for both number boxes keeps the combo boxes beside them aligned.
    for (QSpinBox* box : {crf_, height_}) box->setFixedWidth(height_->sizeHint().width());

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->addRow(tr("&Codec:"), codec_);
    form->addRow(tr("&Quality:"), pair(this, quality_, crf_));
    form->addRow(QString(), crfScale_);
    form->addRow(tr("&Speed:"), speed_);
    form->addRow(tr("Output &size:"), pair(this, size_, height_));
    form->addRow(tr("&Preset:"), preset_);
    form->addRow(tr("File size:"), pair(this, fit_, megabytes_));
    auto* note = new QLabel(tr("Movies are only scaled down, keeping their shape. A preset gives the movie "
                               "its shape (unless the look's Reframe chose one) and exactly its size, scaling "
                               "up; an output size other than Source wins over the preset's. The speed trades "
                               "encoding time against file size. A file size (1 MB = 1,000,000 bytes) sets the "
                               "quality itself: H.264 and H.265 are encoded twice to meet it."),
                            this);
    note->setWordWrap(true);
    note->setEnabled(false);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { setSettings({}); });
    for (QComboBox* box : {codec_, quality_, size_})
        connect(box, &QComboBox::currentIndexChanged, this, &RenderSettingsDialog::updateDependentControls);
    connect(fit_, &QCheckBox::toggled, this, &RenderSettingsDialog::updateDependentControls);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

// The CRF box follows the codec's scale and is used only for a custom quality;
// the height box only for a custom size; a file size takes the quality's place.
void RenderSettingsDialog::updateDependentControls() {
    const bool av1 =
        codec_->currentIndex() > 0 && kCodecChoices[codec_->currentIndex() - 1] == VideoCodec::AV1;
    crf_->setMaximum(av1 ? 63 : 51);
    const bool customQuality = quality_->currentIndex() == kCustomQuality;
    quality_->setEnabled(!fit_->isChecked());
    crf_->setEnabled(customQuality && !fit_->isChecked());
    megabytes_->setEnabled(fit_->isChecked());
    crfScale_->setVisible(customQuality);
    crfScale_->setText(av1 ? tr("0 is lossless, 63 the smallest file")
                           : tr("0 is lossless, 51 the smallest file"));
    height_->setEnabled(size_->currentIndex() == size_->count() - 1);
}

RenderSettings RenderSettingsDialog::settings() const {
    RenderSettings settings;
    if (codec_->currentIndex() > 0) settings.codec = kCodecChoices[codec_->currentIndex() - 1];
    if (quality_->currentIndex() == kCustomQuality)
        settings.quality = Quality{crf_->value()};
    else
        settings.quality = Quality{static_cast<QualityLevel>(quality_->currentIndex())};
    settings.speed = static_cast<EncodeSpeed>(speed_->currentIndex());
    const int size = size_->currentIndex();
    if (size > 0)
        settings.maxHeight =
            size <= static_cast<int>(kHeightChoices.size()) ? kHeightChoices[size - 1] : height_->value();
    if (preset_->currentIndex() > 0)
        settings.preset = &outputPresets()[static_cast<std::size_t>(preset_->currentIndex() - 1)];
    if (fit_->isChecked())
        settings.maxBytes = static_cast<long long>(std::llround(megabytes_->value() * kBytesPerMegabyte));
    return settings;
}

void RenderSettingsDialog::setSettings(const RenderSettings& settings) {
    const auto codec = std::find(kCodecChoices.begin(), kCodecChoices.end(), settings.codec);
    codec_->setCurrentIndex(settings.codec && codec != kCodecChoices.end()
                                ? static_cast<int>(codec - kCodecChoices.begin()) + 1
                                : 0);
    if (const int* crf = std::get_if<int>(&settings.quality.value)) {
        quality_->setCurrentIndex(kCustomQuality);
        crf_->setValue(*crf);
    } else {
        quality_->setCurrentIndex(static_cast<int>(std::get<QualityLevel>(settings.quality.value)));
        crf_->setValue(encoderSetup(settings.codec.value_or(VideoCodec::H264), settings).crf);
    }
    speed_->setCurrentIndex(static_cast<int>(settings.speed));
    const auto preset = std::find(kHeightChoices.begin(), kHeightChoices.end(), settings.maxHeight);
    if (settings.maxHeight <= 0)
        size_->setCurrentIndex(0);
    else if (preset != kHeightChoices.end())
        size_->setCurrentIndex(static_cast<int>(preset - kHeightChoices.begin()) + 1);
    else
        size_->setCurrentIndex(size_->count() - 1);
    height_->setValue(settings.maxHeight > 0 ? settings.maxHeight : 1080);
    const auto presets = outputPresets();
    const auto chosen = std::find_if(presets.begin(), presets.end(),
                                     [&](const OutputPreset& p) { return &p == settings.preset; });
    preset_->setCurrentIndex(chosen == presets.end() ? 0 : static_cast<int>(chosen - presets.begin()) + 1);
    fit_->setChecked(settings.maxBytes > 0);
    megabytes_->setValue(settings.maxBytes > 0 ? static_cast<double>(settings.maxBytes) / kBytesPerMegabyte
                                               : kDefaultMegabytes);
    updateDependentControls();
}

}  // namespace tintreel
