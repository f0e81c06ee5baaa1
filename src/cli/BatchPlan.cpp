#include "cli/BatchPlan.h"

#include <fstream>
#include <system_error>

#include "cli/OutputTarget.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

std::variant<std::vector<BatchInput>, std::string> listedInputs(const CliOptions& options) {
    std::ifstream in(*options.list);
    if (!in) return "cannot read the list " + quotedPath(*options.list);
    std::vector<BatchInput> entries;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (options.listIndex && number != *options.listIndex) continue;
        if (line.empty() && options.listIndex)
            return "--index " + std::to_string(number) + ": that line of " + quotedPath(*options.list) +
                   " is empty";
        if (!line.empty()) entries.push_back({line, number, {}});
    }
    if (options.listIndex && entries.empty())
        return "--index " + std::to_string(*options.listIndex) + ": " + quotedPath(*options.list) +
               " has fewer lines";
    return entries;
}

fs::path outputFolderOf(const CliOptions& options) {
    std::error_code ec;
    return fs::is_directory(options.output, ec) ? options.output : fs::path();
}

bool isSingle(const CliOptions& options) {
    std::error_code ec;
    if (options.list) return options.listIndex.has_value();
    return options.inputs.size() == 1 && !fs::is_directory(options.inputs.front(), ec);
}

std::variant<fs::path, std::string> outputFor(const CliOptions& options, const BatchInput& entry,
                                              bool folderAllowed) {
    if (folderAllowed && !outputFolderOf(options).empty())
        return outputInFolder(options.output, entry, options.render);
    return expandOutputTemplate(options.output.string(), entry.file, entry.number);
}

}  // namespace

std::variant<BatchPlan, std::string> planRun(const CliOptions& options) {
    auto inputs = options.list ? listedInputs(options)
                               : std::variant<std::vector<BatchInput>, std::string>(moviesOfInputs(
                                     options.inputs, options.recursive, outputFolderOf(options)));
    if (auto* problem = std::get_if<std::string>(&inputs)) return *problem;
    BatchPlan plan;
    plan.single = isSingle(options);
    // A folder OUTPUT is for many inputs, or the lines of a list; a single
    // INPUT keeps the rule that OUTPUT is a file.
    const bool folderAllowed = !plan.single || options.list.has_value();
    for (const BatchInput& entry : std::get<std::vector<BatchInput>>(inputs)) {
        auto output = outputFor(options, entry, folderAllowed);
        if (auto* problem = std::get_if<std::string>(&output)) return *problem;
        plan.jobs.push_back({entry.file, std::get<fs::path>(output)});
    }
    if (plan.jobs.empty()) return std::string("no movies found in the INPUT folders");
    return plan;
}

std::optional<std::string> batchProblem(const CliOptions& options, const BatchPlan& plan) {
    std::vector<fs::path> read;
    if (options.settingsFile) read.push_back(*options.settingsFile);
    if (options.logo) read.push_back(*options.logo);
    return BatchOutputChecks(read, plan.jobs, options.render, outputFolderOf(options))
        .firstProblem(plan.jobs);
}

}  // namespace tintreel
