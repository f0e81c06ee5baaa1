#include "cli/JsonProgress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <iostream>

namespace tintreel {
namespace {

QJsonValue jsonNumber(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue jsonPath(const std::optional<std::filesystem::path>& path) {
    return path ? QJsonValue(QString::fromStdString(path->string())) : QJsonValue();
}

void printObject(const QJsonObject& object) {
    printLine(std::cerr, QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
}

QJsonObject jobObject(const std::optional<std::filesystem::path>& input,
                      const std::optional<std::filesystem::path>& output, std::optional<double> percent,
                      std::optional<double> fps, std::optional<double> secondsLeft, JobState state,
                      const std::string& message) {
    return {{"input", jsonPath(input)},
            {"output", jsonPath(output)},
            {"percent", jsonNumber(percent)},
            {"fps", jsonNumber(fps)},
            {"eta_s", jsonNumber(secondsLeft)},
            {"state", QString::fromUtf8(jobStateName(state).data(), jobStateName(state).size())},
            {"message", QString::fromStdString(message)}};
}

}  // namespace

JsonJobOutput::JsonJobOutput(std::filesystem::path input, std::filesystem::path output)
    : input_(std::move(input)), output_(std::move(output)) {}

void JsonJobOutput::progress(const RenderProgress& report) {
    percent_ = renderPercent(report);
    fps_ = report.framesPerSecond;
    secondsLeft_ = report.secondsLeft;
    emit(JobState::Running, progressLabel(report));
}

void JsonJobOutput::line(const std::string& text) {
    lastLine_ = text;
    emit(JobState::Running, text);
}

void JsonJobOutput::logged(std::string_view text) {
    emit(JobState::Running, std::string(text));
}

void JsonJobOutput::finished(JobState state, const std::string& message) {
    if (state == JobState::Done) percent_ = 100.0;
    fps_.reset();
    secondsLeft_.reset();
    emit(state, message.empty() && state == JobState::Failed ? lastLine_ : message);
}

void JsonJobOutput::emit(JobState state, const std::string& message) const {
    printObject(jobObject(input_, output_, percent_, fps_, secondsLeft_, state, message));
}

void printJsonRefusal(const std::string& message) {
    printObject(jobObject(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          JobState::Failed, message));
}

void printJsonNote(const std::string& message) {
    printObject(jobObject(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          JobState::Running, message));
}

void printJsonSummary(const BatchCounts& counts, const std::string& message) {
    QJsonArray failed;
    for (const std::filesystem::path& input : counts.failedInputs)
        failed.append(QString::fromStdString(input.string()));
    const QJsonObject summary{{"done", counts.done},
                              {"skipped", counts.skipped},
                              {"failed", counts.failed},
                              {"cancelled", counts.cancelled},
                              {"failed_inputs", failed}};
    printObject({{"summary", summary}, {"message", QString::fromStdString(message)}});
}

}  // namespace tintreel
