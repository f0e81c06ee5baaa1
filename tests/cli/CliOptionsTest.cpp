#include <gtest/gtest.h>

#include <fstream>

#include "cli/CliOptions.h"
#include "cli/CliProgram.h"
#include "imaging/FontChoice.h"
#include "platform/system/TemporaryDirectory.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

// The command line `line`, split at spaces.
CliOptions parsed(const std::string& line) {
    auto result = parseCommandLine(test::words(line));
    EXPECT_TRUE(result) << result.error();
    return result ? *result : CliOptions{};
}

CliExit exited(const std::string& line) {
    auto result = parseCommandLine(test::words(line));
    EXPECT_FALSE(result);
    return result ? CliExit{-1, ""} : result.failure();
}

// Every valued option takes --option=value like --option value; "--" ends
// the options; --still names the picture format by its extension.
TEST(CliOptions, ParsesModesOptionsAndAssignmentsInOrder) {
    const CliOptions movie = parsed(
        "-o out.mp4 --set checkSepia=1 -s look.tintreel --set sliderSepiaIntensity=0.8 --logo logo.png "
        "in.mov");
    EXPECT_EQ(movie.input, "in.mov");
    EXPECT_EQ(movie.output, "out.mp4");
    EXPECT_EQ(movie.settingsFile, std::filesystem::path("look.tintreel"));
    EXPECT_EQ(movie.logo, std::filesystem::path("logo.png"));
    ASSERT_EQ(movie.assignments.size(), 2u);
    EXPECT_EQ(movie.assignments[1], (std::pair<std::string, std::string>{"sliderSepiaIntensity", "0.8"}));
    EXPECT_FALSE(movie.still);
    EXPECT_EQ(movie.passes, PassMode::One);
    EXPECT_FALSE(movie.overwrite);
    EXPECT_TRUE(parsed("-o x -y y").overwrite);
    EXPECT_TRUE(parsed("--overwrite -o x y").overwrite);
    EXPECT_EQ(parsed("--passes each -o x y").passes, PassMode::Each);
    EXPECT_EQ(parsed("--passes each --passes one -o x y").passes, PassMode::One);
    EXPECT_EQ(parsed("--set textFieldText=a=b -o x y").assignments[0].second, "a=b");

    const CliOptions picture = parsed("--still -o out.png photo.jpg");
    EXPECT_TRUE(picture.still);
    EXPECT_FALSE(picture.stillSeconds.has_value());
    const CliOptions frame = parsed("--still 2.5 -o out.png clip.mov");
    EXPECT_EQ(frame.stillSeconds, 2.5);
    EXPECT_EQ(frame.input, "clip.mov");
    EXPECT_EQ(parsed("--still=2.5 -o s.png in.mov").stillSeconds, 2.5);
    for (const char* still : {"s.png", "s.PNG", "s.jpg", "s.jpeg"})
        EXPECT_TRUE(parsed(std::string("--still -o ") + still + " in.mov").still) << still;
    EXPECT_EQ(stillFormatOf("s.JPG"), StillFormat::Jpeg);
    EXPECT_EQ(stillFormatOf("s.png"), StillFormat::Png);

    const CliOptions attached = parsed(
        "--height=720 --codec=h265 --set=checkSepia=1 --output=out.mp4 --jobs=3 --settings=look.tintreel "
        "in.mov");
    EXPECT_EQ(attached.render.maxHeight, 720);
    EXPECT_EQ(attached.render.codec, VideoCodec::H265);
    EXPECT_EQ(attached.assignments[0], (std::pair<std::string, std::string>{"checkSepia", "1"}));
    EXPECT_EQ(attached.output, "out.mp4");
    EXPECT_EQ(attached.jobs, 3);
    EXPECT_EQ(attached.settingsFile, std::filesystem::path("look.tintreel"));

    EXPECT_EQ(parsed("-o out.mp4 -- -clip.mov").input, "-clip.mov");
    const CliOptions dashed = parsed("-o out/ -- --a.mov -y");
    EXPECT_EQ(dashed.inputs, (std::vector<std::filesystem::path>{"--a.mov", "-y"}));
    EXPECT_FALSE(dashed.overwrite);

    const CliOptions batch = parsed("-j 3 --skip-existing --recursive --progress json -o out a.mov folder");
    EXPECT_EQ(batch.jobs, 3);
    EXPECT_TRUE(batch.skipExisting && batch.recursive);
    EXPECT_EQ(batch.progress, ProgressFormat::Json);
    EXPECT_EQ(batch.inputs, (std::vector<std::filesystem::path>{"a.mov", "folder"}));
    EXPECT_EQ(parsed("-j2 -o out a.mov").jobs, 2);
    EXPECT_EQ(parsed("-j 64 -o out/ a.mov b.mov").jobs, 64);
    EXPECT_EQ(parsed("--list files.txt --index 4 -o out").listIndex, 4);
}

