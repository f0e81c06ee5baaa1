// Colour tables on the command line: --lut on a still, the refusals of a
// table that cannot be used, and --export-lut judged by ffmpeg's lut3d and
// read back by OpenColorIO.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/CliProgram.h"
#include "platform/filters/ColorTable.h"
#include "platform/filters/Picture.h"
#include "support/Clips.h"
#include "support/ColorTableFixtures.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

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
