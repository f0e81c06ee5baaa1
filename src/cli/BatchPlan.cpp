#include "cli/BatchPlan.h"

#include <sys/stat.h>
#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

#include "cli/OutputTarget.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/AtomicFile.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// One input with what its output depends on.
struct InputEntry {
    fs::path file;
    int number = 0;       // {n}
    fs::path mirrorRoot;  // the --recursive folder INPUT it was found under; empty otherwise
};

std::string quoted(const fs::path& path) {
    std::ostringstream text;
    text << path;
    return text.str();
}

bool isHidden(const fs::path& path) {
    return path.filename().string().starts_with('.');
}

// A movie of a folder INPUT: not hidden, and not half a file a killed render left.
bool isMovieFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && hasMovieExtension(entry.path()) && !isHidden(entry.path()) &&
           !isPartialName(entry.path());
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// The movies of a folder INPUT, by name; with `recursive` its subfolders'
// too, except hidden ones and the output folder.
std::vector<fs::path> moviesIn(const fs::path& folder, bool recursive, const fs::path& outputFolder) {
    std::vector<fs::path> movies;
    std::error_code ec;
    const auto options = fs::directory_options::skip_permission_denied;
    if (!recursive) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, options, ec))
            if (isMovieFile(entry)) movies.push_back(entry.path());
    } else {
        for (auto it = fs::recursive_directory_iterator(folder, options, ec); !ec && it != fs::end(it);
             it.increment(ec)) {
            if (it->is_directory(ec) && (isHidden(it->path()) || sameFolder(it->path(), outputFolder)))
                it.disable_recursion_pending();
            else if (isMovieFile(*it))
                movies.push_back(it->path());
        }
    }
    std::sort(movies.begin(), movies.end());
    return movies;
}

std::variant<std::vector<InputEntry>, std::string> listedInputs(const CliOptions& options) {
    std::ifstream in(*options.list);
    if (!in) return "cannot read the list " + quoted(*options.list);
    std::vector<InputEntry> entries;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (options.listIndex && number != *options.listIndex) continue;
        if (line.empty() && options.listIndex)
            return "--index " + std::to_string(number) + ": that line of " + quoted(*options.list) +
                   " is empty";
        if (!line.empty()) entries.push_back({line, number, {}});
    }
    if (options.listIndex && entries.empty())
        return "--index " + std::to_string(*options.listIndex) + ": " + quoted(*options.list) +
               " has fewer lines";
    return entries;
}

std::vector<InputEntry> argumentInputs(const CliOptions& options) {
    std::vector<InputEntry> entries;
    std::error_code ec;
    const fs::path outputFolder = fs::is_directory(options.output, ec) ? options.output : fs::path();
    for (const fs::path& input : options.inputs) {
        if (!fs::is_directory(input, ec)) {
            entries.push_back({input, static_cast<int>(entries.size()) + 1, {}});
            continue;
        }
        for (fs::path& movie : moviesIn(input, options.recursive, outputFolder))
            entries.push_back({std::move(movie), static_cast<int>(entries.size()) + 1,
                               options.recursive ? input : fs::path()});
    }
    return entries;
}

bool isSingle(const CliOptions& options) {
    std::error_code ec;
    if (options.list) return options.listIndex.has_value();
    return options.inputs.size() == 1 && !fs::is_directory(options.inputs.front(), ec);
}

// Where one input's result goes under an output folder: its own container
// when that can hold the asked codec, else MP4.
fs::path outputInFolder(const fs::path& folder, const InputEntry& entry, const RenderSettings& render) {
    const fs::path mirrored =
        entry.mirrorRoot.empty() ? fs::path() : entry.file.parent_path().lexically_relative(entry.mirrorRoot);
    fs::path name = entry.file.stem();
    name += "." + renderedExtensionFor(entry.file, render.codec);
    return (folder / mirrored / name).lexically_normal();
}

std::variant<fs::path, std::string> outputFor(const CliOptions& options, const InputEntry& entry,
                                              bool folderAllowed) {
    std::error_code ec;
    if (folderAllowed && fs::is_directory(options.output, ec)) return outputInFolder(options.output, entry, options.render);
    return expandOutputTemplate(options.output.string(), entry.file, entry.number);
}

// A file's identity, to find an output that is a file the run reads
// whatever path names it.
using FileId = std::pair<dev_t, ino_t>;
std::optional<FileId> fileId(const fs::path& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) return std::nullopt;
    return FileId{facts.st_dev, facts.st_ino};
}

