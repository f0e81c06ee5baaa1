#include "batch/BatchWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/media/MovieTypes.h"
#include "platform/system/QtText.h"
#include "platform/ui/Dialogs.h"
#include "preview/BackgroundTask.h"
#include "preview/VideoImageView.h"
#include "render/RenderSlots.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

QString toQString(const fs::path& path) {
    return QString::fromStdString(path.string());
}
fs::path toPath(const QString& text) {
    return fs::path(text.toStdString());
}

// A field at its own size at the start of its form row.
QHBoxLayout* leftAligned(QWidget* field) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addStretch();
    return row;
}

// "High", "Balanced": the short names as a label begins.
QString capitalised(std::string_view name) {
    QString text = qstring(name);
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
}

QString speedText(EncodeSpeed speed) {
    switch (speed) {
        case EncodeSpeed::Faster:
            return QObject::tr("Faster encoding");
        case EncodeSpeed::Balanced:
            return QObject::tr("Balanced speed");
        case EncodeSpeed::Smaller:
            return QObject::tr("Smaller file");
    }
    return {};
}

}  // namespace

BatchWindow::BatchWindow(std::function<BatchLook()> editorLook, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), editorLook_(std::move(editorLook)), dialogs_(dialogs) {
    setWindowTitle(tr("Batch Render"));
    setObjectName(QStringLiteral("batchWindow"));
    setAcceptDrops(true);
    renderSettings_ = editorLook_().renderSettings;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildInputs(), 1);
    layout->addWidget(buildOutput());
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("labelBatchSummary"));
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    layout->addWidget(buildCommands());
    listener_.report = [this](const JobReport& report) {
        postToThreadOf(this, [this, report] { showReport(report); });
    };
    listener_.finished = [this](const BatchCounts& counts) {
        postToThreadOf(this, [this, counts] { finish(counts); });
    };
    showRenderSettings();
    restoreChoices();
    updateCommands();
    resize(860, 620);
    setMinimumSize(640, 480);
}

BatchWindow::~BatchWindow() {
    queue_.reset();  // cancels and waits for the jobs
}

QWidget* BatchWindow::buildInputs() {
    auto* box = new QGroupBox(tr("Videos"), this);
    auto* layout = new QVBoxLayout(box);
    table_ = new QTableWidget(0, kColumns, box);
    table_->setObjectName(QStringLiteral("tableBatchVideos"));
    table_->setHorizontalHeaderLabels({tr("Video"), tr("State"), tr("Progress"), tr("Time Left")});
    table_->horizontalHeader()->setSectionResizeMode(kVideo, QHeaderView::Stretch);
    for (int column : {kState, kProgress, kTimeLeft})
        table_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setToolTip(tr("The videos of the batch; drop videos or folders here"));
    connect(table_, &QTableWidget::itemSelectionChanged, this, &BatchWindow::updateCommands);
    layout->addWidget(table_);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, box, buttons](const char* name, const QString& text, const QString& tip,
                                             void (BatchWindow::*slot)()) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button("buttonAddVideos", tr("Add Videos..."), tr("Adds video files to the batch"),
           &BatchWindow::chooseVideos);
    button("buttonAddFolder", tr("Add Folder..."), tr("Adds every video of a folder"),
           &BatchWindow::chooseFolder);
    button("buttonRemoveVideos", tr("Remove"), tr("Removes the selected videos from the batch"),
           &BatchWindow::removeSelected);
    button("buttonClearVideos", tr("Clear"), tr("Removes every video from the batch"),
           &BatchWindow::clearRows);
    buttons->addStretch();
    subfolders_ = new QCheckBox(tr("Include Subfolders"), box);
    subfolders_->setObjectName(QStringLiteral("checkBatchSubfolders"));
    subfolders_->setToolTip(
        tr("An added folder brings the videos of its subfolders too; "
           "their outputs go in matching subfolders"));
    buttons->addWidget(subfolders_);
    layout->addLayout(buttons);
    return box;
}

