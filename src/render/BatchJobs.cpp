#include "render/BatchJobs.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <sstream>
#include <system_error>

#include "platform/media/MovieTypes.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

bool isHidden(const fs::path& path) {
    return path.filename().string().starts_with('.');
}

// A movie of a folder input: not hidden, and not half a file a killed render left.
bool isMovieFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && hasMovieExtension(entry.path()) && !isHidden(entry.path()) &&
           !isPartialName(entry.path());
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// The movies of a folder input, by name; with `recursive` its subfolders'
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

// One spelling per place: links and ".." resolved as far as the path exists.
fs::path comparable(const fs::path& output) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(output, ec).lexically_normal();
    const fs::path resolved = fs::weakly_canonical(absolute, ec);
    return ec ? absolute : resolved;
}

// True when both paths name one existing file (links, "../", hard links).
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

Status checkOutputFolder(const fs::path& output) {
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return Error{"cannot write " + quotedPath(output) + ": no folder " + quotedPath(folder)};
    // The render writes a partial file beside the output and renames it: it
    // needs to create and remove entries in the folder.
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return Error{"cannot write " + quotedPath(output) + ": the folder " + quotedPath(folder) +
                     " is not writable"};
    return {};
}

Status makeOutputFolder(const fs::path& output) {
    // A bare name goes in the current folder, which is there.
    if (output.parent_path().empty()) return {};
    std::error_code ec;
    if (fs::create_directories(output.parent_path(), ec); ec)
        return Error{"cannot make the folder of " + output.string() + ": " + ec.message()};
    return {};
}

Status checkNotRead(const fs::path& output, const std::vector<fs::path>& read) {
    for (const fs::path& file : read)
        if (sameFile(output, file))
            return Error{"OUTPUT " + quotedPath(output) + " is the file " + quotedPath(file) +
                         " this run reads"};
    return {};
}

std::vector<BatchInput> moviesOfInputs(const std::vector<fs::path>& inputs, bool recursive,
                                       const fs::path& outputFolder) {
    std::vector<BatchInput> entries;
    std::error_code ec;
    for (const fs::path& input : inputs) {
        if (!fs::is_directory(input, ec)) {
            entries.push_back({input, static_cast<int>(entries.size()) + 1, {}});
            continue;
        }
        for (fs::path& movie : moviesIn(input, recursive, outputFolder))
            entries.push_back(
                {std::move(movie), static_cast<int>(entries.size()) + 1, recursive ? input : fs::path()});
    }
    return entries;
}

Result<fs::path> expandOutputTemplate(const std::string& pattern, const fs::path& input, int n) {
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
        if (close == std::string::npos) return Error{"OUTPUT " + pattern + ": a { without its }"};
        const std::string field = pattern.substr(i + 1, close - i - 1);
        const auto it = fields.find(field);
        if (it == fields.end())
            return Error{"OUTPUT " + pattern + ": no field {" + field +
                         "} (there are {name} {ext} {dir} {n})"};
        result += it->second;
        i = close;
    }
    return fs::path(result);
}

Result<fs::path> outputInFolder(const fs::path& folder, const BatchInput& entry, const RenderSettings& render,
                                const std::string& namePattern) {
    const Result<fs::path> name = expandOutputTemplate(namePattern, entry.file, entry.number);
    if (!name) return name;
    const fs::path mirrored =
        entry.mirrorRoot.empty() ? fs::path() : entry.file.parent_path().lexically_relative(entry.mirrorRoot);
    fs::path file = *name;
    file += "." + renderedExtensionFor(entry.file, render.codec);
    return (folder / mirrored / file).lexically_normal();
}

BatchOutputChecks::BatchOutputChecks(const std::vector<fs::path>& readFiles,
                                     const std::vector<PlannedJob>& jobs, RenderSettings render,
                                     fs::path outputFolder)
    : render_(render), outputFolder_(std::move(outputFolder)) {
    std::vector<fs::path> read = readFiles;
    for (const PlannedJob& job : jobs) read.push_back(job.input);
    for (const fs::path& file : read) {
        struct stat facts {};
        if (::stat(file.c_str(), &facts) == 0) readFiles_.emplace(FileId{facts.st_dev, facts.st_ino}, file);
    }
}

Status BatchOutputChecks::check(const PlannedJob& job) {
    if (auto [it, added] = outputs_.emplace(comparable(job.output), job.input); !added)
        return Error{"INPUT " + quotedPath(it->second) + " and INPUT " + quotedPath(job.input) +
                     " would both write " + quotedPath(job.output)};
    if (struct stat facts{}; ::stat(job.output.c_str(), &facts) == 0) {
        if (const auto read = readFiles_.find({facts.st_dev, facts.st_ino}); read != readFiles_.end())
            return checkNotRead(job.output, {read->second});
    }
    std::error_code ec;
    if (fs::is_directory(job.output, ec)) return Error{"OUTPUT " + quotedPath(job.output) + " is a folder"};
    // A mirrored subfolder that is not there yet is made when its job
    // starts, in the output folder, which must be writable.
    if (!outputFolder_.empty() && !fs::exists(job.output.parent_path(), ec))
        return checkOutputFolder(outputFolder_ / job.output.filename());
    if (Status folder = checkOutputFolder(job.output); !folder) return folder;
    // Last: a missing folder says more than the name of one in it.
    if (const Status renderable = checkRenderable(job.output, render_); !renderable)
        return Error{"cannot write " + quotedPath(job.output) + ": " + renderable.error()};
    return {};
}

Status BatchOutputChecks::checkAll(const std::vector<PlannedJob>& jobs) {
    for (const PlannedJob& job : jobs)
        if (Status checked = check(job); !checked) return checked;
    return {};
}

std::string_view jobStateName(JobState state) {
    switch (state) {
        case JobState::Running:
            return "running";
        case JobState::Done:
            return "done";
        case JobState::Skipped:
            return "skipped";
        case JobState::Failed:
            return "failed";
        case JobState::Cancelled:
            return "cancelled";
    }
    return "failed";
}

void BatchCounts::add(JobState state, const fs::path& input) {
    switch (state) {
        case JobState::Done:
            ++done;
            break;
        case JobState::Skipped:
            ++skipped;
            break;
        case JobState::Cancelled:
            ++cancelled;
            break;
        default:
            ++failed, failedInputs.push_back(input);
            break;
    }
}

std::string batchSummary(BatchCounts counts) {
    std::sort(counts.failedInputs.begin(), counts.failedInputs.end());
    std::ostringstream line;
    line << counts.done << " done, " << counts.skipped << " skipped, " << counts.failed << " failed, "
         << counts.cancelled << " cancelled";
    for (std::size_t i = 0; i < counts.failedInputs.size(); ++i)
        line << (i == 0 ? "; failed: " : ", ") << counts.failedInputs[i].string();
    return line.str();
}

}  // namespace tintreel
