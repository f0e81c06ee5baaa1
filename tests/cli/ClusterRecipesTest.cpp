// The recipes for many machines, run here on one: the Slurm array script
// with its task number set by hand, GNU parallel against the built-in batch,
// and a profile that carries its logo to wherever the job runs.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/CliProgram.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::q;

fs::path clip(int seconds, int frequency) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=" + d +
                              " -f lavfi -i sine=f=" + std::to_string(frequency) + ":d=" + d +
                              " -pix_fmt yuv420p -c:v libx264 -c:a aac",
                          "mov");
}

// The decoded pictures' checksum and the audio packets: what two renders of one movie share.
std::string decodedFacts(const fs::path& movie) {
    const auto video =
        test::runCommand("ffmpeg -nostdin -loglevel error -i '" + movie.string() + "' -map 0:v -f md5 -");
    const auto audio = test::probeStream(movie, "a:0");
    return video.value_or("no video") + " audio packets " + std::to_string(audio ? audio->packets : -1);
}

class ClusterRecipes : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-recipes-");
        fs::create_directories(dir_ / "in");
        fs::create_directories(dir_ / "out");
        fs::create_directories(dir_ / "runtime");
        ASSERT_TRUE(test::writePicture(dir_ / "logo.png"));
        EffectSettings look = defaultEffectSettings();
        look.checkSepia = 1;
        look.checkImageWatermark = 1;
        std::ofstream(dir_ / "look.tintreel") << renderSettingsRecord(look, {(dir_ / "logo.png").string()});
        for (int i = 1; i <= 4; ++i)
            fs::copy_file(clip(1, 200 * i), dir_ / "in" / ("clip" + std::to_string(i) + ".mov"));
    }

    CliRun slurmTask(int task) const {
        return test::runTool("bash", {q(fs::path(TINTREEL_SOURCE_DIR) / "docs/recipes/render-array.sbatch")},
                             dir_ / "runtime", dir_, {{"SLURM_ARRAY_TASK_ID", QString::number(task)}});
    }

    fs::path dir_;
};

TEST_F(ClusterRecipes, SlurmArrayTasksRenderTheirLinesOfTheList) {
    std::ofstream(dir_ / "files.txt") << "in/clip1.mov\nin/clip2.mov\nin/clip3.mov\n";
    for (int task : {3, 1, 2}) {
        const CliRun run = slurmTask(task);
        EXPECT_EQ(run.status, 0) << run.errors;
    }
    for (const char* name : {"clip1.mov", "clip2.mov", "clip3.mov"})
        test::expectSameMovie(dir_ / "in" / name, dir_ / "out" / name);
    EXPECT_FALSE(fs::exists(dir_ / "out/clip4.mov"));
    // A task submitted again finds its output and leaves it; one past the list is refused.
    const auto writtenAt = fs::last_write_time(dir_ / "out/clip2.mov");
    const CliRun again = slurmTask(2);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.errors.find("\"state\":\"skipped\""), std::string::npos) << again.errors;
    EXPECT_EQ(fs::last_write_time(dir_ / "out/clip2.mov"), writtenAt);
    EXPECT_EQ(slurmTask(4).status, 2);
}

TEST_F(ClusterRecipes, GnuParallelGivesTheFilesOfTheBuiltInBatch) {
    QStringList clips;
    for (int i = 1; i <= 4; ++i) clips << QString("in/clip%1.mov").arg(i);
    fs::create_directories(dir_ / "parallel");
    const CliRun parallel =
        test::runTool("parallel",
                      QStringList{"--will-cite", "-j2", TINTREEL_RENDER_PATH, "-s", "look.tintreel", "-o",
                                  "parallel/{/.}.mp4", "{}", ":::"} +
                          clips,
                      dir_ / "runtime", dir_);
    ASSERT_EQ(parallel.status, 0) << parallel.errors;
    const CliRun builtIn =
        test::runTool(TINTREEL_RENDER_PATH, {"-j", "2", "-s", "look.tintreel", "-o", "out/{name}.mp4", "in"},
                      dir_ / "runtime", dir_);
    ASSERT_EQ(builtIn.status, 0) << builtIn.errors;
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "clip" + std::to_string(i) + ".mp4";
        ASSERT_TRUE(fs::exists(dir_ / "parallel" / name)) << name;
        EXPECT_EQ(decodedFacts(dir_ / "parallel" / name), decodedFacts(dir_ / "out" / name)) << name;
    }
}

TEST_F(ClusterRecipes, AProfileCarriesItsLogoAndAMissingOneIsRefused) {
    const auto facts = [this](const char* output) { return decodedFacts(dir_ / "out" / output); };
    const QStringList profile{"-s", q(dir_ / "look.tintreel")};
    for (const auto& [look, output] :
         {std::pair{profile, "profile.mov"},
          std::pair{profile + QStringList{"--logo", q(dir_ / "logo.png")}, "given.mov"},
          std::pair{QStringList{"--set", "checkSepia=1"}, "plain.mov"}}) {
        const CliRun run = test::runCli(
            look + QStringList{"-o", q(dir_ / "out" / output), q(dir_ / "in/clip1.mov")}, dir_ / "runtime");
        ASSERT_EQ(run.status, 0) << output << ": " << run.errors;
    }
    EXPECT_EQ(facts("profile.mov"), facts("given.mov")) << "the profile's logo is the one --logo names";
    EXPECT_NE(facts("profile.mov"), facts("plain.mov")) << "the logo is drawn";

    fs::remove(dir_ / "logo.png");
    for (const QStringList& inputs : {QStringList{q(dir_ / "in/clip1.mov")}, QStringList{q(dir_ / "in")}}) {
        const CliRun run = test::runCli(profile + QStringList{"-o", q(dir_ / "out/{name}_x.mov")} + inputs,
                                        dir_ / "runtime");
        EXPECT_EQ(run.status, 2) << run.errors;
        EXPECT_NE(run.errors.find("logo.png"), std::string::npos) << run.errors;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out/clip1_x.mov"));
}

}  // namespace
}  // namespace tintreel
