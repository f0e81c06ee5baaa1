// The sound controls run as the real program and are judged by the ffmpeg
// program's own meters: loudness brought to a target by one gain (or held
// under the ceiling), every track and every video of a batch on its own,
// linear fades, mute, the sound copied when every control is at its default,
// the picture copied when only the sound changes, and bad values refused.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

constexpr const char* kPicture = "-f lavfi -i testsrc2=s=160x90:r=25:d=";

// Speech spoken by espeak-ng, `gainDb` louder than it speaks, under a
// picture, as AAC in MPEG-4; empty when espeak-ng is missing.
fs::path speechClip(const fs::path& dir, double gainDb) {
    const fs::path words = dir / "speech.wav";
    if (!fs::exists(words) &&
        !test::runCommand("espeak-ng -w " + ("'" + words.string() + "'") +
                          " 'Every clip of the batch should sound as loud as the others, whatever "
                          "phone recorded it.' 2>&1"))
        return {};
    return test::makeClip(std::string(kPicture) + "5 -i " + ("'" + words.string() + "'") +
                              " -af apad,volume=" + std::to_string(gainDb) +
                              "dB -shortest -c:v libx264 -preset ultrafast -c:a aac -b:a 128k",
                          "mp4");
}

// `seconds` of picture with the audio `source` (lavfi) as AAC.
fs::path clipWithSound(const std::string& source, int seconds, const std::string& extra = "") {
    return test::makeClip(std::string(kPicture) + std::to_string(seconds) + " -f lavfi -i " + source +
                              " -shortest -c:v libx264 -preset ultrafast -c:a aac -b:a 192k " + extra,
                          "mp4");
}

// The judge: at the target within half a unit, or under it only where the
// ceiling held the gain back, and then with the true peak close under it;
// never more than half a decibel over the ceiling.
void expectNormalised(const fs::path& movie, const std::string& track, double target, double ceiling) {
    const std::optional<test::LoudnessReading> reading = test::ffmpegLoudness(movie, track);
    ASSERT_TRUE(reading) << movie;
    EXPECT_LE(reading->truePeakDbtp, ceiling + 0.5);
    if (reading->integratedLufs < target - 0.5)
        EXPECT_GE(reading->truePeakDbtp, ceiling - 0.7) << "quieter than the target with room under the ceiling";
    else
        EXPECT_NEAR(reading->integratedLufs, target, 0.5);
}

std::string md5Of(const fs::path& movie, const std::string& stream) {
    return test::runCommand("ffmpeg -v error -i " + ("'" + movie.string() + "'") + " -map 0:" + stream +
                            " -c copy -f md5 -")
        .value_or("none");
}

class SoundCommand : public ::testing::Test {
protected:
    fs::path dir_ = test::testDirectory("cli-sound-");
};

