#include "cli/ColorTableCommand.h"

#include <iostream>

#include "cli/JobOutput.h"
#include "platform/filters/ColorTable.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "render/LookTable.h"

namespace tintreel {

namespace fs = std::filesystem;

namespace {

int refuse(const std::string& problem, int status = kExitBadInput) {
    printLine(std::cerr, "tintreel-render: " + problem);
    return status;
}

bool sameFile(const fs::path& a, const std::optional<fs::path>& b) {
    std::error_code ec;
    return b && fs::equivalent(a, *b, ec);
}

// OUT must be a .cube that replaces nothing by surprise and is none of the files read.
Status checkExportTarget(const CliOptions& options) {
    const fs::path& out = *options.exportLut;
    if (out.extension() != ".cube") return Error{"--export-lut writes a .cube file: " + quotedPath(out)};
    std::error_code ec;
    if (!fs::exists(out, ec)) return {};
    if (sameFile(out, options.settingsFile) || sameFile(out, options.lut))
        return Error{quotedPath(out) + " is a file this run reads"};
    if (!options.overwrite) return Error{quotedPath(out) + " exists: use -y to replace it"};
    if (!fs::is_regular_file(out, ec)) return Error{quotedPath(out) + " is not a regular file"};
    return {};
}

std::string joinedNames(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::string_view name : names) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

}  // namespace

Status checkColorTableOf(const Look& look) {
    const EffectSettings& s = look.settings;
    if (s.checkColorTable != 1 || s.textFieldColorTable.empty()) return {};
    const auto table = ColorTable::load(s.textFieldColorTable);
    if (!table) return Error{table.error()};
    return {};
}

int runExportLut(const CliOptions& options) {
    if (const Status target = checkExportTarget(options); !target) return refuse(target.error());
    const auto look = resolveLook(options);
    if (!look) return refuse(look.error());
    if (const Status table = checkColorTableOf(*look); !table) return refuse(table.error());
    const std::vector<std::string_view> leftOut = stepsLeftOutOfTable(look->settings);
    if (!leftOut.empty())
        refuse("left out of the table, since they depend on neighbouring pixels or position: " +
                   joinedNames(leftOut),
               kExitSuccess);
    const fs::path& out = *options.exportLut;
    const std::string cube = lookTableCube(look->settings, options.lutSize, out.stem().string());
    if (const Status written = writeFileAtomically(out, cube); !written)
        return refuse("cannot write " + quotedPath(out) + ": " + written.error(), kExitRenderFailed);
    return kExitSuccess;
}

}  // namespace tintreel
