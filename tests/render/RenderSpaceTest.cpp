// The room a render needs: the estimate of its size, bounded by a real
// render, and the folder that holds it; and the arithmetic of a file-size
// target.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "platform/media/MediaAsset.h"
#include "platform/media/RenderSettings.h"
#include "render/RenderFixtures.h"
#include "render/RenderSpace.h"
#include "render/SizeTarget.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// 10 s of 1280x720 at 25 fps with 128 kbit/s of sound, 50 MB on disk.
SourceFacts sampleSource() {
    return {10.0, 1280, 720, 25.0, 128000.0, 50'000'000};
}

RenderRequest requestWith(EffectSettings settings, PassMode mode = PassMode::One,
                          RenderSettings render = {}) {
    RenderRequest request{std::move(settings), {}, "/videos/clip.mp4", "/tmp/unused", mode};
    request.renderSettings = render;
    return request;
}

EffectSettings withEffects(int count) {
    EffectSettings settings = defaultEffectSettings();
    if (count > 0) settings.checkSepia = 1;
    if (count > 1) settings.checkVignette = 1;
    if (count > 2) settings.sliderBrightness = 0.2f;
    return settings;
}

// Worked out by hand: seconds x (pixels x rate x bits per pixel + audio) / 8.
TEST(RenderSpaceTest, TheEstimateFollowsTheSourceAndTheSettings) {
    const double pixels = 1280.0 * 720, seconds = 10, rate = 25, audio = 128000;
    const auto movie = [&](double framePixels, double bitsPerPixel) {
        return seconds * (framePixels * rate * bitsPerPixel + audio) / 8;
    };
    RenderSettings small, crf, half, vp9;
    small.quality = Quality{QualityLevel::Small};
    crf.quality = Quality{22};  // H.264: 6 steps past High, of the 10 to Small
    half.maxHeight = 360;
    vp9.codec = VideoCodec::VP9;
    RenderSettings fourK;
    fourK.preset = findOutputPreset("4k");
    RenderRequest cropped = requestWith(withEffects(2), PassMode::Each);
    cropped.crop = PixelRect{100, 50, 640, 360};
    RenderRequest spanned = requestWith(withEffects(1));
    spanned.span = MovieSpan{3.0, 7.0};
    struct Case {
        const char* what;
        RenderRequest request;
        double expected;
    };
    const std::vector<Case> cases{
        {"nothing to encode: the source is copied", requestWith(withEffects(0)), 50'000'000},
        {"one effect at High", requestWith(withEffects(1)), movie(pixels, 6)},
        {"Small halves the video", requestWith(withEffects(1), PassMode::One, small), movie(pixels, 3)},
        {"crf=22", requestWith(withEffects(1), PassMode::One, crf), movie(pixels, 6 * std::exp2(-0.6))},
        {"half the height, a quarter of the pixels", requestWith(withEffects(1), PassMode::One, half),
         movie(pixels / 4, 6)},
        {"VP9 at its own High", requestWith(withEffects(1), PassMode::One, vp9), movie(pixels, 6)},
        {"one pass of three effects", requestWith(withEffects(3)), movie(pixels, 6)},
        {"each effect in its own pass: two lossless movies at most beside the final one",
         requestWith(withEffects(3), PassMode::Each), movie(pixels, 6) + 2 * movie(pixels, 30)},
        {"two passes: one lossless movie", requestWith(withEffects(2), PassMode::Each),
         movie(pixels, 6) + movie(pixels, 30)},
        {"one effect in its own pass is the one pass", requestWith(withEffects(1), PassMode::Each),
         movie(pixels, 6)},
        {"the 4K preset scales up", requestWith(withEffects(1), PassMode::One, fourK), movie(3840.0 * 2160, 6)},
        {"a crop, in the lossless movies too", cropped, movie(640.0 * 360, 6) + movie(640.0 * 360, 30)},
        {"a span of 4 s", spanned, movie(pixels, 6) * 0.4},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(static_cast<double>(estimateRenderBytes(c.request, sampleSource())), c.expected, 2)
            << c.what;

    SourceFacts unknownRate = sampleSource();
    unknownRate.framesPerSecond = 0;  // bounded as 60 frames a second
    EXPECT_NEAR(static_cast<double>(estimateRenderBytes(requestWith(withEffects(1)), unknownRate)),
                seconds * (pixels * 60 * 6 + audio) / 8, 2);
}

// The bound holds for a real render of the hardest material there is for
// an encoder: noise that changes every frame.
TEST(RenderSpaceTest, ARealRenderOfNoiseStaysBelowItsEstimate) {
    const fs::path clip = test::makeClip(
        "-f lavfi -i testsrc2=s=320x180:r=25:d=2,noise=alls=80:allf=t+u -f lavfi -i sine=d=2 -pix_fmt "
        "yuv420p "
        "-c:v libx264 -crf 0 -c:a aac",
        "mp4");
    ASSERT_FALSE(clip.empty());
    const fs::path folder = test::scratchDirectory("render-space-noise");
    const MediaAsset asset = MediaAsset::open(clip);
    const SourceFacts facts = sourceFactsOf(asset, clip);
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 180);
    EXPECT_DOUBLE_EQ(facts.framesPerSecond, 25.0);
    EXPECT_GT(facts.audioBitsPerSecond, 0.0);
    EXPECT_EQ(facts.fileBytes, fs::file_size(clip));

    RenderRequest request{withEffects(1), {}, clip, folder, PassMode::One};
    const std::uintmax_t estimate = estimateRenderBytes(request, facts);
    const RenderResult result = test::render(request).result;
    ASSERT_EQ(result.outcome, RenderOutcome::Succeeded);
    const std::uintmax_t written = fs::file_size(result.newVideoPath);
    EXPECT_LT(written, estimate);
    EXPECT_GT(written, estimate / 4);  // a bound, but not a wild one
}