// Three clips of different loudness and layout come out evenly loud; a
// quiet source with high peaks stays under the ceiling and says so.
TEST_F(SoundCommand, ABatchOfMixedClipsEndsEvenlyLoud) {
    const fs::path speech = speechClip(dir_, -12);
    ASSERT_FALSE(speech.empty()) << "espeak-ng is missing";
    fs::create_directory(dir_ / "in");
    fs::copy_file(speech, dir_ / "in" / "quiet-speech.mp4");
    fs::copy_file(clipWithSound("anoisesrc=c=white:a=0.8:r=44100:d=4,volume='if(lt(mod(t\\,1)\\,0.6)\\,1\\,0.1)':"
                                "eval=frame",
                                4, "-ac 2"),
                  dir_ / "in" / "loud-noise.mp4");
    fs::copy_file(clipWithSound("anoisesrc=c=pink:a=0.05:r=48000:d=4", 4, "-af aformat=channel_layouts=5.1 -ac 6"),
                  dir_ / "in" / "surround.mp4");
    const std::optional<test::LoudnessReading> before = test::ffmpegLoudness(dir_ / "in" / "loud-noise.mp4", "a:0");
    ASSERT_TRUE(before);
    EXPECT_GT(before->integratedLufs, -10);  // a loud source, its peaks over the ceiling
    EXPECT_GT(before->truePeakDbtp, -1);

    fs::create_directory(dir_ / "out");
    const test::CliRun run = test::runCli({"--loudness=-23", "-o", q(dir_ / "out"), q(dir_ / "in")}, dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<double> levels;
    for (const char* name : {"quiet-speech.mp4", "loud-noise.mp4", "surround.mp4"}) {
        SCOPED_TRACE(name);
        expectNormalised(dir_ / "out" / name, "a:0", -23, -1);
        levels.push_back(test::ffmpegLoudness(dir_ / "out" / name, "a:0")->integratedLufs);
        const std::optional<test::StreamFacts> audio = test::probeStream(dir_ / "out" / name, "a:0");
        ASSERT_TRUE(audio);
        EXPECT_EQ(audio->codec, "aac");
    }
    const auto [low, high] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LE(*high - *low, 1.0);

    // Brought up to -14, the speech's peaks reach the ceiling first.
    const test::CliRun loud = test::runCli({"--loudness", "-14", "-o", q(dir_ / "speech.mp4"), q(speech)}, dir_);
    ASSERT_EQ(loud.status, 0) << loud.errors;
    expectNormalised(dir_ / "speech.mp4", "a:0", -14, -1);
    EXPECT_NE(loud.output.find("under the target: its true peak reaches the -1.0 dBTP ceiling"), std::string::npos)
        << loud.output;
}

// Each track is brought to the target by its own gain.
TEST_F(SoundCommand, EveryTrackGetsItsOwnGain) {
    const fs::path movie = test::makeClip(std::string(kPicture) +
                                              "4 -f lavfi -i sine=f=1000:r=48000:d=4 -f lavfi -i "
                                              "anoisesrc=a=0.5:r=48000:d=4 -map 0 -map 1 -map 2 -c:v libx264 "
                                              "-preset ultrafast -c:a aac -b:a 128k -af:a:0 volume=-30dB",
                                          "mp4");
    const test::CliRun run =
        test::runCli({"--loudness", "-16", "--true-peak", "-2", "-o", q(dir_ / "two.mp4"), q(movie)}, dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* track : {"a:0", "a:1"}) {
        SCOPED_TRACE(track);
        expectNormalised(dir_ / "two.mp4", track, -16, -2);
    }
}

// A fade in ramps the amplitude in a straight line from silence; mute keeps
// a silent track of the same length.
TEST_F(SoundCommand, FadeInRampsFromSilenceAndMuteKeepsASilentTrack) {
    const fs::path tone = clipWithSound("sine=f=1000:r=48000:d=3,volume=-20dB", 3);
    const test::CliRun faded =
        test::runCli({"--set", "stepperAudioFadeIn=1", "-o", q(dir_ / "faded.mp4"), q(tone)}, dir_);
    ASSERT_EQ(faded.status, 0) << faded.errors;
    const std::optional<double> start = test::ffmpegRmsLevel(dir_ / "faded.mp4", 0.0, 0.1);
    const std::optional<double> half = test::ffmpegRmsLevel(dir_ / "faded.mp4", 0.45, 0.55);
    const std::optional<double> steady = test::ffmpegRmsLevel(dir_ / "faded.mp4", 1.2, 2.5);
    const std::optional<double> source = test::ffmpegRmsLevel(tone, 1.2, 2.5);
    ASSERT_TRUE(start && half && steady && source);
    EXPECT_LT(*start, -40.0);
    EXPECT_NEAR(*half, *source + 20 * std::log10(0.5), 1.0);  // linear: half the amplitude half way
    EXPECT_NEAR(*steady, *source, 0.5);

    const test::CliRun muted = test::runCli({"--mute", "-o", q(dir_ / "muted.mp4"), q(tone)}, dir_);
    ASSERT_EQ(muted.status, 0) << muted.errors;
    const std::optional<test::VolumeReading> loudest = test::ffmpegVolume(dir_ / "muted.mp4", "a:0");
    ASSERT_TRUE(loudest);
    EXPECT_LE(loudest->maxDb, -91.0);
    const std::optional<test::StreamFacts> in = test::probeStream(tone, "a:0");
    const std::optional<test::StreamFacts> out = test::probeStream(dir_ / "muted.mp4", "a:0");
    ASSERT_TRUE(in && out);
    EXPECT_NEAR(out->duration, in->duration, 0.05);
}

// Every control at its default copies the sound; a sound change alone copies
// the picture and keeps the sound in step; WebM gets Opus at 48 kHz.
TEST_F(SoundCommand, OnlyWhatChangesIsEncodedAgain) {
    const fs::path tone = clipWithSound("sine=f=440:r=44100:d=2", 2);
    const test::CliRun graded =
        test::runCli({"--set", "sliderBrightness=0.1", "-o", q(dir_ / "graded.mp4"), q(tone)}, dir_);
    ASSERT_EQ(graded.status, 0) << graded.errors;
    EXPECT_EQ(md5Of(dir_ / "graded.mp4", "a:0"), md5Of(tone, "a:0"));

    const test::CliRun quieter = test::runCli({"--volume", "-6", "-o", q(dir_ / "quieter.mp4"), q(tone)}, dir_);
    ASSERT_EQ(quieter.status, 0) << quieter.errors;
    EXPECT_EQ(md5Of(dir_ / "quieter.mp4", "v:0"), md5Of(tone, "v:0"));
    EXPECT_NE(md5Of(dir_ / "quieter.mp4", "a:0"), md5Of(tone, "a:0"));
    const std::optional<test::VolumeReading> was = test::ffmpegVolume(tone, "a:0");
    const std::optional<test::VolumeReading> now = test::ffmpegVolume(dir_ / "quieter.mp4", "a:0");
    ASSERT_TRUE(was && now);
    EXPECT_NEAR(now->meanDb, was->meanDb - 6, 0.3);
    const auto audioStart = [](const fs::path& movie) {
        const std::vector<std::string> starts = test::probeValues(movie, "-select_streams a:0 -show_entries stream=start_time", "start_time");
        return starts.empty() ? std::string("none") : starts.front();
    };
    EXPECT_EQ(audioStart(dir_ / "quieter.mp4"), audioStart(tone));

    const test::CliRun webm = test::runCli({"--volume", "3", "-o", q(dir_ / "louder.webm"), q(tone)}, dir_);
    ASSERT_EQ(webm.status, 0) << webm.errors;
    const std::vector<std::string> rates =
        test::probeValues(dir_ / "louder.webm", "-select_streams a:0 -show_entries stream=codec_name,sample_rate", "sample_rate");
    ASSERT_EQ(rates.size(), 1u);
    EXPECT_EQ(rates.front(), "48000");
    EXPECT_EQ(test::probeStream(dir_ / "louder.webm", "a:0")->codec, "opus");
}

// Values out of range are refused before any work; a fade longer than the
// movie is shortened with a line, and a movie without sound says it ignores them.
TEST_F(SoundCommand, BadValuesAreRefusedOrMendedWithALine) {
    const fs::path tone = clipWithSound("sine=r=48000:d=2", 2);
    test::expectRefusal(test::runCli({"--loudness", "-80", "-o", q(dir_ / "a.mp4"), q(tone)}, dir_),
                        "--loudness takes a number from -70 to -5 LUFS");
    test::expectRefusal(test::runCli({"--true-peak=1", "-o", q(dir_ / "a.mp4"), q(tone)}, dir_),
                        "--true-peak takes a number from -9 to 0 dBTP");
    test::expectRefusal(test::runCli({"--volume", "loud", "-o", q(dir_ / "a.mp4"), q(tone)}, dir_),
                        "--volume takes a number from -30 to 20 dB");
    EXPECT_FALSE(fs::exists(dir_ / "a.mp4"));

    const test::CliRun longFade =
        test::runCli({"--set", "stepperAudioFadeOut=30", "-o", q(dir_ / "b.mp4"), q(tone)}, dir_);
    ASSERT_EQ(longFade.status, 0) << longFade.errors;
    EXPECT_NE(longFade.output.find("longer than half the movie: shortened to 1.00 s"), std::string::npos)
        << longFade.output;
    const std::optional<double> end = test::ffmpegRmsLevel(dir_ / "b.mp4", 1.9, 2.0);
    ASSERT_TRUE(end);
    EXPECT_LT(*end, -30.0);

    const fs::path silent =
        test::makeClip(std::string(kPicture) + "1 -c:v libx264 -preset ultrafast", "mp4");
    const test::CliRun ignored = test::runCli({"--volume", "6", "-o", q(dir_ / "c.mp4"), q(silent)}, dir_);
    ASSERT_EQ(ignored.status, 0) << ignored.errors;
    EXPECT_NE(ignored.output.find("The movie has no sound: the sound settings are not used"), std::string::npos)
        << ignored.output;
}

}  // namespace
}  // namespace tintreel
