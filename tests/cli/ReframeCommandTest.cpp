// The crop, the reframe, the flips and the output presets through the real
// program. Pixels are judged against what ffmpeg's own crop, scale, pad and
// flip filters make of the same generated picture (PSNR by its psnr filter),
// sizes by ffprobe, and every bad value is refused with status 2 and nothing
// written.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/CliProgram.h"
#include "platform/media/RenderSettings.h"
#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

// PSNR (RGB, dB) of `ours`, first cut by `cut` (an ffmpeg filter, or
// "null"), against `reference`.
std::optional<double> psnrOf(const fs::path& reference, const fs::path& ours, const std::string& cut) {
    const auto text = test::runCommand(
        "ffmpeg -nostdin -i '" + reference.string() + "' -i '" + ours.string() + "' -lavfi '[1:v]" + cut +
        "[c];[0:v]format=gbrp[a];[c]format=gbrp[b];[a][b]psnr' -f null - 2>&1");
    if (!text) return std::nullopt;
    const std::size_t at = text->rfind("average:");
    if (at == std::string::npos) return std::nullopt;
    return std::atof(text->c_str() + at + 8);
}

std::string sizeOf(const fs::path& file) {
    const std::optional<test::StreamFacts> facts = test::probeStream(file, "v:0");
    return facts ? std::to_string(facts->width) + "x" + std::to_string(facts->height) : "none";
}

class ReframeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("reframe-");
        // Odd sizes, one landscape and one portrait picture.
        for (const auto& [name, size] : {std::pair("land.png", "321x181"), std::pair("port.png", "181x321")})
            ASSERT_TRUE(
                test::runCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=" + std::string(size) +
                                 ":r=1:d=1 -frames:v 1 '" + (dir_ / name).string() + "'"));
    }

    fs::path dir_;
};

