// The still mode of tintreel-render on generated pictures: the written PNG
// equals the chain's result (and ffprobe reads it), and every bad input ends
// with status 2 and one line on standard error rather than a crash.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fstream>

#include "cli/StillCommand.h"
#include "imaging/FontChoice.h"
#include "imaging/ImageTools.h"
#include "platform/filters/Picture.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

class StillCommand : public ::testing::Test {
protected:
    void SetUp() override {
        // One directory per test: CTest runs the cases of this fixture side by side.
        dir_ = fs::path(TINTREEL_TEST_WORK_DIR) / "still-command" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Image picture(64, 48);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                std::uint8_t* p = picture.pixel(x, y);
                p[0] = static_cast<std::uint8_t>(x * 4), p[1] = static_cast<std::uint8_t>(y * 5), p[2] = 90,
                p[3] = 255;
            }
        picture_ = picture;
        ASSERT_TRUE(savePng(picture, (dir_ / "in.png").string()));
        std::ofstream(dir_ / "broken.png") << "not a picture";
    }

    CliOptions options(const fs::path& input) const {
        CliOptions o;
        o.input = input;
        o.output = dir_ / "out.png";
        o.still = true;
        return o;
    }

    // Runs the real program; returns its status and standard error.
    std::pair<int, QString> runProgram(const QStringList& arguments) const {
        QProcess process;
        process.start(QString(TINTREEL_RENDER_PATH), arguments);
        process.waitForFinished(60000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    fs::path dir_;
    Image picture_;
};

TEST_F(StillCommand, WritesTheChainResultAsPng) {
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    settings.checkVignette = 1;
    ASSERT_EQ(runStillPicture(options(dir_ / "in.png"), settings), kExitSuccess);
    const Result<Image> written = loadPicture((dir_ / "out.png").string());
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, ApplyEffectChain(settings, picture_, Image(), 0.0));
    EXPECT_FALSE(fs::exists(dir_ / "out.png.partial"));

    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,width,height", "-of",
                            "csv=p=0", QString::fromStdString((dir_ / "out.png").string())});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), "png,64,48");
}

// The picture's format follows OUTPUT's name; a name of any other kind is refused.
TEST_F(StillCommand, WritesJpegUnderJpegNamesAndRefusesOtherNames) {
    const QString in = QString::fromStdString((dir_ / "in.png").string());
    for (const auto& [name, codec] :
         {std::pair{"s.jpg", "mjpeg"}, std::pair{"s.JPEG", "mjpeg"}, std::pair{"s.png", "png"}}) {
        const QString out = QString::fromStdString((dir_ / name).string());
        const auto [status, errors] = runProgram({"--still", "--set", "checkSepia=1", "-o", out, in});
        ASSERT_EQ(status, kExitSuccess) << errors.toStdString();
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,width,height", "-of",
                                "csv=p=0", out});
        ASSERT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toStdString(),
                  std::string(codec) + ",64,48")
            << name;
    }
    for (const char* name : {"s.gif", "s.webp", "still"}) {
        const auto [status, errors] =
            runProgram({"--still", "-o", QString::fromStdString((dir_ / name).string()), in});
        EXPECT_EQ(status, kExitBadInput) << name;
        EXPECT_TRUE(errors.contains("must end in .png, .jpg or .jpeg")) << errors.toStdString();
        EXPECT_FALSE(fs::exists(dir_ / name));
    }
}

TEST_F(StillCommand, UnreadableInputsGiveStatusTwo) {
    const EffectSettings settings = defaultEffectSettings();
    EXPECT_EQ(runStillPicture(options(dir_ / "broken.png"), settings), kExitBadInput);
    EXPECT_EQ(runStillPicture(options(dir_ / "missing.png"), settings), kExitBadInput);
    CliOptions withLogo = options(dir_ / "in.png");
    withLogo.logo = dir_ / "broken.png";
    EXPECT_EQ(runStillPicture(withLogo, settings), kExitBadInput);
    EXPECT_FALSE(fs::exists(dir_ / "out.png"));
    CliOptions nowhere = options(dir_ / "in.png");
    nowhere.output = dir_ / "no-such-dir" / "out.png";
    EXPECT_EQ(runStillPicture(nowhere, settings), kExitRenderFailed);
}

TEST_F(StillCommand, ProgramReportsErrorsOnOneLine) {
    const QString in = QString::fromStdString((dir_ / "in.png").string());
    const QString out = QString::fromStdString((dir_ / "cli.png").string());
    const QString logo = QString::fromStdString((dir_ / "in.png").string());
    auto [ok, okErr] = runProgram({"--still", "-o", out, "--set", "checkSepia=1", "--set",
                                   "checkImageWatermark=1", "--logo", logo, in});
    EXPECT_EQ(ok, 0) << okErr.toStdString();
    EXPECT_TRUE(fs::exists(dir_ / "cli.png"));
    const QString broken = QString::fromStdString((dir_ / "broken.png").string());
    for (const QStringList& args :
         {QStringList{"--still", "-y", "-o", out, broken},
          QStringList{"--still", "-y", "-o", out, "--logo", broken, in},
          QStringList{"--still", "-y", "-o", out, "--set", "noSuchControl=1", in}}) {
        auto [status, err] = runProgram(args);
        EXPECT_EQ(status, 2) << args.join(' ').toStdString();
        // Exactly one line of ours (Qt may add its own environment notices).
        EXPECT_EQ(err.count("tintreel-render: "), 1) << err.toStdString();
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
    const QString out = QString::fromStdString((dir_ / "out.png").string());
    const auto [status, errors] =
        runProgram({"--still", "-s", QString::fromStdString((dir_ / "missing.tintreel").string()), "-o", out,
                    QString::fromStdString((dir_ / "in.png").string())});
    ASSERT_EQ(status, kExitSuccess) << errors.toStdString();
    const std::string drawn = drawnFontFamily(settings.textFontFamily);
    EXPECT_EQ(
        errors.trimmed().toStdString(),
        "tintreel-render: The font \"Tintreel Test Family That Is Not Installed\" is not installed; \"" +
            drawn + "\" draws the text instead.");
    EffectSettings substitute = settings;
    substitute.textFontFamily = drawn;
    EXPECT_EQ(*loadPicture(out.toStdString()), ApplyEffectChain(substitute, picture_, Image(), 0.0));

    // An installed family, or no text watermark at all, leaves nothing to say.
    const auto [installed, quiet] = runProgram({"--still", "-y", "--set", "checkTextWatermark=1", "--set",
                                                QString::fromStdString("comboTextFontType=" + drawn), "-o",
                                                out, QString::fromStdString((dir_ / "in.png").string())});
    EXPECT_EQ(installed, kExitSuccess);
    EXPECT_TRUE(quiet.trimmed().isEmpty()) << quiet.toStdString();
}

}  // namespace
}  // namespace tintreel
