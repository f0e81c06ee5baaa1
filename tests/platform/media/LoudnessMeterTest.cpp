// The loudness meter against the ffmpeg program's own `ebur128` meter, on
// generated sound of known level: mono, stereo, 5.1, two tracks, a span.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "platform/media/LoudnessMeter.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

void expectMatches(const TrackLoudness& ours, const std::optional<test::LoudnessReading>& theirs) {
    ASSERT_TRUE(theirs);
    EXPECT_NEAR(ours.integratedLufs, theirs->integratedLufs, 0.15);  // ffmpeg prints one decimal
    EXPECT_NEAR(ours.truePeakDbtp, theirs->truePeakDbtp, 0.25);  // both oversample four times, by other filters
}

// Tones, noise and pink noise at several levels and layouts, each one track.
TEST(LoudnessMeter, AgreesWithTheFfmpegMeterOnEveryLayout) {
    struct Case {
        const char* name;
        const char* source;
    };
    const Case cases[] = {
        {"quiet mono tone", "-f lavfi -i sine=f=1000:r=48000:d=3 -af volume=-20dB -ac 1"},
        {"loud stereo noise", "-f lavfi -i anoisesrc=c=white:a=0.7:r=44100:d=3 -ac 2"},
        {"5.1 pink noise",
         "-f lavfi -i anoisesrc=c=pink:a=0.3:r=48000:d=3 -af aformat=channel_layouts=5.1 -ac 6"},
        {"speech-like gated tone",
         "-f lavfi -i sine=f=440:r=48000:d=4 -af volume='if(lt(mod(t\\,1)\\,0.5)\\,1\\,0.05)':eval=frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto clip = test::makeClip(std::string(c.source) + " -c:a pcm_s16le", "wav");
        ASSERT_FALSE(clip.empty());
        auto ours = measureLoudness(clip);
        ASSERT_TRUE(ours) << ours.error();
        ASSERT_EQ(ours->size(), 1u);
        expectMatches(ours->front(), test::ffmpegLoudness(clip, "a:0"));
    }
}

// Each track of a movie is measured on its own, and the picture is skipped.
TEST(LoudnessMeter, MeasuresEveryTrackOfAMovieAndASpanOfIt) {
    const auto movie = test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=6 -f lavfi -i sine=f=1000:r=48000:d=6 "
        "-f lavfi -i anoisesrc=a=0.5:r=48000:d=6 -map 0 -map 1 -map 2 -c:v libx264 -preset ultrafast "
        "-c:a aac -b:a 128k -af:a:0 volume=-12dB",
        "mp4");
    ASSERT_FALSE(movie.empty());
    auto whole = measureLoudness(movie);
    ASSERT_TRUE(whole) << whole.error();
    ASSERT_EQ(whole->size(), 2u);
    for (int track = 0; track < 2; ++track) {
        SCOPED_TRACE(track);
        EXPECT_EQ((*whole)[track].track, track);
        expectMatches((*whole)[track], test::ffmpegLoudness(movie, "a:" + std::to_string(track)));
    }
    EXPECT_GT((*whole)[1].integratedLufs, (*whole)[0].integratedLufs + 5);

    // A span: a track that is silent but for two seconds in the middle.
    const auto burst = test::makeClip(
        "-f lavfi -i sine=f=1000:r=48000:d=6 -af volume='if(between(t\\,2\\,4)\\,1\\,0)':eval=frame -c:a "
        "pcm_s16le",
        "wav");
    auto middle = measureLoudness(burst, {2.0, 4.0});
    auto head = measureLoudness(burst, {0.0, 1.9});
    ASSERT_TRUE(middle && head);
    expectMatches(middle->front(), test::ffmpegLoudness(burst, "a:0", "atrim=2:4,"));
    EXPECT_FALSE(head->front().measurable());
}

TEST(LoudnessMeter, AMovieWithoutSoundHasNoTracksAndAMissingFileFails) {
    const auto silentMovie = test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=1 -c:v libx264", "mp4");
    auto none = measureLoudness(silentMovie);
    ASSERT_TRUE(none) << none.error();
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(measureLoudness("/nonexistent/clip.mp4"));

    std::atomic<bool> cancel{true};
    const auto tone = test::makeClip("-f lavfi -i sine=d=2 -c:a pcm_s16le", "wav");
    EXPECT_FALSE(measureLoudness(tone, {}, {&cancel, {}}));
}

// One gain to the target, held back by the ceiling (with room for encoding).
TEST(LoudnessMeter, GainReachesTheTargetUnlessTheCeilingHoldsItBack) {
    struct Case {
        double integrated, peak, target, ceiling, gain, shortBy;
    };
    const Case cases[] = {
        {-30, -20, -14, -1, 16, 0},     // plenty of room
        {-8, -0.5, -14, -1, -6, 0},     // turned down
        {-30, -3, -14, -1, 1.7, 14.3},  // the peak limits it: -3 + 1.7 = -1.3
        {-70, -80, -14, -1, 0, 0},      // silence keeps its level
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.integrated);
        TrackLoudness measured{0, c.integrated, c.peak};
        const NormalisingGain gain = normalisingGain(measured, {c.target, c.ceiling});
        EXPECT_NEAR(gain.gainDb, c.gain, 1e-9);
        EXPECT_NEAR(gain.shortOfTargetDb, c.shortBy, 1e-9);
    }
}

// What the editor keeps in its cache reads back, and damaged text is refused.
TEST(LoudnessMeter, ReadingsRoundTripAsTextAndDamagedTextIsRefused) {
    const std::vector<TrackLoudness> tracks{{0, -23.4567, -3.25}, {1, kSilentLufs, -HUGE_VAL}};
    const auto parsed = parseLoudness(renderLoudness(tracks));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 2u);
    EXPECT_NEAR((*parsed)[0].integratedLufs, -23.4567, 1e-4);
    EXPECT_NEAR((*parsed)[0].truePeakDbtp, -3.25, 1e-4);
    EXPECT_FALSE((*parsed)[1].measurable());
    EXPECT_EQ((*parsed)[1].truePeakDbtp, -HUGE_VAL);
    EXPECT_TRUE(parseLoudness("")->empty());
    for (const char* damaged :
         {"0 -23 x\n", "1 -23 -3\n", "0 -23\n", "0 -23 -3\n0 -20 -1\n", "0 -23 nan\n"}) {
        SCOPED_TRACE(damaged);
        EXPECT_FALSE(parseLoudness(damaged));
    }
}

}  // namespace
}  // namespace tintreel