// Our still against ffmpeg's filters on the same picture. Crop and flips
// move pixels, so they must match exactly. Scaling uses the same linear
// kernel as ffmpeg's bilinear scaler; its fixed-point rounding puts a level
// here and there (about 70 dB measured), so 45 dB, under one level of
// error on every pixel (48 dB), still catches a kernel, size or offset that
// differs. The blurred copy has no ffmpeg twin: only its fitted middle is compared.
TEST_F(ReframeCommand, StillsMatchFfmpegsCropScaleAndPad) {
    const struct {
        std::string name, input;
        QString options;
        std::string reference;  // ffmpeg's filters on the input
        std::string cut;        // what of our picture is compared
        std::string size;
        double least;
    } cases[] = {
        {"crop", "land.png", "--crop 100:61:33:17", "crop=100:61:33:17", "null", "100x61", 99},
        {"flips", "port.png", "--set checkFlipHorizontal=1 --set checkFlipVertical=1", "hflip,vflip", "null",
         "181x321", 99},
        {"bars", "land.png", "--aspect 9:16 --fill bars",
         "scale=180:101:flags=bilinear,pad=180:322:0:110:color=black", "null", "180x322", 45},
        {"white bars", "port.png", "--aspect 16:9 --fill bars:white",
         "scale=101:180:flags=bilinear,pad=322:180:110:0:color=white", "null", "322x180", 45},
        {"fill portrait", "port.png", "--aspect 16:9", "crop=181:101:0:110,scale=322:180:flags=bilinear",
         "null", "322x180", 45},
        {"fill at a corner", "land.png", "--aspect 1:1 --focus 0,0",
         "crop=181:181:0:0,scale=322:322:flags=bilinear", "null", "322x322", 45},
        {"crop then fill", "land.png", "--crop 200:100:50:40 --aspect 4:5 --focus 1,0.5",
         "crop=200:100:50:40,crop=80:100:120:0,scale=160:200:flags=bilinear", "null", "160x200", 45},
        {"blur", "land.png", "--aspect 9:16 --fill blur", "scale=180:101:flags=bilinear",
         "crop=180:101:0:110", "180x322", 45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path ours = dir_ / ("ours " + c.name + ".png");
        const fs::path reference = dir_ / ("reference " + c.name + ".png");
        const test::CliRun run = test::runCli(
            QStringList{"--still", "-o", q(ours)} + c.options.split(' ') + QStringList{q(dir_ / c.input)},
            dir_);
        ASSERT_EQ(run.status, 0) << run.errors;
        ASSERT_TRUE(test::runCommand("ffmpeg -nostdin -v error -y -i '" + (dir_ / c.input).string() +
                                     "' -vf 'format=rgb24," + c.reference + "' '" + reference.string() +
                                     "'"));
        EXPECT_EQ(sizeOf(ours), c.size);
        const std::optional<double> psnr = psnrOf(reference, ours, c.cut);
        ASSERT_TRUE(psnr);
        EXPECT_GE(*psnr, c.least);
    }
}

// The movie's frame is the still of the same look: a 4:2:0 encode of
// this sharp-edged pattern costs it about 22 dB, while the other fills
// score under 10 dB against it.
TEST_F(ReframeCommand, TheMovieShowsWhatTheStillShows) {
    const fs::path clip =
        test::makeClip("-f lavfi -i testsrc=s=321x181:r=10:d=1 -pix_fmt rgb24 -c:v ffv1", "mkv");
    ASSERT_FALSE(clip.empty());
    const QStringList look{"--aspect", "9:16", "--fill", "blur"};
    ASSERT_EQ(
        test::runCli(QStringList{"-o", q(dir_ / "movie.mp4")} + look + QStringList{q(clip)}, dir_).status, 0);
    EXPECT_EQ(sizeOf(dir_ / "movie.mp4"), "180x322");
    for (const auto& [fill, least, most] : {std::tuple("blur", 20.0, 99.0), std::tuple("bars", 0.0, 15.0)}) {
        const fs::path still = dir_ / (std::string(fill) + ".png");
        ASSERT_EQ(
            test::runCli({"--still", "0", "-o", q(still), "--aspect", "9:16", "--fill", fill, q(clip)}, dir_)
                .status,
            0);
        const std::optional<double> psnr = psnrOf(still, dir_ / "movie.mp4", "null");
        ASSERT_TRUE(psnr);
        EXPECT_GE(*psnr, least) << fill;
        EXPECT_LE(*psnr, most) << fill;
    }
}

// A landscape and a portrait clip through a profile that reframes to 9:16:
// one size from both, and exactly the preset's with --preset, scaled up. A
// crop that one of them cannot take fails that job alone, with a line saying why.
TEST_F(ReframeCommand, ABatchGivesOneSizeThroughAProfileAndACropFailsOnlyTheJobsItDoesNotFit) {
    const fs::path in = dir_ / "in";
    fs::create_directories(in);
    for (const auto& [name, size] : {std::pair("land.mp4", "320x180"), std::pair("port.mp4", "180x320")})
        fs::copy_file(test::makeClip("-f lavfi -i testsrc2=s=" + std::string(size) +
                                         ":r=10:d=1 -pix_fmt yuv420p -c:v libx264",
                                     "mp4"),
                      in / name);
    EffectSettings look = defaultEffectSettings();
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeAspect", "9:16"));
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeFill", "Fit on Blurred Copy"));
    std::ofstream(dir_ / "vertical.tintreel") << renderSettingsRecord(look);

    for (const auto& [preset, size] : {std::pair("", "180x320"), std::pair("vertical-1080", "1080x1920"),
                                       std::pair("Vertical 1080\u00D71920", "1080x1920")}) {
        const fs::path out = dir_ / ("out" + std::to_string(std::string(preset).size()));
        fs::create_directories(out);
        QStringList arguments{"-j", "2", "-s", q(dir_ / "vertical.tintreel"), "-o", q(out), q(in)};
        if (*preset) arguments << "--preset" << QString::fromUtf8(preset);
        const test::CliRun run = test::runCli(arguments, dir_);
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(sizeOf(out / "land.mp4"), size) << preset;
        EXPECT_EQ(sizeOf(out / "port.mp4"), size) << preset;
    }
    // An explicit aspect and height win over the preset.
    const test::CliRun run = test::runCli({"--preset", "4k", "--aspect", "1:1", "--height", "120", "-o",
                                           q(dir_ / "square.mp4"), q(in / "land.mp4")},
                                          dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(sizeOf(dir_ / "square.mp4"), "120x120");

    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    const test::CliRun cropped = test::runCli({"--crop", "200:100:10:10", "-o", q(out), q(in)}, dir_);
    EXPECT_EQ(cropped.status, 1) << cropped.errors;
    EXPECT_EQ(sizeOf(out / "land.mp4"), "200x100");
    EXPECT_FALSE(fs::exists(out / "port.mp4"));
    EXPECT_NE(cropped.errors.find("port.mp4"), std::string::npos) << cropped.errors;
    EXPECT_NE(cropped.errors.find("the crop 200:100:10:10 does not fit the 180x320 frame"), std::string::npos)
        << cropped.errors;
}

TEST_F(ReframeCommand, BadValuesAreRefusedAndNothingIsWritten) {
    const fs::path clip =
        test::makeClip("-f lavfi -i testsrc2=s=320x180:r=10:d=1 -pix_fmt yuv420p -c:v libx264", "mp4");
    const std::pair<QString, std::string> cases[] = {
        {"--crop 100:100:300:0", "the crop 100:100:300:0 does not fit the 320x180 frame"},
        {"--crop 0:10:0:0", "--crop takes W:H:X:Y"},
        {"--crop 10:10:-1:0", "--crop takes W:H:X:Y"},
        {"--crop 10:10:0", "--crop takes W:H:X:Y"},
        {"--aspect 0:5", "--aspect takes original or W:H"},
        {"--aspect -16:9", "--aspect takes original or W:H"},
        {"--aspect wide", "--aspect takes original or W:H"},
        {"--preset vertical", "--preset takes one of the presets"},
        {"--fill stretch", "--fill takes crop, blur or bars[:COLOR]"},
        {"--fill bars:#12345", "--fill bars:COLOR takes #rrggbb or a colour name"},
        {"--fill bars:notacolour", "--fill bars:COLOR takes #rrggbb or a colour name"},
        {"--fill blur:red", "--fill takes a colour only with bars"},
        {"--focus 1.5,0.5", "--focus takes X,Y with both from 0 to 1"},
        {"--focus 0.5", "--focus takes X,Y with both from 0 to 1"},
        {"--focus 0.5,-0.1", "--focus takes X,Y with both from 0 to 1"},
    };
    for (const auto& [options, why] : cases) {
        SCOPED_TRACE(why);
        const fs::path output = dir_ / "out.mp4";
        test::expectRefusal(
            test::runCli(QStringList{"-o", q(output)} + options.split(' ') + QStringList{q(clip)}, dir_),
            why);
        EXPECT_FALSE(fs::exists(output));
    }
}

TEST_F(ReframeCommand, HelpListsEveryPreset) {
    const test::CliRun run = test::runCli({"--help"}, dir_);
    ASSERT_EQ(run.status, 0);
    for (const OutputPreset& preset : outputPresets()) {
        EXPECT_NE(run.output.find(std::string(preset.name)), std::string::npos) << preset.name;
        EXPECT_NE(run.output.find(std::string(preset.label)), std::string::npos) << preset.name;
    }
}

}  // namespace
}  // namespace tintreel
