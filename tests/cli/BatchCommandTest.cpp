// Many inputs in one run of the real program: a folder of good and bad
// clips rendered two at a time, resumed with --skip-existing, cancelled in
// the middle, reported as JSON lines, and split across machines by recipes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <fstream>
#include <map>

#include "cli/CliProgram.h"
#include "imaging/FontChoice.h"
#include "imaging/FontFamilies.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::q;
using test::runCli;

fs::path goodClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=1 -f lavfi -i sine=d=1 -pix_fmt yuv420p "
        "-c:v libx264 -c:a aac",
        "mov");
}

fs::path silentClip() {
    return test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=1 -pix_fmt yuv420p -c:v libx264", "mp4");
}

// Opens (its index is at the front) but its data ends half way.
void writeTruncatedClip(const fs::path& target) {
    fs::copy_file(
        test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=2 -f lavfi -i sine=d=2 -pix_fmt yuv420p "
                       "-c:v libx264 -c:a aac -movflags +faststart",
                       "mp4"),
        target);
    fs::resize_file(target, fs::file_size(target) / 2);
}

std::string listing(const fs::path& dir) {
    return test::runCommand("cd '" + dir.string() + "' && find . | sort").value_or("");
}

class BatchCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-batch-");
        in_ = dir_ / "in";
        out_ = dir_ / "out";
        runtime_ = dir_ / "runtime";
        for (const fs::path& folder : {in_, out_, runtime_}) fs::create_directories(folder);
    }

    // A folder with a good clip, a clip without audio, a truncated clip and a text file named .mp4.
    void fillMixedFolder() {
        fs::copy_file(goodClip(), in_ / "good.mov");
        fs::copy_file(silentClip(), in_ / "silent.mp4");
        writeTruncatedClip(in_ / "truncated.mp4");
        std::ofstream(in_ / "notes.mp4") << "not a movie\n";
    }

    fs::path dir_;
    fs::path in_;
    fs::path out_;
    fs::path runtime_;
};

TEST_F(BatchCommand, BadInputsFailAloneAndASecondRunSkipsWhatIsDoneButNeverItsInput) {
    fillMixedFolder();
    // The text watermark draws with fonts on both job threads at once.
    const CliRun run =
        runCli({"-j", "2", "--set", "checkSepia=1", "--set", "checkTextWatermark=1", "-o", q(out_), q(in_)},
               runtime_);
    EXPECT_EQ(run.status, 1) << run.errors;
    test::expectSameMovie(in_ / "good.mov", out_ / "good.mov");
    test::expectSameMovie(in_ / "silent.mp4", out_ / "silent.mp4");
    EXPECT_EQ(listing(out_), ".\n./good.mov\n./silent.mp4\n") << "nothing of the failed jobs is left";
    const std::vector<std::string> lines = test::linesOf(run.errors);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "tintreel-render: 2 done, 0 skipped, 2 failed, 0 cancelled; failed: " +
                                (in_ / "notes.mp4").string() + ", " + (in_ / "truncated.mp4").string());
    // A default font that is not installed is said once, before the jobs.
    std::size_t first = 0;
    if (const std::optional<std::string> note = fontSubstitutionNote(fontFamilyName(12))) {
        EXPECT_EQ(lines.front(), "tintreel-render: " + *note);
        first = 1;
    }
    // Two jobs at once: every other line, and every log line, names its input.
    for (std::size_t i = first; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(in_.string() + "/", 0), 0u) << lines[i];
    for (const std::string& line : test::linesOf(run.output))
        EXPECT_EQ(line.rfind(in_.string() + "/", 0), 0u) << line;
    EXPECT_TRUE(fs::is_empty(runtime_)) << "temporary files are removed";

    const auto writtenAt = fs::last_write_time(out_ / "good.mov");
    const CliRun resumed =
        runCli({"-j", "2", "--skip-existing", "--set", "checkSepia=1", "-o", q(out_), q(in_)}, runtime_);
    EXPECT_EQ(resumed.status, 1);
    EXPECT_NE(resumed.errors.find("0 done, 2 skipped, 2 failed, 0 cancelled"), std::string::npos)
        << resumed.errors;
    for (const char* done : {"good.mov: Rendering", "silent.mp4: Rendering"})
        EXPECT_EQ(resumed.errors.find(done), std::string::npos) << "rendered again: " << resumed.errors;
    EXPECT_EQ(fs::last_write_time(out_ / "good.mov"), writtenAt);

    // Only the good ones: all skipped is success; without a flag an existing output fails its job alone.
    const QStringList good{q(in_ / "good.mov"), q(in_ / "silent.mp4")};
    EXPECT_EQ(runCli(QStringList{"--skip-existing", "-o", q(out_)} + good, runtime_).status, 0);
    const CliRun again = runCli(QStringList{"-o", q(out_)} + good, runtime_);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.errors.find("exists: use -y (--overwrite)"), std::string::npos) << again.errors;
    EXPECT_NE(again.errors.find("0 done, 0 skipped, 2 failed"), std::string::npos) << again.errors;
    EXPECT_EQ(fs::last_write_time(out_ / "good.mov"), writtenAt);

    // One INPUT skips an existing OUTPUT, but never INPUT itself.
    std::ofstream(out_ / "good.mov") << "kept";
    const CliRun kept =
        runCli({"--skip-existing", "-o", q(out_ / "good.mov"), q(in_ / "good.mov")}, runtime_);
    EXPECT_EQ(kept.status, 0) << kept.errors;
    EXPECT_NE(kept.errors.find("kept the existing"), std::string::npos) << kept.errors;
    EXPECT_EQ(test::runCommand("cat '" + (out_ / "good.mov").string() + "'"), "kept");
    const CliRun itself =
        runCli({"--skip-existing", "-o", q(in_ / "good.mov"), q(in_ / "good.mov")}, runtime_);
    EXPECT_EQ(itself.status, 2);
    EXPECT_NE(itself.errors.find("this run reads"), std::string::npos) << itself.errors;
}