TEST(CliOptions, HelpVersionAndMistakes) {
    EXPECT_EQ(exited("--help").status, kExitSuccess);
    EXPECT_NE(exited("-h").message.find("Usage:"), std::string::npos);
    EXPECT_NE(exited("--version").message.find(TINTREEL_VERSION), std::string::npos);
    // Command lines that are refused, split at " | ".
    const QString mistakes =
        "in.mov | -o out.mp4 | --bogus -o x in.mov | -o | -o x.mp4 -unknown.mov | -o x in.mov --passes | "
        "--set noequals -o x in.mov | --set =1 -o x in.mov | --passes two -o x in.mov | "
        "-o a.mp4 -o b.mp4 in.mov | -o a.mp4 --output=b.mp4 in.mov | --still=soon -o s.png in.mov | "
        "--height=tall -o x.mp4 in.mov | -j 65 -o out/ a.mov b.mov | -j65 -o out/ a.mov | -j 0 -o x a.mov | "
        "-j two -o x a.mov | --skip-existing -y -o x a.mov | --index 2 -o x a.mov | "
        "--list f.txt -o x a.mov | --progress xml -o x a.mov | --still -o x.png a.mov b.mov";
    for (const QString& row : mistakes.split(" | ")) {
        const std::string line = row.toStdString();
        SCOPED_TRACE(line);
        const CliExit exit = exited(line);
        EXPECT_EQ(exit.status, kExitBadInput);
        EXPECT_EQ(exit.message.find('\n'), std::string::npos) << "one line: " << exit.message;
    }
    EXPECT_NE(exited("-j 100 -o out/ a.mov").message.find("at most 64"), std::string::npos);
    EXPECT_NE(exited("-o a.mp4 -o b.mp4 in.mov").message.find("twice"), std::string::npos);
}

TEST(CliOptions, SetWinsOverTheFileWhichWinsOverTheDefaults) {
    auto dir = TemporaryDirectory::create();
    ASSERT_TRUE(dir);
    EffectSettings fromFile = defaultEffectSettings();
    fromFile.checkSepia = 1;
    fromFile.sliderSepiaIntensity = 0.3f;
    fromFile.sliderBrightness = 0.25f;
    const auto file = dir->path() / "look.tintreel";
    std::ofstream(file) << renderSettingsRecord(fromFile);

    CliOptions options;
    options.settingsFile = file;
    options.assignments = {{"sliderSepiaIntensity", "0.8"},
                           {"comboTextFontType", "Verdana"},
                           {"textFieldTextFontSize", "120"},
                           {"colorWellTextColor", "#ff0000"}};
    const auto resolved = resolveLook(options);
    ASSERT_TRUE(resolved) << resolved.error();
    const auto& s = resolved->settings;
    EXPECT_EQ(s.checkSepia, 1);
    EXPECT_EQ(s.sliderSepiaIntensity, 0.8f);
    EXPECT_EQ(s.sliderBrightness, 0.25f);
    EXPECT_EQ(s.comboTextFontType, 19);
    EXPECT_EQ(s.stepperTextFontSize, 120.0f);
    EXPECT_EQ(s.textFieldTextFontSize, "120");
    EXPECT_EQ(s.colorWellTextColor, (RgbColor{1, 0, 0, 1}));
    EXPECT_EQ(s.sliderContrast, 1.0f);
}

// A font family is set by name through the font pop-up's own name; the look
// carries a note only while the text watermark is on and the family it asks
// for is not installed.
TEST(CliOptions, AFontFamilyByNameAndTheNoteWhenItIsMissing) {
    CliOptions options;
    options.assignments = {{"comboTextFontType", "No Such Family Here"}};
    auto look = *resolveLook(options);
    EXPECT_EQ(look.settings.textFontFamily, "No Such Family Here");
    EXPECT_EQ(look.settings.comboTextFontType, 12);
    EXPECT_FALSE(look.fontNote) << "the text watermark is off";

    options.assignments.push_back({"checkTextWatermark", "1"});
    look = *resolveLook(options);
    ASSERT_TRUE(look.fontNote);
    EXPECT_EQ(look.fontNote->find("The font \"No Such Family Here\" is not installed"), 0u) << *look.fontNote;

    options.assignments.push_back({"comboTextFontType", drawnFontFamily("No Such Family Here")});
    look = *resolveLook(options);
    EXPECT_FALSE(look.fontNote) << *look.fontNote;
}

TEST(CliOptions, BadSettingsAreOneLineErrors) {
    const auto error = [](std::vector<std::pair<std::string, std::string>> assignments,
                          std::optional<std::filesystem::path> file = std::nullopt) {
        CliOptions options;
        options.assignments = std::move(assignments);
        options.settingsFile = std::move(file);
        const auto resolved = resolveLook(options);
        EXPECT_FALSE(resolved);
        return resolved ? std::string() : resolved.error();
    };
    EXPECT_NE(error({{"sliderNothing", "1"}}).find("unknown setting"), std::string::npos);
    EXPECT_NE(error({{"sliderSepiaIntensity", "lots"}}).find("not a number"), std::string::npos);
    EXPECT_NE(error({{"sliderVignetteRadius", "0.5"}}).find("outside"), std::string::npos);
    EXPECT_NE(error({{"checkSepia", "2"}}).find("not 0 or 1"), std::string::npos);
    EXPECT_NE(error({{"comboTextPosition", "Middle"}}).find("choices"), std::string::npos);
    EXPECT_NE(error({{"colorWellTextColor", "1,2,3"}}).find("colour"), std::string::npos);
    EXPECT_NE(error({{"buttonSelectImage", "x"}}).find("no value"), std::string::npos);
    // A line break of any kind would shift the later lines of a saved profile.
    for (const char* text : {"two\nlines", "form\ffeed", "next\u2028line", "end\r"})
        EXPECT_EQ(error({{"textFieldText", text}}), "--set textFieldText: a text cannot hold a line break");
    EXPECT_NE(error({}, "/nonexistent/look.tintreel").find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace tintreel