QWidget* BatchWindow::buildOutput() {
    auto* box = new QGroupBox(tr("Output"), this);
    auto* form = new QFormLayout(box);
    const auto withButton = [box](QWidget* field, QPushButton* button) {
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(button);
        return row;
    };
    const auto button = [this, box](const char* name, const QString& text, void (BatchWindow::*slot)()) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };

    look_ = new QComboBox(box);
    look_->setObjectName(QStringLiteral("comboBatchLook"));
    look_->addItems({tr("The editor's current settings"), tr("A saved profile")});
    look_->setToolTip(tr("What every video of the batch is rendered with"));
    profileLabel_ = new QLabel(tr("No profile chosen"), box);
    profileLabel_->setObjectName(QStringLiteral("labelBatchProfile"));
    auto* lookRow =
        withButton(look_, button("buttonBatchProfile", tr("Choose Profile..."), &BatchWindow::chooseProfile));
    lookRow->insertWidget(1, profileLabel_, 1);
    connect(look_, &QComboBox::currentIndexChanged, this, &BatchWindow::updateCommands);
    form->addRow(tr("Look:"), lookRow);

    outputFolder_ = new QLineEdit(box);
    outputFolder_->setObjectName(QStringLiteral("textFieldBatchFolder"));
    outputFolder_->setPlaceholderText(tr("The folder the rendered videos go in"));
    form->addRow(tr("Folder:"), withButton(outputFolder_, button("buttonBatchFolder", tr("Choose..."),
                                                                 &BatchWindow::chooseOutputFolder)));

    namePattern_ = new QLineEdit(QStringLiteral("{name}"), box);
    namePattern_->setObjectName(QStringLiteral("textFieldBatchName"));
    namePattern_->setToolTip(
        tr("Each output's name without its extension: {name} is the video's name, {n} its "
           "place in the list; the extension is the video's own container when it can hold "
           "the codec, else .mp4"));
    form->addRow(tr("Name:"), namePattern_);

    encoding_ = new QLabel(box);
    encoding_->setObjectName(QStringLiteral("labelBatchEncoding"));
    form->addRow(tr("Encoding:"),
                 withButton(encoding_, button("buttonBatchRenderSettings", tr("Render Settings..."),
                                              &BatchWindow::editRenderSettings)));

    jobs_ = new QSpinBox(box);
    jobs_->setObjectName(QStringLiteral("spinBatchJobs"));
    jobs_->setRange(1, 16);
    jobs_->setValue(std::max(1, QThread::idealThreadCount() / 2));
    jobs_->setToolTip(
        tr("How many videos render at once (1 to 16); a render from the editor takes one of them"));
    form->addRow(tr("Jobs at once:"), leftAligned(jobs_));

    existing_ = new QComboBox(box);
    existing_->setObjectName(QStringLiteral("comboBatchExisting"));
    existing_->addItem(tr("Skip the video"), static_cast<int>(ExistingOutput::Skip));
    existing_->addItem(tr("Replace the file"), static_cast<int>(ExistingOutput::Replace));
    existing_->addItem(tr("Count the video as failed"), static_cast<int>(ExistingOutput::Fail));
    existing_->setToolTip(
        tr("What happens to a video whose output file is already there; skipping lets an "
           "interrupted batch go on where it stopped"));
    form->addRow(tr("When the output exists:"), leftAligned(existing_));
    return box;
}

QWidget* BatchWindow::buildCommands() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto button = [this, bar, layout](const char* name, const QString& text, const QString& keys,
                                            void (BatchWindow::*slot)()) {
        auto* b = new QPushButton(text, bar);
        b->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) b->setShortcut(QKeySequence(keys));
        connect(b, &QPushButton::clicked, this, slot);
        layout->addWidget(b);
        return b;
    };
    button("buttonOpenOutputFolder", tr("Open Output Folder"), {}, &BatchWindow::openOutputFolder);
    layout->addStretch();
    cancelSelected_ =
        button("buttonCancelSelected", tr("Cancel Selected"), tr("Delete"), &BatchWindow::cancelSelected);
    cancelAll_ = button("buttonCancelAll", tr("Cancel All"), tr("Esc"), &BatchWindow::cancelAll);
    start_ = button("buttonStartBatch", tr("Start"), tr("Ctrl+Return"), &BatchWindow::start);
    start_->setDefault(true);
    return bar;
}

// The output folder, name pattern, jobs and rule for existing outputs of the
// last batch started, remembered between runs.
namespace {
const QString kFolderKey = QStringLiteral("batch/outputFolder");
const QString kPatternKey = QStringLiteral("batch/namePattern");
const QString kJobsKey = QStringLiteral("batch/jobs");
const QString kExistingKey = QStringLiteral("batch/whenOutputExists");
}  // namespace

void BatchWindow::restoreChoices() {
    const QSettings settings;
    outputFolder_->setText(settings.value(kFolderKey).toString());
    namePattern_->setText(settings.value(kPatternKey, namePattern_->text()).toString());
    jobs_->setValue(settings.value(kJobsKey, jobs_->value()).toInt());
    existing_->setCurrentIndex(
        std::clamp(settings.value(kExistingKey, 0).toInt(), 0, existing_->count() - 1));
}

void BatchWindow::rememberChoices() const {
    QSettings settings;
    settings.setValue(kFolderKey, outputFolder_->text());
    settings.setValue(kPatternKey, namePattern_->text());
    settings.setValue(kJobsKey, jobs_->value());
    settings.setValue(kExistingKey, existing_->currentIndex());
}