TEST_F(BatchCommand, AnInterruptCancelsEveryJobAndLeavesNoPartialOutput) {
    const fs::path longClip = test::makeClip(
        "-f lavfi -i testsrc2=s=320x180:r=30:d=20 -f lavfi -i sine=d=20 "
        "-pix_fmt yuv420p -c:v libx264 -c:a aac",
        "mp4");
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) fs::copy_file(longClip, in_ / name);
    const CliRun run = runCli({"-j", "2", "--set", "checkCartoon=1", "--set", "checkSepia=1", "-o",
                               q(out_ / "{name}_look.mp4"), q(in_)},
                              runtime_, 1500);
    EXPECT_EQ(run.status, 130) << run.errors;
    EXPECT_EQ(listing(out_), ".\n") << "no output, partial or whole";
    EXPECT_TRUE(fs::is_empty(runtime_)) << "temporary files are removed";
    EXPECT_NE(run.errors.find("0 done, 0 skipped, 0 failed, 3 cancelled"), std::string::npos) << run.errors;
}

QJsonObject parsedObject(const std::string& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    return document.object();
}

TEST_F(BatchCommand, JsonProgressIsOneObjectPerLineAndNothingElse) {
    fillMixedFolder();
    const CliRun run =
        runCli({"--progress", "json", "-j", "2", "--set", "checkSepia=1", "-o", q(out_), q(in_)}, runtime_);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = test::linesOf(run.errors);
    ASSERT_GT(lines.size(), 4u) << run.errors;
    std::map<std::string, QJsonObject> last;  // the last object of each input
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject object = parsedObject(lines[i]);
        for (const char* key : {"input", "output", "percent", "fps", "eta_s", "state", "message"})
            EXPECT_TRUE(object.contains(key)) << key << " in " << lines[i];
        last[object["input"].toString().toStdString()] = object;
    }
    ASSERT_EQ(last.size(), 4u);
    const QJsonObject good = last[(in_ / "good.mov").string()];
    EXPECT_EQ(good["state"].toString(), "done");
    EXPECT_EQ(good["percent"].toDouble(), 100.0);
    EXPECT_EQ(good["output"].toString().toStdString(), (out_ / "good.mov").string());
    const QJsonObject bad = last[(in_ / "notes.mp4").string()];
    EXPECT_EQ(bad["state"].toString(), "failed");
    EXPECT_TRUE(bad["message"].toString().contains("cannot use")) << bad["message"].toString().toStdString();
    EXPECT_EQ(last[(in_ / "truncated.mp4").string()]["state"].toString(), "failed");

    const QJsonObject summary = parsedObject(lines.back())["summary"].toObject();
    EXPECT_EQ(summary["done"].toInt(), 2);
    EXPECT_EQ(summary["failed"].toInt(), 2);
    EXPECT_EQ(summary["failed_inputs"].toArray().size(), 2);

    // One INPUT speaks JSON too, refusals included.
    const CliRun single = runCli(
        {"--progress", "json", "--set", "checkSepia=1", "-o", q(dir_ / "one.mov"), q(in_ / "good.mov")},
        runtime_);
    EXPECT_EQ(single.status, 0);
    const std::vector<std::string> singleLines = test::linesOf(single.errors);
    ASSERT_FALSE(singleLines.empty());
    for (const std::string& line : singleLines) parsedObject(line);
    EXPECT_EQ(parsedObject(singleLines.back())["state"].toString(), "done");
    const CliRun refused =
        runCli({"--progress", "json", "-o", q(dir_ / "one.mov"), q(in_ / "good.mov")}, runtime_);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(parsedObject(refused.errors)["state"].toString(), "failed");
}

// The recipes for many machines, run here on one: the Slurm array script
// with its task number set by hand, GNU parallel against the built-in batch,
// and a profile that carries its logo to wherever the job runs.

// One second with a tone of `frequency`.
fs::path toneClip(int frequency) {
    return test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=1 -f lavfi -i sine=f=" +
                              std::to_string(frequency) + ":d=1 -pix_fmt yuv420p -c:v libx264 -c:a aac",
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
            fs::copy_file(toneClip(200 * i), dir_ / "in" / ("clip" + std::to_string(i) + ".mov"));
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
