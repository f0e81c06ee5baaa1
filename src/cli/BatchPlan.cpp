#include "cli/BatchPlan.h"

#include <fstream>
#include <system_error>

#include "cli/OutputTarget.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

Result<std::vector<BatchInput>> listedInputs(const CliOptions& options) {
    std::ifstream in(*options.list);
    if (!in) return Error{"cannot read the list " + quotedPath(*options.list)};
    std::vector<BatchInput> entries;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (options.listIndex && number != *options.listIndex) continue;
        if (line.empty() && options.listIndex)
            return Error{"--index " + std::to_string(number) + ": that line of " + quotedPath(*options.list) +
                         " is empty"};
        if (!line.empty()) entries.push_back({line, number, {}});
    }
    if (options.listIndex && entries.empty())
        return Error{"--index " + std::to_string(*options.listIndex) + ": " + quotedPath(*options.list) +
                     " has fewer lines"};
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

Result<fs::path> outputFor(const CliOptions& options, const BatchInput& entry, bool folderAllowed) {
    if (folderAllowed && !outputFolderOf(options).empty())
        return outputInFolder(options.output, entry, options.render);
    return expandOutputTemplate(options.output.string(), entry.file, entry.number);
}

}  // namespace

Result<BatchPlan> planRun(const CliOptions& options) {
    const Result<std::vector<BatchInput>> inputs =
        options.list ? listedInputs(options)
                     : moviesOfInputs(options.inputs, options.recursive, outputFolderOf(options));
    if (!inputs) return Error{inputs.error()};
    BatchPlan plan;
    plan.single = isSingle(options);
    // A folder OUTPUT is for many inputs, or the lines of a list; a single
    // INPUT keeps the rule that OUTPUT is a file.
    const bool folderAllowed = !plan.single || options.list.has_value();
    for (const BatchInput& entry : *inputs) {
        const Result<fs::path> output = outputFor(options, entry, folderAllowed);
        if (!output) return Error{output.error()};
        plan.jobs.push_back({entry.file, *output});
    }
    if (plan.jobs.empty()) return Error{"no movies found in the INPUT folders"};
    return plan;
}

Status checkBatch(const CliOptions& options, const BatchPlan& plan) {
    std::vector<fs::path> read;
    if (options.settingsFile) read.push_back(*options.settingsFile);
    if (options.logo) read.push_back(*options.logo);
    return BatchOutputChecks(read, plan.jobs, options.render, outputFolderOf(options)).checkAll(plan.jobs);
}

}  // namespace tintreel
