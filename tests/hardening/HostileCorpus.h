#pragma once
// The hostile and awkward inputs the hardening tests feed to every road into
// the editor: broken and truncated movies, odd formats and sizes, rotation
// tags, awkward file names, and pictures that are not pictures or are far too
// big. Everything is generated on first use into the build tree
// (TINTREEL_TEST_WORK_DIR/hostile) with ffmpeg or in code, never committed.
//
// Each file is written under a temporary name and renamed, so test processes
// running side by side share the corpus without seeing half a file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tintreel::test {

// What a sound editor does with an input.
enum class Verdict {
    Usable,   // it loads, previews and renders
    Refused,  // it is turned away with a message, nothing changes
    Either,   // damaged but partly readable: either outcome, as long as it is a clean one
};

struct HostileInput {
    std::string name;  // also the test's parameter name
    Verdict verdict;
    // Generates the file on first use and returns its path.
    std::function<std::filesystem::path()> make;
};

// Movie files, one per awkward case, each with one of the five movie
// extensions. Listing them is cheap: nothing is generated until make().
const std::vector<HostileInput>& hostileMovies();

// Watermark pictures (png, jpg, jpeg names): unreadable, empty, enormous.
const std::vector<HostileInput>& hostilePictures();

inline void PrintTo(const HostileInput& input, std::ostream* out) {
    *out << input.name;
}

// The corpus entry's name, for the names of parameterized tests.
inline std::string parameterName(const ::testing::TestParamInfo<HostileInput>& info) {
    return info.param.name;
}

// A short, healthy clip with sound that the fault and endurance tests render.
std::filesystem::path healthyClip();

}  // namespace tintreel::test
