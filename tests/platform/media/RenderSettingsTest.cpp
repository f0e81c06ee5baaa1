// The render settings' names, the codec table, the movie extensions and the
// container rules.
#include <gtest/gtest.h>

#include "platform/media/MovieTypes.h"
#include "platform/media/RenderSettings.h"

namespace tintreel {
namespace {

TEST(RenderSettings, NamesRoundTripAndNonsenseIsRefused) {
    for (VideoCodec codec : {VideoCodec::H264, VideoCodec::H265, VideoCodec::AV1, VideoCodec::VP9})
        EXPECT_EQ(parseCodec(codecName(codec)), codec);
    for (const Quality& quality : {Quality{QualityLevel::High}, Quality{QualityLevel::Standard},
                                   Quality{QualityLevel::Small}, Quality{0}, Quality{63}})
        EXPECT_EQ(parseQuality(qualityName(quality)), quality) << qualityName(quality);
    for (EncodeSpeed speed : {EncodeSpeed::Faster, EncodeSpeed::Balanced, EncodeSpeed::Smaller})
        EXPECT_EQ(parseSpeed(speedName(speed)), speed);
    for (const char* bad : {"", "H264", "x264", "mpeg4"}) EXPECT_FALSE(parseCodec(bad)) << bad;
    for (const char* bad : {"", "High", "crf=", "crf=-1", "crf=2x", "crf=1.5", "medium"})
        EXPECT_FALSE(parseQuality(bad)) << bad;
    for (const char* bad : {"", "fast", "slow", "medium"}) EXPECT_FALSE(parseSpeed(bad)) << bad;
}

TEST(RenderSettings, OneTableMapsNamesOntoEachEncodersScale) {
    // The defaults are the encoding every render had before there were choices.
    const EncoderSetup h264 = encoderSetup(VideoCodec::H264, {});
    EXPECT_STREQ(h264.encoder, "libx264");
    EXPECT_STREQ(h264.preset, "medium");
    EXPECT_EQ(h264.crf, 16);
    // Each codec: smaller quality names climb its scale; its own encoder and preset option.
    for (VideoCodec codec : {VideoCodec::H264, VideoCodec::H265, VideoCodec::AV1, VideoCodec::VP9}) {
        int previous = -1;
        for (QualityLevel level : {QualityLevel::High, QualityLevel::Standard, QualityLevel::Small}) {
            const int crf = encoderSetup(codec, {.quality = {level}}).crf;
            EXPECT_GT(crf, previous) << codecName(codec);
            previous = crf;
        }
        EXPECT_EQ(encoderSetup(codec, {.quality = {30}}).crf, 30);
        EXPECT_STRNE(encoderSetup(codec, {.speed = EncodeSpeed::Faster}).preset,
                     encoderSetup(codec, {.speed = EncodeSpeed::Smaller}).preset);
    }
    EXPECT_STREQ(encoderSetup(VideoCodec::H265, {}).encoder, "libx265");
    EXPECT_STREQ(encoderSetup(VideoCodec::AV1, {}).encoder, "libsvtav1");
    EXPECT_STREQ(encoderSetup(VideoCodec::VP9, {}).encoder, "libvpx-vp9");
    // A CRF must fit the codec's own scale: 0-51 for x264/x265, 0-63 for AV1 and VP9.
    EXPECT_TRUE(checkQuality(VideoCodec::H264, Quality{51}));
    EXPECT_FALSE(checkQuality(VideoCodec::H265, Quality{52}));
    EXPECT_TRUE(checkQuality(VideoCodec::AV1, Quality{63}));
    EXPECT_FALSE(checkQuality(VideoCodec::VP9, Quality{64}));
    EXPECT_TRUE(checkQuality(VideoCodec::H264, Quality{QualityLevel::Small}));
    // Only a codec, a quality or a size asks for more than a copy of the source.
    EXPECT_FALSE(RenderSettings{}.asksForEncoding());
    EXPECT_FALSE(RenderSettings{.speed = EncodeSpeed::Faster}.asksForEncoding());
    EXPECT_TRUE(RenderSettings{.codec = VideoCodec::H264}.asksForEncoding());
    EXPECT_TRUE(RenderSettings{.quality = {QualityLevel::Small}}.asksForEncoding());
    EXPECT_TRUE(RenderSettings{.maxHeight = 720}.asksForEncoding());
}

TEST(MovieTypes, AcceptedExtensionsAndTheContainerRendersWrite) {
    for (const char* movie : {"a.mov", "b.MP4", "dir.x/c.m4v", "d.3gp", "e.3G2", "f.mkv", "g.WebM", "h.avi",
                              "i.ts", "j.mts", "k.m2ts", "l.mpg", "m.mpeg", "n.flv", "o.ogv", "p.wmv"})
        EXPECT_TRUE(hasMovieExtension(movie)) << movie;
    for (const char* other :
         {"photo.png", "anim.gif", "photo.jpg", "notes.txt", "mkv", "movie.", "movie.mp4.bak"})
        EXPECT_FALSE(hasMovieExtension(other)) << other;

    // The containers the writer makes keep their own extension as spelt; everything else renders into MP4.
    EXPECT_EQ(renderedExtensionFor("clip.mov"), "mov");
    EXPECT_EQ(renderedExtensionFor("CLIP.MOV"), "MOV");
    EXPECT_EQ(renderedExtensionFor("clip.3g2"), "3g2");
    EXPECT_EQ(renderedExtensionFor("clip.m4v"), "m4v");
    EXPECT_EQ(renderedExtensionFor("clip.mkv"), "mkv");
    EXPECT_EQ(renderedExtensionFor("clip.WebM"), "WebM");
    for (const char* other : {"clip.AVI", "clip.ts", "clip.mpg", "clip.flv", "clip.wmv"})
        EXPECT_EQ(renderedExtensionFor(other), "mp4") << other;
}

TEST(RenderSettings, ContainersHoldWhatFfmpegWritesForThem) {
    EXPECT_EQ(videoCodecFor("webm", std::nullopt), VideoCodec::VP9);
    EXPECT_EQ(videoCodecFor("WebM", VideoCodec::AV1), VideoCodec::AV1);
    EXPECT_EQ(videoCodecFor("mkv", std::nullopt), VideoCodec::H264);
    EXPECT_TRUE(checkRenderable("out.mp4", {}));
    EXPECT_TRUE(checkRenderable("out.MKV", {.codec = VideoCodec::AV1}));
    EXPECT_TRUE(checkRenderable("out.webm", {}));
    EXPECT_TRUE(checkRenderable("out.webm", {.codec = VideoCodec::AV1}));
    EXPECT_FALSE(checkRenderable("out.webm", {.codec = VideoCodec::H264}));
    EXPECT_FALSE(checkRenderable("out.webm", {.codec = VideoCodec::H265}));
    EXPECT_FALSE(checkRenderable("out.3gp", {.codec = VideoCodec::H265}));
    EXPECT_FALSE(checkRenderable("out.avi", {}));
    EXPECT_FALSE(checkRenderable("out", {}));
    EXPECT_FALSE(checkRenderable("out.mp4", {.quality = {52}}));
    EXPECT_TRUE(checkRenderable("out.webm", {.quality = {52}}));

    // The window's container: the input's when it holds the codec, else MP4.
    EXPECT_EQ(renderedExtensionFor("a.MOV", VideoCodec::H265), "MOV");
    EXPECT_EQ(renderedExtensionFor("a.webm"), "webm");
    EXPECT_EQ(renderedExtensionFor("a.webm", VideoCodec::AV1), "webm");
    EXPECT_EQ(renderedExtensionFor("a.webm", VideoCodec::H264), "mp4");
    EXPECT_EQ(renderedExtensionFor("a.3gp", VideoCodec::AV1), "mp4");
    EXPECT_EQ(renderedExtensionFor("a.mov", VideoCodec::AV1), "mp4");  // QuickTime refuses AV1 and VP9
    EXPECT_FALSE(checkRenderable("out.mov", {.codec = VideoCodec::VP9}));
    EXPECT_EQ(renderedExtensionFor("a.mkv", VideoCodec::H265), "mkv");

    const std::vector<std::string> vp9 = extensionsHolding("vp9");
    EXPECT_NE(std::find(vp9.begin(), vp9.end(), "webm"), vp9.end());
    EXPECT_NE(std::find(vp9.begin(), vp9.end(), "mkv"), vp9.end());
    EXPECT_EQ(std::find(vp9.begin(), vp9.end(), "3gp"), vp9.end());
    EXPECT_EQ(extensionsHolding("h264"),
              (std::vector<std::string>{"mov", "m4v", "mp4", "3gp", "3g2", "mkv"}));

    EXPECT_TRUE(sameContainer("a.mov", "b.MOV"));
    EXPECT_TRUE(sameContainer("a.mts", "b.ts"));
    EXPECT_FALSE(sameContainer("a.m4v", "b.mp4"));
    EXPECT_FALSE(sameContainer("a.mkv", "b.webm"));
}

}  // namespace
}  // namespace tintreel