void BatchWindow::addInputs(const QStringList& paths) {
    std::vector<fs::path> inputs;
    QStringList refused;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir() || hasMovieExtension(toPath(path)))
            inputs.push_back(toPath(path));
        else
            refused << QFileInfo(path).fileName();
    }
    for (const BatchInput& input : moviesOfInputs(inputs, subfolders_->isChecked(), {})) {
        const bool listed =
            std::any_of(rows_.begin(), rows_.end(), [&](const Row& row) { return row.file == input.file; });
        if (!listed) addRow(input);
    }
    updateCommands();
    if (!refused.isEmpty())
        dialogs_.alert(
            tr("These files are not videos and were left out: %1").arg(refused.join(QStringLiteral(", "))));
}

void BatchWindow::addRow(const BatchInput& input) {
    rows_.push_back({input.file, input.mirrorRoot});
    const int row = table_->rowCount();
    table_->insertRow(row);
    auto* video = new QTableWidgetItem(toQString(input.file.filename()));
    video->setToolTip(toQString(input.file));
    table_->setItem(row, kVideo, video);
    table_->setItem(row, kState, new QTableWidgetItem);
    auto* bar = new QProgressBar(table_);
    bar->setRange(0, 1000);
    bar->setFormat(QStringLiteral("%p%"));
    bar->setAlignment(Qt::AlignCenter);
    table_->setCellWidget(row, kProgress, bar);
    table_->setItem(row, kTimeLeft, new QTableWidgetItem);
    showWaiting(row);
}

void BatchWindow::chooseVideos() {
    addInputs(dialogs_.openFiles(tr("Add Videos"), VideoImageView::acceptedTypes));
}

void BatchWindow::chooseFolder() {
    if (const std::optional<QString> folder = dialogs_.chooseFolder(tr("Add Folder"))) addInputs({*folder});
}

void BatchWindow::chooseProfile() {
    const std::optional<QString> path = dialogs_.openFile(tr("Choose Profile"), {QStringLiteral("tintreel")});
    if (!path) return;
    profilePath_ = *path;
    profileLabel_->setText(QFileInfo(*path).fileName());
    profileLabel_->setToolTip(*path);
    look_->setCurrentIndex(1);
}

void BatchWindow::chooseOutputFolder() {
    if (const std::optional<QString> folder =
            dialogs_.chooseFolder(tr("Output Folder"), outputFolder_->text()))
        outputFolder_->setText(*folder);
}

void BatchWindow::editRenderSettings() {
    if (const std::optional<RenderSettings> settings = dialogs_.editRenderSettings(renderSettings_)) {
        renderSettings_ = *settings;
        showRenderSettings();
    }
}

void BatchWindow::showRenderSettings() {
    QString text =
        renderSettings_.codec ? qstring(codecLabel(*renderSettings_.codec)) : tr("Automatic codec");
    text += QStringLiteral(" · ") + capitalised(qualityName(renderSettings_.quality)) + tr(" quality");
    text += QStringLiteral(" · ") + speedText(renderSettings_.speed);
    if (renderSettings_.maxHeight > 0) text += tr(" · at most %1 lines").arg(renderSettings_.maxHeight);
    encoding_->setText(text);
}

void BatchWindow::removeSelected() {
    QList<int> selected;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) selected << index.row();
    std::sort(selected.begin(), selected.end(), std::greater<>());
    for (int row : selected) {
        rows_.erase(rows_.begin() + row);
        table_->removeRow(row);
    }
    updateCommands();
}

void BatchWindow::clearRows() {
    rows_.clear();
    table_->setRowCount(0);
    updateCommands();
}

void BatchWindow::updateCommands() {
    for (const char* name : {"buttonAddVideos", "buttonAddFolder", "buttonRemoveVideos", "buttonClearVideos",
                             "buttonBatchProfile", "buttonBatchFolder", "buttonBatchRenderSettings"})
        findChild<QPushButton*>(QString::fromLatin1(name))->setEnabled(!running_);
    for (QWidget* field :
         std::initializer_list<QWidget*>{subfolders_, look_, outputFolder_, namePattern_, jobs_, existing_})
        field->setEnabled(!running_);
    profileLabel_->setEnabled(look_->currentIndex() == 1);
    start_->setEnabled(!running_ && !rows_.empty());
    cancelAll_->setEnabled(running_);
    cancelSelected_->setEnabled(running_ && table_->selectionModel()->hasSelection());
}

void BatchWindow::openOutputFolder() {
    const QString folder = outputFolder_->text();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return dialogs_.alert(tr("The output folder does not exist yet."));
    dialogs_.openUrl(QUrl::fromLocalFile(folder));
}

void BatchWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void BatchWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    addInputs(paths);
    event->acceptProposedAction();
}

QString BatchWindow::summary() const {
    return summary_->text();
}

}  // namespace tintreel
