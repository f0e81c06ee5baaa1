// The sound controls' gain curve, against the ffmpeg program's own `afade`
// and `volume` on a generated tone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/media/PlaybackAudio.h"
#include "platform/media/SoundShaping.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

constexpr int kRate = 48000;

// Mono 32-bit float samples of a 1 kHz tone peaking at -20 dBFS (the source's 1/8 times 0.8), 3 s long,
// through `filters`.
std::vector<float> tone(const std::string& filters) {
    const auto clip =
        test::makeClip("-f lavfi -i sine=f=1000:r=48000:d=3 -af volume=0.8" + filters + " -ac 1", "f32le");
    std::ifstream in(clip, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

double rmsDb(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return 10 * std::log10(sum / double(to - from));
}

TEST(SoundShaping, FadesAndVolumeFollowTheFfmpegFiltersSampleForSample) {
    const auto plain = tone("");
    ASSERT_EQ(plain.size(), 3u * kRate);
    struct Case {
        const char* name;
        SoundControls controls;
        const char* filters;
    };
    const Case cases[] = {
        {"fade in", {0, false, 1.0, 0}, ",afade=t=in:d=1"},
        {"fade out", {0, false, 0, 0.5}, ",afade=t=out:st=2.5:d=0.5"},
        {"volume and loudness gain", {-6, false, 0, 0, 2}, ",volume=-4dB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto expected = tone(c.filters);
        ASSERT_EQ(expected.size(), plain.size());
        auto shaped = plain;
        SoundShaper(c.controls, 3.0, kRate).apply(shaped.data(), 1, 0, static_cast<int>(shaped.size()));
        double worst = 0;
        for (std::size_t i = 0; i < shaped.size(); ++i)
            worst = std::max(worst, double(std::abs(shaped[i] - expected[i])));
        EXPECT_LT(worst, 2e-4);  // a hundredth of the tone's level, where one sample step of the ramp is 2e-6
    }

    // A fade in of 1 s: the first 100 ms stay under -40 dBFS, the level after 1 s is the tone's.
    auto faded = plain;
    SoundShaper({0, false, 1.0, 0}, 3.0, kRate).apply(faded.data(), 1, 0, static_cast<int>(faded.size()));
    EXPECT_LT(rmsDb(faded, 0, kRate / 10), -40);
    EXPECT_NEAR(rmsDb(faded, kRate, 2 * kRate), rmsDb(plain, kRate, 2 * kRate), 0.5);
}

TEST(SoundShaping, MuteSilencesAndLongFadesMeetInTheMiddle) {
    const SoundShaper muted({0, true}, 2.0, kRate);
    EXPECT_EQ(muted.gainAt(0), 0.0);
    EXPECT_EQ(muted.gainAt(kRate), 0.0);

    // Fades of 10 s on a 2 s sound are each shortened to 1 s: full level only at the middle.
    const SoundShaper longFades({0, false, 10, 10}, 2.0, kRate);
    EXPECT_DOUBLE_EQ(longFades.gainAt(0), 0.0);
    EXPECT_DOUBLE_EQ(longFades.gainAt(kRate / 2), 0.5);
    EXPECT_DOUBLE_EQ(longFades.gainAt(kRate), 1.0);
    EXPECT_DOUBLE_EQ(longFades.gainAt(3 * kRate / 2), 0.5);
    EXPECT_DOUBLE_EQ(longFades.gainAt(2 * kRate), 0.0);

    // Planar shaping gives each channel the same gain as interleaved.
    std::vector<float> left(8, 1.0f), right(8, -1.0f), interleaved(16, 1.0f);
    float* planes[] = {left.data(), right.data()};
    const SoundShaper fadeIn({0, false, 16.0 / kRate}, 1.0, kRate);
    fadeIn.applyPlanar(planes, 2, 0, 8);
    fadeIn.apply(interleaved.data(), 2, 0, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(left[i], interleaved[2 * i]);
        EXPECT_FLOAT_EQ(right[i], -interleaved[2 * i + 1]);
    }
    EXPECT_TRUE(SoundControls{}.leavesSoundAlone());
    EXPECT_FALSE((SoundControls{0, false, 0.5}).leavesSoundAlone());
}

// Every sample playback hands the device, in order from the start, as floats.
std::vector<float> playedSamples(PlaybackAudio& audio, SampleKind kind) {
    std::vector<float> samples;
    while (auto chunk = audio.next()) {
        if (kind == SampleKind::Float) {
            const auto* data = reinterpret_cast<const float*>(chunk->bytes.data());
            samples.insert(samples.end(), data, data + chunk->bytes.size() / sizeof(float));
        } else {
            const auto* data = reinterpret_cast<const int16_t*>(chunk->bytes.data());
            for (std::size_t i = 0; i < chunk->bytes.size() / sizeof(int16_t); ++i)
                samples.push_back(data[i] / 32768.0f);
        }
    }
    return samples;
}

// What plays is shaped as the render shapes it, in the device's float or 16-bit samples.
TEST(SoundShaping, PlaybackPlaysTheControlsAndMuteSilencesIt) {
    const auto movie = test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=3 -f lavfi -i sine=f=1000:r=48000:d=3 -af volume=0.8 "
        "-c:v libx264 -preset ultrafast -c:a pcm_s16le",
        "mkv");
    ASSERT_FALSE(movie.empty());
    auto opened = PlaybackAudio::open(movie, {kRate, 1, SampleKind::Float});
    ASSERT_TRUE(opened && *opened);
    PlaybackAudio& audio = **opened;
    const auto plain = playedSamples(audio, SampleKind::Float);
    ASSERT_GE(plain.size(), 3u * kRate - 1024);

    audio.setShaping({{-6, false, 1.0, 0}, 0.0, 3.0});
    ASSERT_TRUE(audio.seek(0));
    const auto shaped = playedSamples(audio, SampleKind::Float);
    ASSERT_EQ(shaped.size(), plain.size());
    EXPECT_LT(rmsDb(shaped, 0, kRate / 10), -40);
    EXPECT_NEAR(rmsDb(shaped, 3 * kRate / 2, 5 * kRate / 2), rmsDb(plain, 3 * kRate / 2, 5 * kRate / 2) - 6,
                0.1);

    audio.setShaping({{0, true}, 0.0, 3.0});
    ASSERT_TRUE(audio.seek(1.0));
    const auto muted = playedSamples(audio, SampleKind::Float);
    EXPECT_FALSE(muted.empty());
    EXPECT_TRUE(std::all_of(muted.begin(), muted.end(), [](float v) { return v == 0.0f; }));

    // 16-bit samples driven 6 dB over full scale saturate; none wraps round to the other sign.
    auto loud = PlaybackAudio::open(movie, {kRate, 1, SampleKind::Int16});
    ASSERT_TRUE(loud && *loud);
    (*loud)->setShaping({{26, false}, 0.0, 3.0});
    const auto clipped = playedSamples(**loud, SampleKind::Int16);
    ASSERT_EQ(clipped.size(), plain.size());
    for (std::size_t i = 0; i < clipped.size(); ++i)
        if (std::abs(plain[i]) > 0.01f) {
            ASSERT_EQ(std::signbit(clipped[i]), std::signbit(plain[i])) << i;
        }
    EXPECT_FLOAT_EQ(*std::max_element(clipped.begin(), clipped.end()), 32767 / 32768.0f);
}

}  // namespace
}  // namespace tintreel
