#pragma once
// The Render Settings dialog: the codec, quality, speed, output size and
// output preset and file size of the final movie (see RenderSettings.h). It only edits a value: the caller
// decides where the value goes and whether it is remembered.
//
// GUI thread only; owned by its Qt parent.

#include <QDialog>

#include "platform/media/RenderSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace tintreel {

class RenderSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit RenderSettingsDialog(const RenderSettings& initial, QWidget* parent = nullptr);

    RenderSettings settings() const;
    void setSettings(const RenderSettings& settings);

private:
    void buildControls();
    void updateDependentControls();

    QComboBox* codec_ = nullptr;
    QComboBox* quality_ = nullptr;
    QSpinBox* crf_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* size_ = nullptr;
    QSpinBox* height_ = nullptr;
    QComboBox* preset_ = nullptr;
    QLabel* crfScale_ = nullptr;
    QCheckBox* fit_ = nullptr;  // a file size instead of the quality
    QDoubleSpinBox* megabytes_ = nullptr;
};

}  // namespace tintreel
