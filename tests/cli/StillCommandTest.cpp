// The still mode of tintreel-render on generated pictures: the written picture
// equals the chain's result (and ffprobe reads it), and every bad input ends
// with status 2 and one line on standard error rather than a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/CliProgram.h"
#include "cli/StillCommand.h"
#include "imaging/FontChoice.h"
#include "imaging/ImageTools.h"
#include "platform/filters/Picture.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"

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
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 5);
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

}  // namespace
}  // namespace tintreel
