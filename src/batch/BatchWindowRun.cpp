// BatchWindow: starting a batch (the look, the plan and its checks),
// following its jobs row by row, cancelling, and the summary at the end.
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "batch/BatchWindow.h"
#include "platform/filters/Picture.h"
#include "platform/ui/Dialogs.h"
#include "render/RenderSlots.h"
#include "settings/ControlCatalogue.h"
#include "settings/ProfileFile.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

QString stateText(JobState state) {
    switch (state) {
        case JobState::Running:
            return QObject::tr("Rendering");
        case JobState::Done:
            return QObject::tr("Done");
        case JobState::Skipped:
            return QObject::tr("Skipped");
        case JobState::Failed:
            return QObject::tr("Failed");
        case JobState::Cancelled:
            return QObject::tr("Cancelled");
    }
    return {};
}

}  // namespace

void BatchWindow::start() {
    if (running_ || rows_.empty()) return;
    const std::optional<BatchLook> look = lookToApply();
    if (!look) return;
    std::vector<fs::path> readFiles;
    if (look_->currentIndex() == 1) readFiles.push_back(profilePath_.toStdString());
    const std::optional<std::vector<PlannedJob>> jobs = plannedJobs(readFiles);
    if (!jobs) return;
    for (int row = 0; row < table_->rowCount(); ++row) showWaiting(row);
    summary_->clear();
    rememberChoices();
    running_ = true;
    updateCommands();
    RenderSlots::shared().setLimit(jobs_->value());
    queue_.reset();
    queue_ = std::make_unique<BatchQueue>(*jobs, *look,
                                          static_cast<ExistingOutput>(existing_->currentData().toInt()),
                                          jobs_->value(), listener_);
    queue_->start();
}

// The editor's settings and picture, or the chosen profile's; with the
// encoding of this window. Nothing, after an alert, when the profile or its
// picture cannot be read.
std::optional<BatchLook> BatchWindow::lookToApply() {
    if (look_->currentIndex() == 0) {
        BatchLook look = editorLook_();
        look.renderSettings = renderSettings_;
        return look;
    }
    if (profilePath_.isEmpty()) {
        dialogs_.alert(tr("Choose the profile to apply, or apply the editor's current settings."));
        return std::nullopt;
    }
    const Result<Profile> profile = readProfileFile(profilePath_.toStdString(), defaultEffectSettings());
    if (!profile) {
        dialogs_.alert(QString::fromStdString(profile.error()));
        return std::nullopt;
    }
    BatchLook look{profile->settings, Image(), renderSettings_};
    if (const std::optional<fs::path> logoPath = profile->logoToShow()) {
        Result<Image> picture = loadPicture(logoPath->string());
        if (!picture) {
            dialogs_.alert(tr("The profile's watermark picture %1 could not be read: %2")
                               .arg(QString::fromStdString(logoPath->string()),
                                    QString::fromStdString(picture.error())));
            return std::nullopt;
        }
        look.logo = std::move(*picture);
    }
    return look;
}

// Every row's output in the output folder, or nothing after an alert saying
// why the batch cannot start as it stands.
std::optional<std::vector<PlannedJob>> BatchWindow::plannedJobs(const std::vector<fs::path>& readFiles) {
    const QString folder = outputFolder_->text().trimmed();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        dialogs_.alert(tr("Choose an existing output folder for the rendered videos."));
        return std::nullopt;
    }
    std::vector<PlannedJob> jobs;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const BatchInput input{rows_[i].file, static_cast<int>(i) + 1, rows_[i].mirrorRoot};
        const Result<fs::path> output =
            outputInFolder(folder.toStdString(), input, renderSettings_, namePattern_->text().toStdString());
        if (!output) {
            dialogs_.alert(QString::fromStdString(output.error()));
            return std::nullopt;
        }
        jobs.push_back({rows_[i].file, *output});
    }
    if (const Status checked =
            BatchOutputChecks(readFiles, jobs, renderSettings_, folder.toStdString()).checkAll(jobs);
        !checked) {
        dialogs_.alert(QString::fromStdString(checked.error()));
        return std::nullopt;
    }
    return jobs;
}

void BatchWindow::showWaiting(int row) {
    table_->item(row, kState)->setText(tr("Waiting"));
    table_->item(row, kState)->setToolTip({});
    static_cast<QProgressBar*>(table_->cellWidget(row, kProgress))->setValue(0);
    table_->item(row, kTimeLeft)->setText({});
}

void BatchWindow::showReport(const JobReport& report) {
    const int row = static_cast<int>(report.index);
    if (row >= table_->rowCount()) return;
    table_->item(row, kState)->setText(stateText(report.state));
    table_->item(row, kState)->setToolTip(QString::fromStdString(report.message));
    if (report.state == JobState::Running && !report.message.empty())
        table_->item(row, kState)->setText(QString::fromStdString(report.message));
    static_cast<QProgressBar*>(table_->cellWidget(row, kProgress))
        ->setValue(static_cast<int>(report.percent * 10));
    table_->item(row, kTimeLeft)
        ->setText(report.secondsLeft ? QString::fromStdString(formatTimeLeft(*report.secondsLeft))
                                     : QString());
}

void BatchWindow::cancelSelected() {
    if (!queue_) return;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        queue_->cancel(static_cast<std::size_t>(index.row()));
}

void BatchWindow::cancelAll() {
    if (queue_) queue_->cancelAll();
}

void BatchWindow::finish(const BatchCounts& counts) {
    running_ = false;
    summary_->setText(QString::fromStdString(batchSummary(counts)));
    updateCommands();
    Q_EMIT batchFinished(counts.failed == 0 && counts.cancelled == 0, summary_->text());
}

}  // namespace tintreel