class RenderFoldersTest : public ::testing::Test {
protected:
    fs::path root = test::scratchDirectory(std::string("render-folders-") +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path fast = root / "runtime";
    fs::path cacheParent = root / "cache" / "Tintreel";
    std::optional<std::uintmax_t> freeBytes;
    RenderFolders folders{fast, cacheParent, [this](const fs::path& folder) {
                              EXPECT_EQ(folder, fast);
                              return freeBytes;
                          }};

    void SetUp() override { fs::create_directories(fast); }
};

// The runtime folder while it holds the render and the reserve; else a
// private folder in the cache folder, made once, mode 0700. Switching
// empties the folder left, whose movie the new render replaces anyway.
TEST_F(RenderFoldersTest, TheRuntimeFolderIsUsedOnlyWhileItHoldsTheRender) {
    const std::uintmax_t render = 100 << 20;
    freeBytes = render + kRuntimeFolderReserve;
    EXPECT_EQ(folders.folderFor(render), fast);
    std::ofstream(fast / "movie.mp4") << "earlier render";

    freeBytes = render + kRuntimeFolderReserve - 1;
    const fs::path cache = folders.folderFor(render);
    EXPECT_EQ(cache.parent_path(), cacheParent);
    EXPECT_TRUE(fs::is_directory(cache));
    struct stat info {};
    ASSERT_EQ(::stat(cache.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::is_empty(fast));
    std::ofstream(cache / "movie.mp4") << "render in the cache";

    freeBytes = 10;  // less than the reserve alone
    EXPECT_EQ(folders.folderFor(1), cache);
    EXPECT_TRUE(fs::exists(cache / "movie.mp4"));

    freeBytes = std::nullopt;  // cannot be told: the runtime folder, as before this check
    EXPECT_EQ(folders.folderFor(render), fast);
    EXPECT_TRUE(fs::is_empty(cache));

    std::ofstream(fast / "movie.mp4") << "x";
    folders.deleteTemporaryFiles();
    EXPECT_TRUE(fs::is_empty(fast));
}

TEST_F(RenderFoldersTest, TheCacheFolderGoesWithTheFolders) {
    freeBytes = 0;
    fs::path cache;
    {
        RenderFolders own(fast, cacheParent,
                          [](const fs::path&) { return std::optional<std::uintmax_t>(0); });
        cache = own.folderFor(1);
        ASSERT_NE(cache, fast);
    }
    EXPECT_FALSE(fs::exists(cache));
    EXPECT_TRUE(fs::exists(fast));
}

// The arithmetic of a file-size target: how sizes are read and written, when
// the sound is copied or re-encoded smaller, which targets are refused, and
// how the rate comes down after a file that came out too large.
TEST(SizeTarget, ReadsSizesInBytesAndDecimalUnits) {
    const std::vector<std::pair<std::string, std::optional<long long>>> cases{
        {"8M", 8'000'000},       {"8m", 8'000'000},
        {"8MB", 8'000'000},      {"300k", 300'000},
        {"1.5G", 1'500'000'000}, {"4096", 4096},
        {"2.5k", 2500},          {"0", std::nullopt},
        {"0M", std::nullopt},    {"0.0001k", std::nullopt},
        {"-3M", std::nullopt},   {"8X", std::nullopt},
        {"", std::nullopt},      {"M", std::nullopt},
        {"nanM", std::nullopt},  {"8 M", std::nullopt},
        {"1e30", std::nullopt}};
    for (const auto& [text, bytes] : cases) EXPECT_EQ(parseByteSize(text), bytes) << text;
    EXPECT_EQ(byteSizeText(8'000'000), "8 MB");
    EXPECT_EQ(byteSizeText(312'500), "312 kB");
    EXPECT_EQ(byteSizeText(999), "999 bytes");
}

// Bits a file of the plan spends over `seconds`, sound and video together.
double plannedBytes(const SizePlan& plan, const SoundFacts& sound, double seconds) {
    const double soundBits =
        plan.audioBitsPerSecond > 0 ? plan.audioBitsPerSecond * sound.tracks : sound.bitsPerSecond;
    return (plan.videoBitsPerSecond + soundBits) * seconds / 8.0;
}

TEST(SizeTarget, CopiesTheSoundWhileItFitsAndKeepsTheFileUnderTheTarget) {
    struct Case {
        long long maxBytes;
        double seconds;
        SoundFacts sound;
        bool copied;
    };
    const std::vector<Case> cases{
        {300'000, 3.0, {1, 128'000}, true},     // a quarter of 770 kb/s holds 128 kb/s
        {100'000, 3.0, {1, 128'000}, false},    // a quarter of 250 kb/s does not
        {8'000'000, 60.0, {2, 192'000}, true},  // two tracks of 96 kb/s in 1 Mb/s
        {8'000'000, 60.0, {2, 0}, false},       // a rate the file does not state cannot be counted on
        {300'000, 3.0, {0, 0}, true},           // no sound: all for the picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.maxBytes) + " bytes over " + std::to_string(c.seconds) + " s");
        const Result<SizePlan> plan = planForSize(c.maxBytes, c.seconds, c.sound);
        ASSERT_TRUE(plan) << plan.error();
        EXPECT_EQ(plan->audioBitsPerSecond == 0, c.copied);
        if (!c.copied) {
            EXPECT_GE(plan->audioBitsPerSecond, 24'000);
            EXPECT_LE(plan->audioBitsPerSecond, 128'000);
        }
        const double bytes = plannedBytes(*plan, c.sound, c.seconds);
        EXPECT_LT(bytes, 0.95 * c.maxBytes);
        EXPECT_GT(bytes, 0.85 * c.maxBytes);
    }
}

TEST(SizeTarget, RefusesTargetsNoFileCanMeet) {
    const std::vector<std::tuple<long long, double, SoundFacts, std::string>> cases{
        {10'000,
         3.0,
         {1, 128'000},
         "10 kB is too small for 3 s of this movie and its sound: it needs at least"},
        {5'000, 3.0, {0, 0}, "5 kB is too small for 3 s of this movie: it needs at least"},
        {0, 3.0, {0, 0}, "more than 0 bytes"},
        {300'000, 0.0, {0, 0}, "duration is unknown"},
    };
    for (const auto& [maxBytes, seconds, sound, why] : cases) {
        const Result<SizePlan> plan = planForSize(maxBytes, seconds, sound);
        ASSERT_FALSE(plan) << maxBytes;
        EXPECT_NE(plan.error().find(why), std::string::npos) << plan.error();
    }
    // A little over the least size it names is enough.
    const Result<SizePlan> refused = planForSize(10'000, 3.0, {1, 128'000});
    ASSERT_FALSE(refused);
    const std::string least = refused.error().substr(refused.error().rfind("least ") + 6);
    const std::optional<long long> leastBytes = parseByteSize(least.substr(0, least.find(' ')) + "k");
    ASSERT_TRUE(leastBytes) << least;
    EXPECT_TRUE(planForSize(*leastBytes + 1000, 3.0, {1, 128'000}));
}

TEST(SizeTarget, LowersTheRateByTheExcessOnly) {
    const SizePlan plan{700'000, 0};
    EXPECT_FALSE(replanForSize(plan, 300'000, 300'000, 3.0));  // fits exactly
    const std::optional<SizePlan> lower = replanForSize(plan, 300'000, 330'000, 3.0);
    ASSERT_TRUE(lower);
    // 30 kB over 3 s is 80 kb/s too many; the new rate takes that and a margin off.
    EXPECT_LT(lower->videoBitsPerSecond, 700'000 - 80'000);
    EXPECT_GT(lower->videoBitsPerSecond, 0.9 * (700'000 - 80'000));
    EXPECT_FALSE(replanForSize(plan, 300'000, 600'000, 3.0));  // no rate left worth a picture
}

}  // namespace
}  // namespace tintreel