// The checks of every job's output against the others and the files read.
class OutputChecks {
public:
    OutputChecks(const CliOptions& options, const std::vector<PlannedJob>& jobs) : render_(options.render) {
        std::vector<fs::path> read;
        if (options.settingsFile) read.push_back(*options.settingsFile);
        if (options.logo) read.push_back(*options.logo);
        for (const PlannedJob& job : jobs) read.push_back(job.input);
        for (const fs::path& file : read)
            if (auto id = fileId(file)) readFiles_.emplace(*id, file);
    }

    std::optional<std::string> problem(const PlannedJob& job) {
        if (auto [it, added] = outputs_.emplace(comparable(job.output), job.input); !added)
            return "INPUT " + quoted(it->second) + " and INPUT " + quoted(job.input) + " would both write " +
                   quoted(job.output);
        if (auto id = fileId(job.output); id && readFiles_.count(*id))
            return readConflict(job.output, {readFiles_.at(*id)});
        std::error_code ec;
        if (fs::is_directory(job.output, ec)) return "OUTPUT " + quoted(job.output) + " is a folder";
        // A mirrored subfolder that is not there yet is made when its job
        // starts, in the output folder, which must be writable.
        if (!outputFolder_.empty() && !fs::exists(job.output.parent_path(), ec))
            return folderProblem(outputFolder_ / job.output.filename());
        if (auto problem = folderProblem(job.output)) return problem;
        // Last: a missing folder says more than the name of one in it.
        if (auto problem = renderProblem(job.output, render_))
            return "cannot write " + quoted(job.output) + ": " + *problem;
        return std::nullopt;
    }

    // Outputs go in this folder (and its mirrored subfolders).
    void setOutputFolder(const fs::path& folder) { outputFolder_ = folder; }

private:
    RenderSettings render_;
    // One spelling per place: links and ".." resolved as far as the path exists.
    static fs::path comparable(const fs::path& output) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(output, ec).lexically_normal();
        const fs::path resolved = fs::weakly_canonical(absolute, ec);
        return ec ? absolute : resolved;
    }

    std::map<FileId, fs::path> readFiles_;
    std::map<fs::path, fs::path> outputs_;
    fs::path outputFolder_;
};

}  // namespace

std::variant<fs::path, std::string> expandOutputTemplate(const std::string& pattern, const fs::path& input,
                                                         int n) {
    const std::map<std::string, std::string> fields{
        {"name", input.stem().string()},
        {"ext", pathExtension(input)},
        {"dir", input.has_parent_path() ? input.parent_path().string() : std::string(".")},
        {"n", std::to_string(n)}};
    std::string result;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            result += pattern[i];
            continue;
        }
        const std::size_t close = pattern.find('}', i);
        if (close == std::string::npos) return "OUTPUT " + pattern + ": a { without its }";
        const std::string field = pattern.substr(i + 1, close - i - 1);
        const auto it = fields.find(field);
        if (it == fields.end())
            return "OUTPUT " + pattern + ": no field {" + field + "} (there are {name} {ext} {dir} {n})";
        result += it->second;
        i = close;
    }
    return fs::path(result);
}

std::variant<BatchPlan, std::string> planRun(const CliOptions& options) {
    auto inputs = options.list ? listedInputs(options)
                               : std::variant<std::vector<InputEntry>, std::string>(argumentInputs(options));
    if (auto* problem = std::get_if<std::string>(&inputs)) return *problem;
    BatchPlan plan;
    plan.single = isSingle(options);
    // A folder OUTPUT is for many inputs, or the lines of a list; a single
    // INPUT keeps the rule that OUTPUT is a file.
    const bool folderAllowed = !plan.single || options.list.has_value();
    for (const InputEntry& entry : std::get<std::vector<InputEntry>>(inputs)) {
        auto output = outputFor(options, entry, folderAllowed);
        if (auto* problem = std::get_if<std::string>(&output)) return *problem;
        plan.jobs.push_back({entry.file, std::get<fs::path>(output)});
    }
    if (plan.jobs.empty()) return std::string("no movies found in the INPUT folders");
    return plan;
}

std::optional<std::string> batchProblem(const CliOptions& options, const BatchPlan& plan) {
    OutputChecks checks(options, plan.jobs);
    std::error_code ec;
    if (fs::is_directory(options.output, ec)) checks.setOutputFolder(options.output);
    for (const PlannedJob& job : plan.jobs)
        if (auto problem = checks.problem(job)) return problem;
    return std::nullopt;
}

}  // namespace tintreel
