// tintreel-render: the headless front end over the same engine as the editor.
// It parses the command line, plans which inputs go where, checks OUTPUT,
// resolves the look and hands over to the still or the movie mode for a
// single INPUT, to the batch for many, or to the join of slices.
#include <QGuiApplication>
#include <algorithm>
#include <iostream>

#include "cli/BatchPlan.h"
#include "cli/BatchRunner.h"
#include "cli/CliOptions.h"
#include "cli/ColorTableCommand.h"
#include "cli/InputLimits.h"
#include "cli/JoinCommand.h"
#include "cli/JsonProgress.h"
#include "cli/MovieCommand.h"
#include "cli/OutputTarget.h"
#include "cli/StillCommand.h"
#include "platform/media/LibraryLog.h"
#include "platform/system/Log.h"

namespace {

using tintreel::CliOptions;

bool isPicture(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension == ".png" || extension == ".jpg" || extension == ".jpeg";
}

bool wantsJson(const CliOptions& options) { return options.progress == tintreel::ProgressFormat::Json; }

// A refusal before anything starts: one line, or one JSON object.
int refuseLine(const std::string& line, bool json) {
    if (json)
        tintreel::printJsonRefusal(line);
    else
        std::cerr << line << std::endl;
    return tintreel::kExitBadInput;
}

int refuse(const std::string& problem, bool json) { return refuseLine("tintreel-render: " + problem, json); }

// A fact about the look that changes what is drawn (a font drawn by another
// family), said once before the run starts.
void tellAbout(const tintreel::Look& look, bool json) {
    if (!look.fontNote) return;
    const std::string line = "tintreel-render: " + *look.fontNote;
    if (json)
        tintreel::printJsonNote(line);
    else
        tintreel::printLine(std::cerr, line);
}

// The watermark's picture, from --logo or the profile, before it is read;
// then the colour table, read whole so that a damaged one stops the run.
tintreel::Status checkLogo(const tintreel::Look& look) {
    if (look.logo)
        if (auto picture = tintreel::checkPicture(*look.logo, "logo"); !picture) return picture;
    return tintreel::checkColorTableOf(look);
}

// --skip-existing with a single OUTPUT that is there already.
int skip(const CliOptions& options) {
    if (wantsJson(options))
        tintreel::JsonJobOutput(options.input, options.output)
            .finished(tintreel::JobState::Skipped,
                      "kept the existing " + tintreel::printableText(options.output.string()));
    else
        std::cerr << "tintreel-render: kept the existing " << tintreel::quotedPath(options.output)
                  << " (--skip-existing)" << std::endl;
    return tintreel::kExitSuccess;
}

int runSingle(CliOptions options, const tintreel::PlannedJob& job) {
    options.input = job.input;
    options.output = job.output;
    std::error_code ec;
    // An output that is a file the run reads is refused below, never "kept".
    if (tintreel::existingOutputRule(options) == tintreel::ExistingOutput::Skip &&
        std::filesystem::exists(options.output, ec) &&
        tintreel::checkNotRead(options.output, tintreel::filesRead(options)))
        return skip(options);
    // Before anything is read: a run that would lose a file or cannot write
    // its result does nothing.
    if (const auto output = tintreel::checkOutput(options); !output)
        return refuse(output.error(), wantsJson(options));
    const auto resolved = tintreel::resolveLook(options);
    if (!resolved) return refuse(resolved.error(), wantsJson(options));
    const tintreel::Look& look = *resolved;
    if (const auto logo = checkLogo(look); !logo) return refuse(logo.error(), wantsJson(options));
    tellAbout(look, wantsJson(options));
    // The profile's picture is read too.
    if (look.logo != options.logo) {
        options.logo = look.logo;
        if (const auto output = tintreel::checkOutput(options); !output)
            return refuse(output.error(), wantsJson(options));
    }
    if (isPicture(options.input)) {
        if (!options.still) return refuse("a picture INPUT needs --still", wantsJson(options));
        if (const auto picture = tintreel::checkPicture(options.input, "the picture"); !picture)
            return refuse(picture.error(), wantsJson(options));
        return tintreel::runStillPicture(options, look.settings);
    }
    return options.still ? tintreel::runStillFrame(options, look.settings)
                         : tintreel::runMovie(options, look.settings);
}

int runMany(CliOptions options, const tintreel::BatchPlan& plan) {
    const auto resolved = tintreel::resolveLook(options);
    if (!resolved) return refuse(resolved.error(), wantsJson(options));
    const tintreel::Look& look = *resolved;
    if (const auto logo = checkLogo(look); !logo) return refuse(logo.error(), wantsJson(options));
    tellAbout(look, wantsJson(options));
    options.logo = look.logo;
    if (const auto batch = tintreel::checkBatch(options, plan); !batch)
        return refuse(batch.error(), wantsJson(options));
    // Read once for every job; a picture that cannot be read stops the run before it starts.
    const auto logo = tintreel::readLogo(options);
    if (!logo) return refuseLine(logo.error(), wantsJson(options));
    return tintreel::runBatch(options, plan, look.settings, *logo);
}

// The slices are checked by the join itself; OUTPUT like any other.
int joinSlices(const CliOptions& options) {
    if (const auto output = tintreel::checkOutput(options); !output)
        return refuse(output.error(), wantsJson(options));
    return tintreel::runJoin(options);
}

int run(const CliOptions& options) {
    if (options.exportLut) return tintreel::runExportLut(options);
    if (options.join) return joinSlices(options);
    if (const auto files = tintreel::checkReadFiles(options); !files) return refuse(files.error(), wantsJson(options));
    const auto planned = tintreel::planRun(options);
    if (!planned) return refuse(planned.error(), wantsJson(options));
    const tintreel::BatchPlan& plan = *planned;
    // The libraries' messages join the lines of the render they belong to:
    // standard error carries only JSON, and a batch names each job's lines.
    if (wantsJson(options) || !plan.single) tintreel::sendLibraryMessagesToLog();
    return plan.single ? runSingle(options, plan.jobs.front()) : runMany(options, plan);
}

// Qt's own warnings (a missing runtime directory, font fallbacks) are not
// this tool's messages: its errors are one line each, on standard error.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << std::endl;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = tintreel::parseCommandLine(arguments);
    if (!parsed) {
        const tintreel::CliExit& exit = parsed.failure();
        (exit.status == tintreel::kExitSuccess ? std::cout : std::cerr) << exit.message << std::endl;
        return exit.status;
    }
    // Text drawing needs a GUI application object; no display is needed.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtMessages);
    QGuiApplication app(argc, argv);
    return run(*parsed);
}
