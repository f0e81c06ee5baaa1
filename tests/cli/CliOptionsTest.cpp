// The command line read into options and looks, and the plan of a run of
// many inputs, without rendering anything.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "cli/CliProgram.h"
#include "imaging/FontChoice.h"
#include "platform/system/TemporaryDirectory.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

CliOptions parsed(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_TRUE(result) << result.error();
    return result ? *result : CliOptions{};
}

// The words of a command line written with single spaces.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> result;
    for (const QString& word : QString::fromStdString(line).split(' ')) result.push_back(word.toStdString());
    return result;
}

CliOptions parsed(const std::string& line) {
    return parsed(words(line));
}

CliExit exited(const std::string& line) {
    auto result = parseCommandLine(words(line));
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
    EXPECT_EQ(movie.settingsFile, fs::path("look.tintreel"));
    EXPECT_EQ(movie.logo, fs::path("logo.png"));
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
    EXPECT_EQ(attached.settingsFile, fs::path("look.tintreel"));

    EXPECT_EQ(parsed("-o out.mp4 -- -clip.mov").input, "-clip.mov");
    const CliOptions dashed = parsed("-o out/ -- --a.mov -y");
    EXPECT_EQ(dashed.inputs, (std::vector<fs::path>{"--a.mov", "-y"}));
    EXPECT_FALSE(dashed.overwrite);

    const CliOptions batch = parsed("-j 3 --skip-existing --recursive --progress json -o out a.mov folder");
    EXPECT_EQ(batch.jobs, 3);
    EXPECT_TRUE(batch.skipExisting && batch.recursive);
    EXPECT_EQ(batch.progress, ProgressFormat::Json);
    EXPECT_EQ(batch.inputs, (std::vector<fs::path>{"a.mov", "folder"}));
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

// --from, --to and --cut: each way of writing a time, and every mistake refused in one line.
TEST(CliOptions, InAndOutPoints) {
    const CliOptions span = parsed("--from 1:02.5 --to=0:01:10 --cut keyframes -o out.mp4 in.mov");
    EXPECT_EQ(span.span, (MovieSpan{62.5, 70.0}));
    EXPECT_EQ(span.cut, CutMode::KeyFrames);
    EXPECT_EQ(parsed("--to 12.5 -o out.mp4 in.mov").span, (MovieSpan{0.0, 12.5}));
    EXPECT_TRUE(parsed("-o out.mp4 in.mov").span.isWhole());
    EXPECT_EQ(parsed("-o out.mp4 in.mov").cut, CutMode::Exact);
    EXPECT_EQ(parsed("--from 3 -o out/ a.mov b.mov").span.in, 3.0);  // a batch: each input
    const std::pair<const char*, const char*> mistakes[] = {
        {"--from 5 --to 5 -o x.mp4 in.mov", "not before"},
        {"--from 6 --to 5 -o x.mp4 in.mov", "not before"},
        {"--from soon -o x.mp4 in.mov", "--from takes a time"},
        {"--to -3 -o x.mp4 in.mov", "--to takes a time"},
        {"--to=1:75 -o x.mp4 in.mov", "--to takes a time"},
        {"--cut fast -o x.mp4 in.mov", "--cut takes exact or keyframes"},
        {"--from 2 --still 1 -o s.png in.mov", "--still"},
        {"--from 2 --segment 1/2 --cut keyframes -o p.mkv in.mov", "--segment cuts to the frame"},
        {"--to 2 --join -o x.mp4 --audio-from in.mov p.mkv", "--join"},
    };
    for (const auto& [line, why] : mistakes) {
        SCOPED_TRACE(line);
        const CliExit exit = exited(line);
        EXPECT_EQ(exit.status, kExitBadInput);
        EXPECT_NE(exit.message.find(why), std::string::npos) << exit.message;
        EXPECT_EQ(exit.message.find('\n'), std::string::npos);
    }
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
                          std::optional<fs::path> file = std::nullopt) {
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

// Planning a run of many inputs, without rendering: which files a folder
// gives, where each output goes, and the refusals that come before any job.

// The plan's outputs, relative to `base`, or the refusal.
std::vector<std::string> outputsOf(const std::vector<std::string>& args, const fs::path& base) {
    const CliOptions options = parsed(args);
    const Result<BatchPlan> planned = planRun(options);
    if (!planned) return {"refused: " + planned.error()};
    const BatchPlan& plan = *planned;
    if (!plan.single)
        if (const Status batch = checkBatch(options, plan); !batch) return {"refused: " + batch.error()};
    std::vector<std::string> outputs;
    for (const PlannedJob& job : plan.jobs) outputs.push_back(job.output.lexically_relative(base).string());
    return outputs;
}

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

class BatchPlanning : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-plan-");
        for (const char* name :
             {"in/b.mov", "in/a.MKV", "in/notes.txt", "in/.hidden.mp4", "in/x.mp4.412-0.partial.mp4",
              "in/sub/c.mp4", "in/sub/deeper/d.avi", "in/.cache/e.mp4"})
            touch(dir_ / name);
        fs::create_directories(dir_ / "out");
    }
    std::string p(const char* relative) const { return (dir_ / relative).string(); }
    std::vector<std::string> outputs(const std::vector<std::string>& args) const {
        return outputsOf(args, dir_);
    }

    fs::path dir_;
};

