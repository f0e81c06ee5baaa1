#include <gtest/gtest.h>

#include <fstream>

#include "cli/CliOptions.h"
#include "imaging/FontChoice.h"
#include "platform/system/TemporaryDirectory.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

CliOptions parsed(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_TRUE(result) << result.error();
    return result ? *result : CliOptions{};
}

CliExit exited(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_FALSE(result);
    return result ? CliExit{-1, ""} : result.failure();
}

TEST(CliOptions, ParsesModesOptionsAndAssignmentsInOrder) {
    const CliOptions movie = parsed({"-o", "out.mp4", "--set", "checkSepia=1", "-s", "look.tintreel", "--set",
                                     "sliderSepiaIntensity=0.8", "--logo", "logo.png", "in.mov"});
    EXPECT_EQ(movie.input, "in.mov");
    EXPECT_EQ(movie.output, "out.mp4");
    EXPECT_EQ(movie.settingsFile, std::filesystem::path("look.tintreel"));
    EXPECT_EQ(movie.logo, std::filesystem::path("logo.png"));
    ASSERT_EQ(movie.assignments.size(), 2u);
    EXPECT_EQ(movie.assignments[1], (std::pair<std::string, std::string>{"sliderSepiaIntensity", "0.8"}));
    EXPECT_FALSE(movie.still);
    EXPECT_EQ(movie.passes, PassMode::One);
    EXPECT_FALSE(movie.overwrite);
    EXPECT_TRUE(parsed({"-o", "x", "-y", "y"}).overwrite);
    EXPECT_TRUE(parsed({"--overwrite", "-o", "x", "y"}).overwrite);
    EXPECT_EQ(parsed({"--passes", "each", "-o", "x", "y"}).passes, PassMode::Each);
    EXPECT_EQ(parsed({"--passes", "each", "--passes", "one", "-o", "x", "y"}).passes, PassMode::One);

    const CliOptions picture = parsed({"--still", "-o", "out.png", "photo.jpg"});
    EXPECT_TRUE(picture.still);
    EXPECT_FALSE(picture.stillSeconds.has_value());
    const CliOptions frame = parsed({"--still", "2.5", "-o", "out.png", "clip.mov"});
    EXPECT_EQ(frame.stillSeconds, 2.5);
    EXPECT_EQ(frame.input, "clip.mov");
    EXPECT_EQ(parsed({"--set", "textFieldText=a=b", "-o", "x", "y"}).assignments[0].second, "a=b");
}

TEST(CliOptions, HelpVersionAndMistakes) {
    EXPECT_EQ(exited({"--help"}).status, kExitSuccess);
    EXPECT_NE(exited({"-h"}).message.find("Usage:"), std::string::npos);
    EXPECT_NE(exited({"--version"}).message.find(TINTREEL_VERSION), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"in.mov"}, {"-o", "out.mp4"}, {"--bogus", "-o", "x", "in.mov"},
             {"-o"}, {"--set", "noequals", "-o", "x", "in.mov"}, {"--set", "=1", "-o", "x", "in.mov"},
             {"--passes", "two", "-o", "x", "in.mov"}, {"-o", "x", "in.mov", "--passes"}}) {
        const CliExit exit = exited(args);
        EXPECT_EQ(exit.status, kExitBadInput);
        EXPECT_EQ(exit.message.find('\n'), std::string::npos) << "one line: " << exit.message;
    }
}

// Every valued option takes --option=value like --option value; "--" ends
// the options; --still names the picture format by its extension.
TEST(CliOptions, AttachedValuesTheEndOfOptionsAndStillFormats) {
    const CliOptions attached =
        parsed({"--height=720", "--codec=h265", "--set=checkSepia=1", "--output=out.mp4", "--jobs=3",
                "--settings=look.tintreel", "in.mov"});
    EXPECT_EQ(attached.render.maxHeight, 720);
    EXPECT_EQ(attached.render.codec, VideoCodec::H265);
    EXPECT_EQ(attached.assignments[0], (std::pair<std::string, std::string>{"checkSepia", "1"}));
    EXPECT_EQ(attached.output, "out.mp4");
    EXPECT_EQ(attached.jobs, 3);
    EXPECT_EQ(attached.settingsFile, std::filesystem::path("look.tintreel"));
    EXPECT_EQ(parsed({"--still=2.5", "-o", "s.png", "in.mov"}).stillSeconds, 2.5);

    const CliOptions dashed = parsed({"-o", "out.mp4", "--", "-clip.mov"});
    EXPECT_EQ(dashed.input, "-clip.mov");
    EXPECT_EQ(parsed({"-o", "out/", "--", "--a.mov", "-y"}).inputs,
              (std::vector<std::filesystem::path>{"--a.mov", "-y"}));
    EXPECT_FALSE(parsed({"-o", "out/", "--", "--a.mov", "-y"}).overwrite);

    EXPECT_EQ(parsed({"-j", "64", "-o", "out/", "a.mov", "b.mov"}).jobs, 64);
    for (const char* still : {"s.png", "s.PNG", "s.jpg", "s.jpeg"})
        EXPECT_TRUE(parsed({"--still", "-o", still, "in.mov"}).still) << still;
    EXPECT_EQ(stillFormatOf("s.JPG"), StillFormat::Jpeg);
    EXPECT_EQ(stillFormatOf("s.png"), StillFormat::Png);

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"-o", "a.mp4", "-o", "b.mp4", "in.mov"},
                                               {"-o", "a.mp4", "--output=b.mp4", "in.mov"},
                                               {"-j", "65", "-o", "out/", "a.mov", "b.mov"},
                                               {"-j65", "-o", "out/", "a.mov"},
                                               {"--still=soon", "-o", "s.png", "in.mov"},
                                               {"--height=tall", "-o", "x.mp4", "in.mov"},
                                               {"-o", "x.mp4", "-unknown.mov"}}) {
        const CliExit exit = exited(args);
        EXPECT_EQ(exit.status, kExitBadInput) << args[0] << " " << args[1] << " " << args[2];
    }
    EXPECT_NE(exited({"-j", "100", "-o", "out/", "a.mov"}).message.find("at most 64"), std::string::npos);
    EXPECT_NE(exited({"-o", "a.mp4", "-o", "b.mp4", "in.mov"}).message.find("twice"), std::string::npos);
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
    options.assignments = {{"sliderSepiaIntensity", "0.8"}, {"comboTextFontType", "Verdana"},
                           {"textFieldTextFontSize", "120"}, {"colorWellTextColor", "#ff0000"}};
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
