// The movie modes of tintreel-render, run as the real program on generated
// clips: the rendered OUTPUT, progress on standard error, refused inputs,
// cancel by signal, and the still of a movie frame.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/filters/Picture.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status;
    std::string errors;
};

// Runs the program with its temporary directory under `tmp`.
ProgramRun runProgram(const QStringList& arguments, const fs::path& tmp, int signalAfterMs = -1) {
    // A runtime directory is private to its user; Qt says so on standard error otherwise.
    fs::permissions(tmp, fs::perms::owner_all, fs::perm_options::replace);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(tmp.string()));
    process.setProcessEnvironment(environment);
    process.start(QString(TINTREEL_RENDER_PATH), arguments);
    process.waitForStarted();
    if (signalAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(signalAfterMs));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    }
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardError().toStdString()};
}

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

fs::path clip(const std::string& extension, double seconds) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=320x180:r=30:d=" + d + " -f lavfi -i sine=r=8000:d=" + d +
                              " -ac 1 -pix_fmt yuv420p -c:v libx264 -c:a aac",
                          extension);
}

TEST(MovieCommand, RendersToOutputWithProgressOnStandardError) {
    const fs::path dir = test::scratchDirectory("cli-movie");
    const fs::path input = clip("3g2", 1.5);
    const ProgramRun run = runProgram(
        {"-o", q(dir / "out.3g2"), "--set", "sliderBrightness=0.1", "--set", "checkSepia=1", q(input)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    test::expectSameMovie(input, dir / "out.3g2");
    EXPECT_NE(run.errors.find("Rendering: Brightness, Sepia... 0.0%\n"), std::string::npos) << run.errors;
    // Nothing but OUTPUT is left: the private temporary directory went with the process.
    EXPECT_EQ(test::runCommand("ls -A " + dir.string()), "out.3g2\n");

    const ProgramRun each = runProgram({"-o", q(dir / "each.3g2"), "--passes", "each", "--set",
                                        "sliderBrightness=0.1", "--set", "checkSepia=1", q(input)},
                                       dir);
    ASSERT_EQ(each.status, 0) << each.errors;
    test::expectSameMovie(input, dir / "each.3g2");
    EXPECT_NE(each.errors.find("Adjusting Brightness... 0.0%\n"), std::string::npos) << each.errors;
    EXPECT_NE(each.errors.find("Applying Sepia Effect... "), std::string::npos) << each.errors;
    EXPECT_EQ(test::runCommand("ls -A " + dir.string()), "each.3g2\nout.3g2\n");
}

TEST(MovieCommand, RefusesInputsThatAreNotMovies) {
    const fs::path dir = test::scratchDirectory("cli-refused");
    const fs::path wrongExtension = dir / "clip.avi";
    fs::copy_file(clip("mov", 0.5), wrongExtension);
    for (const fs::path& input :
         {wrongExtension, dir / "missing.mov", test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4")}) {
        const ProgramRun run = runProgram({"-o", q(dir / "out.mov"), q(input)}, dir);
        EXPECT_EQ(run.status, 2) << input;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_FALSE(fs::exists(dir / "out.mov"));
    }
    // An OUTPUT that cannot be written fails the run and leaves no partial file.
    const ProgramRun unwritable = runProgram({"-o", q(dir / "no" / "out.mov"), q(clip("mov", 0.5))}, dir);
    EXPECT_EQ(unwritable.status, 1);
}

TEST(MovieCommand, InterruptCancelsAndLeavesNothing) {
    const fs::path dir = test::scratchDirectory("cli-cancel");
    const ProgramRun run = runProgram(
        {"-o", q(dir / "out.mp4"), "--set", "checkCartoon=1", "--set", "checkSepia=1", q(clip("mp4", 20))},
        dir, 1500);
    EXPECT_EQ(run.status, 130) << run.errors;
    EXPECT_EQ(test::runCommand("ls -A " + dir.string()), "") << "left behind";
}

TEST(MovieCommand, StillOfAMovieFrameIsUpright) {
    const fs::path dir = test::scratchDirectory("cli-still");
    const fs::path portrait = test::withRotationTag(clip("mov", 1), 270);
    const ProgramRun run =
        runProgram({"--still", "0.5", "-o", q(dir / "frame.png"), "--set", "checkSepia=1", q(portrait)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto frame = loadPicture((dir / "frame.png").string());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 180);
    EXPECT_EQ(frame->height(), 320);
}

}  // namespace
}  // namespace tintreel
