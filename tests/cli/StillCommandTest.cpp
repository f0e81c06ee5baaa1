// The still mode of tintreel-render on generated pictures: the written picture
// equals the chain's result (and ffprobe reads it), and every bad input ends
// with status 2 and one line on standard error rather than a crash; and
// colour tables applied to a still and exported.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/CliProgram.h"
#include "cli/StillCommand.h"
#include "imaging/FontChoice.h"
#include "imaging/ImageTools.h"
#include "platform/filters/ColorTable.h"
#include "platform/filters/Picture.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"
#include "support/ColorTableFixtures.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

// Codec and size of the picture ffprobe reads in `file`.
std::string probed(const fs::path& file) {
    return test::runCommand("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                            file.string() + "'")
        .value_or("");
}

class StillCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("still-command-");
        ASSERT_TRUE(test::writePicture(dir_ / "in.png"));
        const Result<Image> picture = loadPicture((dir_ / "in.png").string());
        ASSERT_TRUE(picture);
        picture_ = *picture;
        std::ofstream(dir_ / "broken.png") << "not a picture";
    }

    test::CliRun runProgram(const QStringList& arguments) const { return test::runCli(arguments, dir_); }

    fs::path dir_;
    Image picture_;
};

// The program refuses a missing folder before it renders; one that goes
// after that check fails the render instead.
TEST_F(StillCommand, AnOutputFolderThatIsGoneFailsTheRender) {
    CliOptions options;
    options.input = dir_ / "in.png";
    options.output = dir_ / "no-such-dir" / "out.png";
    options.still = true;
    EXPECT_EQ(runStillPicture(options, defaultEffectSettings()), kExitRenderFailed);
}

// The picture's format follows OUTPUT's name; a name of any other kind, like
// any bad input, is refused with status 2 and one line.
TEST_F(StillCommand, TheProgramWritesTheFormatItsNameSaysAndRefusesOnOneLine) {
    const QString in = q(dir_ / "in.png");
    for (const auto& [name, codec] :
         {std::pair{"s.jpg", "mjpeg"}, std::pair{"s.JPEG", "mjpeg"}, std::pair{"s.png", "png"}}) {
        const test::CliRun run = runProgram({"--still", "--set", "checkSepia=1", "-o", q(dir_ / name), in});
        ASSERT_EQ(run.status, kExitSuccess) << run.errors;
        EXPECT_EQ(probed(dir_ / name), std::string(codec) + ",64,48\n") << name;
    }
    // Only the pictures: nothing partial is left beside them.
    EXPECT_EQ(test::entryCount(dir_), 5);
    for (const char* name : {"s.gif", "s.webp", "still"}) {
        const test::CliRun run = runProgram({"--still", "-o", q(dir_ / name), in});
        EXPECT_EQ(run.status, kExitBadInput) << name;
        EXPECT_NE(run.errors.find("must end in .png, .jpg or .jpeg"), std::string::npos) << run.errors;
        EXPECT_FALSE(fs::exists(dir_ / name));
    }

    const QString out = q(dir_ / "cli.png");
    const test::CliRun logo = runProgram(
        {"--still", "-o", out, "--set", "checkSepia=1", "--set", "checkImageWatermark=1", "--logo", in, in});
    EXPECT_EQ(logo.status, 0) << logo.errors;
    EXPECT_TRUE(fs::exists(dir_ / "cli.png"));
    const QString broken = q(dir_ / "broken.png");
    for (const QStringList& args :
         {QStringList{"--still", "-y", "-o", out, broken},
          QStringList{"--still", "-y", "-o", out, q(dir_ / "missing.png")},
          QStringList{"--still", "-y", "-o", out, "--logo", broken, in},
          QStringList{"--still", "-y", "-o", out, "--set", "noSuchControl=1", in}}) {
        const test::CliRun run = runProgram(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        // Exactly one line of ours (Qt may add its own environment notices).
        EXPECT_EQ(test::ourLines(run.errors), 1) << run.errors;
    }
}

// A profile naming a font family that is not installed still renders; the
// program says once which family drew the text, and the still is the one
// drawn by that family.
TEST_F(StillCommand, AMissingFontIsNamedWithTheFamilyThatDraws) {
    EffectSettings settings = defaultEffectSettings();
    settings.checkTextWatermark = 1;
    settings.stepperTextFontSize = 20;
    settings.textFontFamily = "Tintreel Test Family That Is Not Installed";
    std::ofstream(dir_ / "missing.tintreel") << renderSettingsRecord(settings);
    const QString out = q(dir_ / "out.png");
    const test::CliRun run =
        runProgram({"--still", "-s", q(dir_ / "missing.tintreel"), "-o", out, q(dir_ / "in.png")});
    ASSERT_EQ(run.status, kExitSuccess) << run.errors;
    const std::string drawn = drawnFontFamily(settings.textFontFamily);
    EXPECT_EQ(
        QString::fromStdString(run.errors).trimmed().toStdString(),
        "tintreel-render: The font \"Tintreel Test Family That Is Not Installed\" is not installed; \"" +
            drawn + "\" draws the text instead.");
    EffectSettings substitute = settings;
    substitute.textFontFamily = drawn;
    EXPECT_EQ(*loadPicture(out.toStdString()), ApplyEffectChain(substitute, picture_, Image(), 0.0));
}

// Colour tables on the command line: --lut on a still, the refusals of a
// table that cannot be used, and --export-lut judged by ffmpeg's lut3d and
// read back by OpenColorIO.
const char* const kInvert = "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";

class ColorTableCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("color-table-command-");
        png_ = test::photoLikePicture(dir_);
        std::ofstream(dir_ / "invert.cube") << kInvert;
        std::ofstream(dir_ / "broken.cube") << "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n";
    }
    test::CliRun run(const QStringList& arguments) const { return test::runCli(arguments, dir_); }
    Image picture(const fs::path& file) const {
        const Result<Image> read = loadPicture(file.string());
        EXPECT_TRUE(read.ok());
        return read.ok() ? *read : Image();
    }

    fs::path dir_, png_;
};