TEST_F(BatchPlanning, FoldersGiveTheirMoviesAndAnOutputFolderKeepsNamesAndContainers) {
    EXPECT_EQ(outputs({"-o", p("out"), p("in")}), (std::vector<std::string>{"out/a.MKV", "out/b.mov"}));
    EXPECT_EQ(outputs({"--recursive", "-o", p("out"), p("in")}),
              (std::vector<std::string>{"out/a.MKV", "out/b.mov", "out/sub/c.mp4", "out/sub/deeper/d.mp4"}));
    // A container that cannot hold the asked codec gives way to MP4.
    EXPECT_EQ(outputs({"--codec", "av1", "-o", p("out"), p("in")}),
              (std::vector<std::string>{"out/a.MKV", "out/b.mp4"}));
    // Without an output folder --recursive writes where the template says.
    EXPECT_EQ(outputs({"--recursive", "-o", "{dir}/{name}_look.mp4", p("in/sub")}),
              (std::vector<std::string>{"in/sub/c_look.mp4", "in/sub/deeper/d_look.mp4"}));
    // An output folder inside the input folder is not searched.
    touch(dir_ / "in/out/old.mp4");
    EXPECT_EQ(outputs({"--recursive", "-o", p("in/out"), p("in/sub")}),
              (std::vector<std::string>{"in/out/c.mp4", "in/out/deeper/d.mp4"}));
    EXPECT_EQ(outputs({"--recursive", "-o", p("in/out"), p("in")}).size(), 4u);
}

TEST_F(BatchPlanning, TemplatesFillEveryField) {
    EXPECT_EQ(outputs({"-o", p("out/{n}-{name}.{ext}.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}),
              (std::vector<std::string>{"out/1-b.mov.mp4", "out/2-c.mp4.mp4"}));
    EXPECT_EQ(outputs({"-o", "{dir}/{name}_look.mp4", p("in/b.mov")}),
              (std::vector<std::string>{"in/b_look.mp4"}));
    auto expanded = expandOutputTemplate("{name}-{n}.mp4", "clip.tar.mov", 7);
    EXPECT_EQ(*expanded, "clip.tar-7.mp4");
    EXPECT_EQ(*expandOutputTemplate("{dir}/x.mp4", "clip.mov", 1), "./x.mp4");
    EXPECT_NE(expandOutputTemplate("{base}.mp4", "a.mov", 1).error().find("no field {base}"),
              std::string::npos);
    EXPECT_NE(expandOutputTemplate("out/{name.mp4", "a.mov", 1).error().find("without its }"),
              std::string::npos);
}

TEST_F(BatchPlanning, CollisionsAndOutputsThatAreInputsAreRefusedBeforeAnything) {
    touch(dir_ / "in/b_look.mov");
    fs::create_directories(dir_ / "b");
    touch(dir_ / "empty/notes.txt");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-o", p("out/same.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}, "would both write"},
        // The same file twice, once directly and once through its folder.
        {{"-o", p("out"), p("in/b.mov"), p("in")}, "would both write"},
        {{"-y", "-o", "{dir}/{name}.{ext}", p("in/b.mov"), p("in/sub/c.mp4")}, "this run reads"},
        // b's output would be the other input, b_look.mov, even with -y.
        {{"-y", "-o", "{dir}/{name}_look.mov", p("in/b.mov"), p("in/b_look.mov")}, "this run reads"},
        // A template naming a container that cannot hold the asked codec.
        {{"--codec", "h265", "-o", p("out/{name}.webm"), p("in/b.mov"), p("in/sub/c.mp4")}, "cannot write"},
        {{"-o", p("missing/{name}.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}, "no folder"},
        // A folder that is not there, written as one, is named as missing.
        {{"-o", p("missing") + "/", p("in/b.mov"), p("in/sub/c.mp4")}, "no folder"},
        {{"-o", p("{name}"), p("in/b.mov"), p("in/sub/c.mp4")}, "is a folder"},
        {{"-o", p("out"), p("empty")}, "no movies"}};
    for (const auto& [args, why] : cases) {
        const std::vector<std::string> result = outputs(args);
        SCOPED_TRACE(args[1] + " " + args[2]);
        ASSERT_EQ(result.size(), 1u);
        EXPECT_TRUE(result[0].starts_with("refused: ")) << result[0];
        EXPECT_NE(result[0].find(why), std::string::npos) << result[0];
    }
}

TEST_F(BatchPlanning, AListGivesItsLinesAndIndexOneOfThem) {
    std::ofstream(dir_ / "files.txt") << p("in/b.mov") << "\r\n\n" << p("in/sub/c.mp4") << "\n";
    EXPECT_EQ(outputs({"--list", p("files.txt"), "-o", p("out/{n}_{name}.mp4")}),
              (std::vector<std::string>{"out/1_b.mp4", "out/3_c.mp4"}));
    EXPECT_EQ(outputs({"--list", p("files.txt"), "--index", "3", "-o", p("out")}),
              (std::vector<std::string>{"out/c.mp4"}));
    EXPECT_NE(outputs({"--list", p("files.txt"), "--index", "2", "-o", p("out")})[0].find("is empty"),
              std::string::npos);
    EXPECT_NE(outputs({"--list", p("files.txt"), "--index", "4", "-o", p("out")})[0].find("fewer lines"),
              std::string::npos);
    EXPECT_NE(outputs({"--list", p("nothing.txt"), "-o", p("out")})[0].find("cannot read"),
              std::string::npos);
}

}  // namespace
}  // namespace tintreel
