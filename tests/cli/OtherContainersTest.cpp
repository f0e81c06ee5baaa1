// Movies in containers our writer does not write (Matroska, WebM, AVI,
// MPEG-TS) render through the real program, in both pass modes, into H.264 in
// an MPEG-4 container with every frame; files that only wear a movie
// extension are refused with the usual one-line messages.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

std::string containerOf(const fs::path& movie) {
    return test::runCommand("ffprobe -v error -show_entries format=format_name -of default=nw=1:nk=1 '" +
                            movie.string() + "'")
        .value_or("");
}

// The audio was copied, or re-encoded as AAC with the printed line saying so.
void expectAudioKeptOrExplained(const fs::path& source, const fs::path& output, const std::string& log) {
    const auto sourceAudio = test::probeStream(source, "a:0");
    const auto audio = test::probeStream(output, "a:0");
    ASSERT_TRUE(sourceAudio);
    ASSERT_TRUE(audio);
    if (audio->codec == sourceAudio->codec) {
        EXPECT_EQ(audio->packets, sourceAudio->packets);
    } else {
        EXPECT_EQ(audio->codec, "aac");
        EXPECT_NE(log.find("Audio track re-encoded: " + sourceAudio->codec), std::string::npos) << log;
    }
}

TEST(OtherContainers, RenderIntoMpeg4InBothPassModes) {
    const fs::path dir = test::scratchDirectory("cli-containers");
    for (const test::NamedClip& clip : test::otherContainerClips()) {
        ASSERT_FALSE(clip.path.empty()) << clip.name << ": fixture not generated";
        const auto source = test::probeStream(clip.path, "v:0");
        ASSERT_TRUE(source);
        for (const std::string passes : {"one", "each"}) {
            SCOPED_TRACE(clip.name + ", --passes " + passes);
            const fs::path output = dir / (clip.name + "-" + passes + ".mp4");
            const test::CliRun run = test::runCli({"--passes", QString::fromStdString(passes), "--set", "checkSepia=1",
                                                   "--set", "sliderBrightness=0.1", "-o", q(output), q(clip.path)},
                                                  dir);
            ASSERT_EQ(run.status, 0) << run.errors;
            EXPECT_EQ(containerOf(output), "mov,mp4,m4a,3gp,3g2,mj2\n");
            const auto video = test::probeStream(output, "v:0");
            ASSERT_TRUE(video);
            EXPECT_EQ(video->codec, "h264");
            EXPECT_EQ(video->width, 160);
            EXPECT_EQ(video->frames, source->frames);
            expectAudioKeptOrExplained(clip.path, output, run.output);
        }
    }
    // Only the outputs are left: no intermediate beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
              2 * static_cast<long>(test::otherContainerClips().size()));
}

TEST(OtherContainers, FilesThatOnlyWearAMovieExtensionAreRefused) {
    const fs::path dir = test::scratchDirectory("cli-pretenders");
    std::ofstream(dir / "notes.mkv") << "a text file, not a movie\n";
    const fs::path picture = dir / "photo.mp4";
    ASSERT_TRUE(test::writePicture(picture));
    for (const auto& [input, why] : {std::pair{dir / "notes.mkv", std::string("cannot use")},
                                     std::pair{picture, std::string("no video track")}}) {
        for (const QStringList& mode : {QStringList{}, QStringList{"--still", "0"}}) {
            const fs::path output = dir / (mode.isEmpty() ? "out.mp4" : "out.png");
            const test::CliRun run = test::runCli(mode + QStringList{"-o", q(output), q(input)}, dir);
            EXPECT_EQ(run.status, 2) << input << run.errors;
            // One line of ours; the library may add its own diagnostics.
            EXPECT_EQ(QString::fromStdString(run.errors).count("tintreel-render: "), 1) << run.errors;
            EXPECT_NE(run.errors.find(why), std::string::npos) << run.errors;
            EXPECT_FALSE(fs::exists(output));
        }
    }
}

}  // namespace
}  // namespace tintreel