// --lut switches the table on at full strength; --set of the strength wins.
TEST_F(ColorTableCommand, LutAppliesTheTableToTheStill) {
    const fs::path full = dir_ / "full.png", none = dir_ / "none.png";
    ASSERT_EQ(run({"--still", "--lut", q(dir_ / "invert.cube"), "-o", q(full), q(png_)}).status, 0);
    ASSERT_EQ(run({"--still", "--lut", q(dir_ / "invert.cube"), "--set", "sliderColorTableStrength=0", "-o",
                   q(none), q(png_)})
                  .status,
              0);
    const Image in = picture(png_), inverted = picture(full), unchanged = picture(none);
    ASSERT_EQ(inverted.width(), in.width());
    EXPECT_EQ(unchanged, in);
    for (int x = 0; x < in.width(); x += 37) EXPECT_EQ(inverted.pixel(x, 7)[1], 255 - in.pixel(x, 7)[1]);
}

// A table that cannot be used stops the run before anything is written.
TEST_F(ColorTableCommand, RefusesATableThatCannotBeUsed) {
    const fs::path out = dir_ / "out.png";
    const std::pair<fs::path, const char*> cases[] = {
        {dir_ / "broken.cube", "broken.cube"}, {dir_ / "missing.cube", "missing.cube"}, {dir_, "folder"}};
    for (const auto& [table, why] : cases) {
        SCOPED_TRACE(table.string());
        const test::CliRun result = run({"--still", "--lut", q(table), "-o", q(out), q(png_)});
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.errors.find("color table"), std::string::npos) << result.errors;
        EXPECT_NE(result.errors.find(why), std::string::npos) << result.errors;
        EXPECT_FALSE(fs::exists(out));
    }
}

// The exported table, applied by ffmpeg, reproduces our own still of the
// same per-pixel look, and OpenColorIO reads it back.
TEST_F(ColorTableCommand, ExportedTableReproducesTheStill) {
    const QStringList look{"--set", "sliderBrightness=0.08",
                           "--set", "sliderSaturation=1.4",
                           "--set", "sliderGamma=1.3",
                           "--set", "checkSepia=1",
                           "--set", "sliderSepiaIntensity=0.4",
                           "--lut", q(dir_ / "invert.cube"),
                           "--set", "sliderColorTableStrength=0.3"};
    const fs::path cube = dir_ / "look.cube", still = dir_ / "still.png";
    const test::CliRun exported = run(QStringList{"--export-lut", q(cube)} + look);
    ASSERT_EQ(exported.status, 0) << exported.errors;
    ASSERT_EQ(run(QStringList{"--still", "-o", q(still)} + look + QStringList{q(png_)}).status, 0);
    const std::string text = test::fileContents(cube);
    EXPECT_NE(text.find("TITLE \"look\""), std::string::npos);
    EXPECT_NE(text.find("# sliderGamma = 1.3"), std::string::npos);
    EXPECT_NE(text.find("LUT_3D_SIZE 33\n"), std::string::npos);
    const auto theirs =
        test::ffmpegFrame(png_, 0, "lut3d=file=" + test::shellQuoted(cube) + ":interp=tetrahedral");
    ASSERT_TRUE(theirs);
    EXPECT_GE(test::colourPsnr(*theirs, picture(still)), 45.0);
    const auto readBack = ColorTable::load(cube);
    ASSERT_TRUE(readBack.ok()) << readBack.error();
    EXPECT_EQ((*readBack)->gridSize(), 33);
}

// Steps a table cannot hold are named; the grid size and OUT are checked first.
TEST_F(ColorTableCommand, ExportNamesWhatIsLeftOutAndChecksItsArguments) {
    const fs::path cube = dir_ / "small.cube";
    const test::CliRun blurred = run(
        {"--export-lut", q(cube), "--lut-size", "17", "--set", "checkBlur=1", "--set", "checkVignette=1"});
    ASSERT_EQ(blurred.status, 0) << blurred.errors;
    EXPECT_NE(blurred.errors.find("Vignette, Blur"), std::string::npos) << blurred.errors;
    const std::string text = test::fileContents(cube);
    EXPECT_NE(text.find("LUT_3D_SIZE 17\n"), std::string::npos);
    EXPECT_NE(text.find("left out (depends on neighbouring pixels or position): Blur"), std::string::npos);

    test::expectRefusal(run({"--export-lut", q(cube)}), "exists");
    EXPECT_EQ(run({"--export-lut", q(cube), "-y"}).status, 0);
    for (const char* size : {"16", "66", "x"})
        test::expectRefusal(run({"--export-lut", q(dir_ / "other.cube"), "--lut-size", size}), "--lut-size");
    test::expectRefusal(run({"--export-lut", q(dir_ / "other.cube"), q(png_)}), "no INPUT");
    test::expectRefusal(run({"--export-lut", q(dir_ / "other.cube"), "--lut", q(dir_ / "broken.cube")}),
                        "broken.cube");
    EXPECT_FALSE(fs::exists(dir_ / "other.cube"));
}

}  // namespace
}  // namespace tintreel
