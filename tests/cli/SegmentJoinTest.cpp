// Parts of one movie, run as the real program: a span of it, and the movie
// (or a span of it) rendered in slices and joined. The joined movie has the frames, timestamps
// and audio of a whole render of the same input, looks as good, and bad
// slice numbers or incomplete sets of slices are refused with status 2 and
// one line before anything is written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "cli/CliProgram.h"
#include "platform/media/MovieJoin.h"
#include "platform/media/MovieSource.h"
#include "render/RenderJob.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

// A light look: the PSNR against the source then measures the encoding and
// falls by about 10 dB when the frames are one off, where a strong look
// would hide both.
const QStringList kLook{"--set", "sliderBrightness=0.02"};

// Four seconds with one key frame at the start (like a screen recording),
// reordered frames, and two audio tracks.
fs::path fewKeyFramesClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=4 -f lavfi -i sine=f=440:d=4 "
        "-f lavfi -i sine=f=660:d=4 -map 0 -map 1 -map 2 -pix_fmt yuv420p "
        "-c:v libx264 -g 250 -bf 3 -c:a aac",
        "mp4");
}

std::string probe(const fs::path& movie, const std::string& entries) {
    return test::runCommand("ffprobe -v error " + entries + " -of csv=p=0 '" + movie.string() + "'")
        .value_or("?");
}

// Presentation times of the decoded frames, in the order they are shown
// (without the side data some frames carry).
std::vector<std::string> frameTimes(const fs::path& movie) {
    std::istringstream lines(probe(movie, "-select_streams v:0 -show_entries frame=pts_time"));
    std::vector<std::string> times;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) times.push_back(line.substr(0, line.find(',')));
    return times;
}

// Every audio packet: track, time and size.
std::string audioPackets(const fs::path& movie) {
    return probe(movie, "-select_streams a -show_entries packet=stream_index,pts_time,size");
}

class SegmentJoin : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-segments-");
        source_ = fewKeyFramesClip();
        ASSERT_FALSE(source_.empty()) << "fixture not generated";
    }

    test::CliRun run(const QStringList& arguments) { return test::runCli(arguments, dir_); }

    fs::path renderSlice(int index, int count) { return renderSlice(index, count, source_); }
    fs::path renderSlice(int index, int count, const fs::path& source) {
        return renderSliceAs("part_" + std::to_string(index) + ".mkv", QString("%1/%2").arg(index).arg(count),
                             source);
    }
    fs::path renderSliceAs(const std::string& name, const QString& slice, const fs::path& source,
                           const QStringList& look = kLook) {
        const fs::path part = dir_ / name;
        const test::CliRun slicing =
            run(look + QStringList{"-y", "--segment", slice, "-o", q(part), q(source)});
        EXPECT_EQ(slicing.status, 0) << slicing.errors;
        return part;
    }

    // Status 2, one line of ours saying `why`, and nothing written at `output`.
    void expectRefused(const test::CliRun& refused, const std::string& why, const fs::path& output = {}) {
        test::expectRefusal(refused, why);
        EXPECT_TRUE(output.empty() || !fs::exists(output)) << output;
    }

    fs::path dir_;
    fs::path source_;
};

TEST_F(SegmentJoin, ThreeSlicesJoinIntoTheWholeRenderAndIncompleteOrForeignSetsAreRefused) {
    const fs::path whole = dir_ / "whole.mp4";
    const test::CliRun rendering = run(kLook + QStringList{"-o", q(whole), q(source_)});
    ASSERT_EQ(rendering.status, 0) << rendering.errors;

    std::vector<fs::path> parts;
    long sliceFrames = 0;
    for (int index = 1; index <= 3; ++index) {
        parts.push_back(renderSlice(index, 3));
        const auto video = test::probeStream(parts.back(), "v:0");
        ASSERT_TRUE(video) << parts.back();
        EXPECT_EQ(video->codec, "h264");
        EXPECT_GT(video->frames, 20) << "each slice holds about a third of 100 frames";
        sliceFrames += video->frames;
        EXPECT_FALSE(test::probeStream(parts.back(), "a")) << "a slice carries no audio";
    }
    EXPECT_EQ(sliceFrames, 100);

    // Given out of order, as a shell glob of part_10 … part_9 would.
    const fs::path joined = dir_ / "joined.mp4";
    const test::CliRun joining =
        run({"--join", "-o", q(joined), "--audio-from", q(source_), q(parts[2]), q(parts[0]), q(parts[1])});
    ASSERT_EQ(joining.status, 0) << joining.errors;

    const std::vector<std::string> wholeTimes = frameTimes(whole);
    EXPECT_EQ(wholeTimes.size(), 100u);
    EXPECT_EQ(frameTimes(joined), wholeTimes);
    const std::string wholeAudio = audioPackets(whole);
    EXPECT_NE(wholeAudio.find("\n2,"), std::string::npos) << "both audio tracks were copied";
    EXPECT_EQ(audioPackets(joined), wholeAudio);
    // The encoder restarts at each slice boundary; the pictures stay as good.
    const std::optional<double> wholePsnr = test::psnrRgb(source_, whole);
    const std::optional<double> joinedPsnr = test::psnrRgb(source_, joined);
    ASSERT_TRUE(wholePsnr && joinedPsnr);
    EXPECT_NEAR(*joinedPsnr, *wholePsnr, 0.5);

    // Checked before anything is written: a set with a slice missing, doubled,
    // cut short or from another split, and a container that cannot hold the slices.
    const fs::path &first = parts[0], &second = parts[1], &third = parts[2];
    // A slice without effects is still cut and encoded, and only its own file is left.
    const fs::path otherSplit = dir_ / "half.mkv";
    const test::CliRun plain = run({"--segment", "2/2", "-o", q(otherSplit), q(source_)});
    ASSERT_EQ(plain.status, 0) << plain.errors;
    const auto video = test::probeStream(otherSplit, "v:0");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->frames, 50);
    EXPECT_EQ(test::entryCount(dir_), 6) << "the whole and joined movies, three slices and half";
    const fs::path cut = dir_ / "cut_2.mkv";
    std::ofstream(cut, std::ios::binary) << test::fileContents(second).substr(0, fs::file_size(second) / 2);

    const fs::path output = dir_ / "refused.mp4";
    const auto join = [&](const std::vector<fs::path>& slices, const fs::path& to) {
        QStringList arguments{"--join", "-o", q(to), "--audio-from", q(source_)};
        for (const fs::path& slice : slices) arguments << q(slice);
        return run(arguments);
    };
    const std::vector<std::tuple<std::vector<fs::path>, std::string, fs::path>> refused{
        {{first, third}, "slice 2/3 is missing", output},
        {{first, dir_ / "part_9.mkv", third}, "cannot read", output},
        {{first, first, third}, "are both slice 1/3", output},
        {{first, otherSplit, third}, "is slice 2/2 but", output},
        {{first, source_, third}, "is not a slice", output},
        {{first, cut, third}, "cut_2.mkv\" is truncated", output},
        {{first, second, third}, "the slices are h264", dir_ / "joined.webm"}};
    for (const auto& [slices, why, to] : refused) {
        SCOPED_TRACE(why);
        expectRefused(join(slices, to), why, to);
    }
    EXPECT_EQ(join({first, second, third}, dir_ / "joined.mkv").status, 0);

    // The output rules of every render hold for a join too.
    std::ofstream(output) << "keep me";
    expectRefused(join({first, third}, output), "exists");
    EXPECT_EQ(fs::file_size(output), 7u);
    const auto firstSize = fs::file_size(first);
    expectRefused(run({"--join", "-y", "-o", q(first), "--audio-from", q(source_), q(first)}),
                  "this run reads");
    EXPECT_EQ(fs::file_size(first), firstSize);
}

// The slices record the sound controls; the join applies them once, to the
// whole sound, as a whole render does: every track at the target.
TEST_F(SegmentJoin, TheJoinAppliesTheSoundControlsTheSlicesCarry) {
    const QStringList loud = kLook + QStringList{"--loudness", "-20"};
    const fs::path whole = dir_ / "whole.mp4";
    ASSERT_EQ(run(loud + QStringList{"-o", q(whole), q(source_)}).status, 0);
    const fs::path first = renderSliceAs("a.mkv", "1/2", source_, loud);
    const fs::path last = renderSliceAs("b.mkv", "2/2", source_, loud);
    const fs::path joined = dir_ / "joined.mp4";
    const test::CliRun joining =
        run({"--join", "-o", q(joined), "--audio-from", q(source_), q(first), q(last)});
    ASSERT_EQ(joining.status, 0) << joining.errors;
    for (const char* track : {"a:0", "a:1"}) {
        SCOPED_TRACE(track);
        const std::optional<test::LoudnessReading> ours = test::ffmpegLoudness(joined, track);
        const std::optional<test::LoudnessReading> theirs = test::ffmpegLoudness(whole, track);
        ASSERT_TRUE(ours && theirs);
        EXPECT_NEAR(ours->integratedLufs, -20, 0.5);
        EXPECT_NEAR(ours->integratedLufs, theirs->integratedLufs, 0.2);
    }
    // Slices of another sound are another split.
    const fs::path plain = renderSliceAs("c.mkv", "2/2", source_);
    expectRefused(
        run({"--join", "-o", q(dir_ / "mixed.mp4"), "--audio-from", q(source_), q(first), q(plain)}),
        "another look", dir_ / "mixed.mp4");
}

// Frequent key frames with reordered frames, where the key frame a seek
// lands on can be shown after the cut: at an NTSC rate whose frame times the
// slices' millisecond clock cannot hold exactly, and in MPEG-TS, whose video
// starts late and whose seeks go by file position.
TEST_F(SegmentJoin, FrequentKeyFramesOddRatesAndLateStartsJoinExactly) {
    const std::string sources = "-f lavfi -i testsrc2=s=160x90:r=30000/1001:d=3 -f lavfi -i sine=d=3 ";
    for (const auto& [codec, extension] : {std::pair{"-c:v libx264 -g 7 -bf 3 -pix_fmt yuv420p", "mov"},
                                           std::pair{"-c:v mpeg2video -g 12 -bf 2", "ts"}}) {
        SCOPED_TRACE(extension);
        const fs::path source = test::makeClip(sources + codec + " -c:a aac", extension);
        ASSERT_FALSE(source.empty());
        // Where a whole render of the source writes: MPEG-4 for MPEG-TS.
        const std::string rendered = std::string(extension) == "ts" ? "mp4" : extension;
        const fs::path whole = dir_ / ("whole." + rendered);
        const fs::path joined = dir_ / ("joined." + rendered);
        ASSERT_EQ(run(kLook + QStringList{"-y", "-o", q(whole), q(source)}).status, 0);
        QStringList join{"--join", "-y", "-o", q(joined), "--audio-from", q(source)};
        for (int index = 1; index <= 5; ++index) join << q(renderSlice(index, 5, source));
        const test::CliRun joining = run(join);
        ASSERT_EQ(joining.status, 0) << joining.errors;
        EXPECT_EQ(frameTimes(whole).size(), 90u);
        EXPECT_EQ(frameTimes(joined), frameTimes(whole));
        EXPECT_EQ(audioPackets(joined), audioPackets(whole));
    }
}

// Subtitles, chapters and the movie's metadata come once from the source,
// as a whole render carries them; with a span, cut and moved to it as a
// render of the span carries them.
TEST_F(SegmentJoin, SubtitlesChaptersAndMetadataJoinAsInAWholeRender) {
    const fs::path source = test::clipWithExtras("mp4", "aac", "mov_text");
    ASSERT_FALSE(source.empty());
    // The span, the first cue in the output (start, length, bytes) and the second chapter's start.
    const std::tuple<QStringList, std::string, std::string> cases[] = {
        {{}, "0.200000,0.600000,13", "1.000000"},
        {{"--from", "0.5", "--to", "1.5"}, "0.000000,0.300000,13", "0.500000"},
    };
    for (const auto& [span, firstCue, secondChapter] : cases) {
        SCOPED_TRACE(span.join(' ').toStdString());
        const fs::path whole = dir_ / "whole.mp4";
        const fs::path joined = dir_ / "joined.mp4";
        ASSERT_EQ(run(kLook + span + QStringList{"-y", "-o", q(whole), q(source)}).status, 0);
        const test::CliRun joining = run({"--join", "-y", "-o", q(joined), "--audio-from", q(source),
                                          q(renderSliceAs("a.mkv", "1/2", source, kLook + span)),
                                          q(renderSliceAs("b.mkv", "2/2", source, kLook + span))});
        ASSERT_EQ(joining.status, 0) << joining.errors;

        const std::string subtitles = "-select_streams s -show_entries packet=pts_time,duration_time,size";
        const std::string chapters = "-show_entries chapter=start_time,end_time:chapter_tags=title";
        const std::string movieTags = "-show_entries format_tags=title,creation_time";
        EXPECT_NE(probe(whole, subtitles).find(firstCue), std::string::npos) << probe(whole, subtitles);
        EXPECT_NE(probe(whole, chapters).find("\n" + secondChapter + ","), std::string::npos)
            << probe(whole, chapters);
        EXPECT_NE(probe(whole, movieTags).find("Clip title"), std::string::npos);
        for (const std::string& facts : {subtitles, chapters, movieTags})
            EXPECT_EQ(probe(joined, facts), probe(whole, facts)) << facts;
        EXPECT_EQ(frameTimes(joined), frameTimes(whole));
    }
}

// With --from/--to the slices split the span and record it, and the join
// cuts the sound to it: the joined movie is the render of that span in one
// piece, its frames, times and sound, with a text watermark timed from the
// in point on the same frames. Slices of another span are another split.
TEST_F(SegmentJoin, SlicesOfASpanJoinIntoTheRenderOfThatSpan) {
    const QStringList timed =
        kLook + QStringList{"--set", "checkTextWatermark=1", "--set", "stepperTextStart=1",
                            "--set", "stepperTextEnd=2"};
    const struct {
        QStringList span;
        int slices;
        std::size_t frames;
    } cases[] = {
        {{"--from", "0.5", "--to", "3.3"}, 3, 71},  // the frame shown at 0.5 (0.48) comes first
        {{"--from", "1"}, 2, 75},
        {{"--to", "2.02"}, 4, 51},
    };
    for (const auto& [span, slices, frames] : cases) {
        SCOPED_TRACE(span.join(' ').toStdString());
        const fs::path whole = dir_ / "whole.mp4";
        const test::CliRun rendering = run(timed + span + QStringList{"-y", "-o", q(whole), q(source_)});
        ASSERT_EQ(rendering.status, 0) << rendering.errors;
        QStringList join{"--join", "-y", "-o", q(dir_ / "joined.mp4"), "--audio-from", q(source_)};
        for (int index = slices; index >= 1; --index)
            join << q(renderSliceAs("span_" + std::to_string(index) + ".mkv",
                                    QString("%1/%2").arg(index).arg(slices), source_, timed + span));
        const test::CliRun joining = run(join);
        ASSERT_EQ(joining.status, 0) << joining.errors;
        const fs::path joined = dir_ / "joined.mp4";

        EXPECT_EQ(frameTimes(whole).size(), frames);
        EXPECT_EQ(frameTimes(joined), frameTimes(whole));
        const std::string duration = "-show_entries format=duration";
        EXPECT_EQ(probe(joined, duration), probe(whole, duration));
        const std::string wholeAudio = audioPackets(whole);
        EXPECT_NE(wholeAudio.find("\n2,"), std::string::npos) << "both audio tracks were cut";
        EXPECT_EQ(audioPackets(joined), wholeAudio);
        // The watermark shows from 1 s to 2 s of the output in both; slices
        // timing it from the movie's start would put it elsewhere. The
        // encodings differ by about 2 a sample; the watermark on one frame and
        // not the other, by far more (the frames' PSNR falls from 38 to 14 dB).
        for (double seconds : {0.0, 0.9, 1.5, 1.96}) {
            SCOPED_TRACE(seconds);
            const std::optional<Image> ours = test::ffmpegFrame(joined, seconds);
            const std::optional<Image> theirs = test::ffmpegFrame(whole, seconds);
            ASSERT_TRUE(ours && theirs);
            EXPECT_LT(test::meanDifference(*ours, *theirs), 5.0);
        }
        const std::optional<double> psnr = test::psnrRgb(whole, joined);
        ASSERT_TRUE(psnr);
        EXPECT_GT(*psnr, 35.0);  // about 38 to 39 dB, the encoder restarting at each slice
    }

    // The last case's slices beside one of the whole movie, and of another span.
    const fs::path other = renderSliceAs("other_2.mkv", "2/4", source_, timed);
    const fs::path shifted =
        renderSliceAs("shifted_2.mkv", "2/4", source_, timed + QStringList{"--to", "2.5"});
    for (const auto& [slice, why] :
         {std::pair{other, std::string("covers the whole movie but")},
          std::pair{shifted, std::string("covers --from 0:00.00 --to 0:02.50 but")}}) {
        const fs::path output = dir_ / "mixed.mp4";
        expectRefused(run({"--join", "-o", q(output), "--audio-from", q(source_), q(dir_ / "span_1.mkv"),
                           q(slice), q(dir_ / "span_3.mkv"), q(dir_ / "span_4.mkv")}),
                      why, output);
    }
}

TEST_F(SegmentJoin, BadSliceNumbersAndOptionsAreRefused) {
    const fs::path part = dir_ / "part.mkv";
    for (const char* slice : {"0/3", "4/3", "1/0", "two/3", "1/3x", "3", "-1/2"})
        expectRefused(run({"--segment", slice, "-o", q(part), q(source_)}), "--segment takes K/N", part);
    expectRefused(run({"--segment", "1/2", "-o", q(dir_ / "part.mp4"), q(source_)}), "must end in .mkv",
                  dir_ / "part.mp4");
    expectRefused(run({"--segment", "1/2", "--passes", "each", "-o", q(part), q(source_)}), "one pass", part);
    expectRefused(run({"--join", "-o", q(dir_ / "out.mp4"), q(part)}), "--audio-from", dir_ / "out.mp4");
    // A span of 0.2 s holds five frames.
    expectRefused(run({"--from", "1", "--to", "1.2", "--segment", "6/6", "-o", q(part), q(source_)}),
                  "its span has 5 frames, so it can be cut into at most 5 slices", part);
    // B-frames packed in AVI have no presentation times to cut by.
    const fs::path packed = test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=1 -c:v mpeg4 -bf 2", "avi");
    ASSERT_FALSE(packed.empty());
    expectRefused(run({"--segment", "2/2", "-o", q(part), q(packed)}), "no presentation times", part);
}

// A slice without frames cannot be written as a file any reader accepts, so
// a movie is cut into at most as many slices as it has frames; that many
// each hold one frame and join into the whole movie.
TEST_F(SegmentJoin, AMovieIsCutIntoAtMostAsManySlicesAsItHasFrames) {
    const fs::path sparse = test::makeClip("-f lavfi -i testsrc2=s=160x90:r=1:d=10 -c:v libx264", "mp4");
    ASSERT_FALSE(sparse.empty());
    const fs::path part = dir_ / "part.mkv";
    expectRefused(run({"--segment", "11/16", "-o", q(part), q(sparse)}), "at most 10 slices", part);

    QStringList joining{"--join", "-o", q(dir_ / "joined.mp4"), "--audio-from", q(sparse)};
    for (int index = 1; index <= 10; ++index) {
        const fs::path slice = renderSlice(index, 10, sparse);
        const auto video = test::probeStream(slice, "v:0");
        ASSERT_TRUE(video) << slice;
        EXPECT_EQ(video->frames, 1) << slice;
        joining << q(slice);
    }
    const test::CliRun joined = run(joining);
    ASSERT_EQ(joined.status, 0) << joined.errors;
    const auto video = test::probeStream(dir_ / "joined.mp4", "v:0");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->frames, 10);
}

// Two seconds of 160x90 at 25 fps with a tone; `picture` is the lavfi source.
fs::path twoSeconds(const std::string& picture) {
    return test::makeClip(
        "-f lavfi -i " + picture +
            "=s=160x90:r=25:d=2 -f lavfi -i sine=d=2 -pix_fmt yuv420p -c:v libx264 -c:a aac",
        "mp4");
}

// A copy of `slice` as an older build wrote it: the same bytes with the
// origin tags renamed to names no reader knows (Matroska stores them in
// capitals), so only the slice number is left. False when a tag is missing.
bool withoutOriginTags(const fs::path& slice, const fs::path& copy) {
    std::ifstream in(slice, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    for (const std::string tag :
         {"TINTREEL_SLICE_SOURCE", "TINTREEL_SLICE_LOOK", "TINTREEL_SLICE_ENCODING"}) {
        const std::size_t at = bytes.find(tag);
        if (at == std::string::npos) return false;
        bytes[at] = 'X';
    }
    std::ofstream(copy, std::ios::binary) << bytes;
    return true;
}

// Each slice records the movie it was cut from and the look and encoding
// that made it: slices that disagree, or the sound of another movie, are
// refused naming the slice and what differs, even for movies of one size,
// rate and length; the slices of one split still join whole. Slices of an
// older build record no origin: joined alone with the checks they allow and
// a line saying so, refused beside slices that record one.
TEST_F(SegmentJoin, SlicesOfAnotherMovieLookOrBuildAndTheSoundOfAnotherMovieAreRefused) {
    const fs::path movie = twoSeconds("testsrc2");
    const fs::path twin = twoSeconds("smptebars");
    const fs::path longer = test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=20 -f lavfi -i sine=d=20 -pix_fmt yuv420p -c:v libx264 -c:a "
        "aac",
        "mp4");
    ASSERT_FALSE(movie.empty() || twin.empty() || longer.empty());
    const fs::path first = renderSliceAs("part_1.mkv", "1/2", movie);
    const fs::path second = renderSliceAs("part_2.mkv", "2/2", movie);
    const fs::path output = dir_ / "joined.mp4";
    const auto join = [&](const fs::path& sound, const fs::path& last) {
        return run({"--join", "-o", q(output), "--audio-from", q(sound), q(first), q(last)});
    };

    const struct {
        fs::path sound, last;
        std::string slice, disagreement;
    } refusals[] = {
        {movie, renderSliceAs("twin_2.mkv", "2/2", twin), "twin_2.mkv\" was cut from another movie than",
         "(its movie is another file of the same size, length and tracks)"},
        {movie, renderSliceAs("look_2.mkv", "2/2", movie, {"--set", "sliderBrightness=0.05"}),
         "look_2.mkv\" was rendered with another look than", "part_1.mkv"},
        {movie, renderSliceAs("small_2.mkv", "2/2", movie, kLook + QStringList{"--quality", "small"}),
         "small_2.mkv\" is encoded differently from", "part_1.mkv"},
        {twin, second, "\" is not the movie \"" + first.string() + "\" was cut from",
         "(it is another file of the same size, length and tracks)"},
        {longer, second, "\" is not the movie \"" + first.string() + "\" was cut from", "(it is 20."},
    };
    for (const auto& [sound, last, slice, disagreement] : refusals) {
        SCOPED_TRACE(last.filename().string() + " with the sound of " + sound.filename().string());
        const test::CliRun refused = join(sound, last);
        expectRefused(refused, slice, output);
        EXPECT_NE(refused.errors.find(disagreement), std::string::npos) << refused.errors;
    }

    const test::CliRun joined = join(movie, second);
    ASSERT_EQ(joined.status, 0) << joined.errors;
    EXPECT_EQ(joined.errors, "");
    const auto video = test::probeStream(output, "v:0");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->frames, 50);
    EXPECT_TRUE(test::probeStream(output, "a:0"));

    const fs::path old[] = {dir_ / "old_1.mkv", dir_ / "old_2.mkv"};
    ASSERT_TRUE(withoutOriginTags(first, old[0]) && withoutOriginTags(second, old[1]));
    const fs::path oldJoined = dir_ / "old.mp4";
    expectRefused(run({"--join", "-o", q(oldJoined), "--audio-from", q(movie), q(first), q(old[1])}),
                  "old_2.mkv\" was written by an older tintreel-render", oldJoined);
    const test::CliRun joinedOld =
        run({"--join", "-o", q(oldJoined), "--audio-from", q(movie), q(old[0]), q(old[1])});
    ASSERT_EQ(joinedOld.status, 0) << joinedOld.errors;
    EXPECT_NE(joinedOld.errors.find("record no source or look"), std::string::npos) << joinedOld.errors;
    const auto oldVideo = test::probeStream(oldJoined, "v:0");
    ASSERT_TRUE(oldVideo);
    EXPECT_EQ(oldVideo->frames, 50);
}

// Recording its origin costs a slice render no open of its input: the
// source's one open, as before, and the check that its frames carry
// presentation times, which reads the first packets on its own.
TEST_F(SegmentJoin, ASliceRecordsItsOriginWithoutOpeningItsInputAgain) {
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    const RenderJob job{{source_, dir_ / "part.mkv"}, ExistingOutput::Fail, SliceNumber{2, 3}};
    const long long before = inputOpenCount(source_);
    JobWatcher watcher;
    const std::atomic<bool> cancel{false};
    ASSERT_EQ(runRenderJob(job, {settings, Image(), RenderSettings{}, PassMode::One}, cancel, watcher).state,
              JobState::Done);
    EXPECT_EQ(inputOpenCount(source_) - before, 2);
    const Result<SourceCheck> recorded = checkCutFrom(job.files.output, source_);
    ASSERT_TRUE(recorded) << recorded.error();
    EXPECT_EQ(*recorded, SourceCheck::Matches);
}

// --from and --to: a span past a movie's end is clamped, a movie shorter
// than --from fails with a line and leaves nothing, in a batch each job keeps
// its own end, and --cut keyframes copies from the key frame before the in
// point, saying so.

// `seconds` of 160x90 at 10 fps with a key frame every 2 s, and a tone.
fs::path clipOf(int seconds) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=160x90:r=10:d=" + d + " -f lavfi -i sine=r=48000:d=" + d +
                              " -pix_fmt yuv420p -c:v libx264 -g 20 -sc_threshold 0 -c:a aac",
                          "mp4");
}

double videoSeconds(const fs::path& movie) {
    const std::optional<test::StreamFacts> video = test::probeStream(movie, "v:0");
    return video ? video->frames / 10.0 : -1.0;
}

TEST(SpanCommand, OutPastTheEndIsTheEndAMovieShorterThanTheInPointFailsAndAKeyFrameCutCopies) {
    const fs::path dir = test::testDirectory("cli-span-");
    const fs::path shortClip = dir / "short.mp4", longClip = dir / "long.mp4";
    fs::copy_file(clipOf(2), shortClip);
    fs::copy_file(clipOf(4), longClip);

    const test::CliRun clamped =
        test::runCli({"--from", "1", "--to", "9", "-o", q(dir / "a.mp4"), q(shortClip)}, dir);
    ASSERT_EQ(clamped.status, 0) << clamped.errors;
    EXPECT_NEAR(videoSeconds(dir / "a.mp4"), 1.0, 1e-9);

    const test::CliRun late = test::runCli({"--from", "3", "-o", q(dir / "b.mp4"), q(shortClip)}, dir);
    EXPECT_EQ(late.status, 2);
    EXPECT_NE(late.errors.find("past the end of the movie"), std::string::npos) << late.errors;
    EXPECT_FALSE(fs::exists(dir / "b.mp4"));

    // A batch: the short movie fails, the long one is cut, the run says one failed.
    fs::create_directory(dir / "out");
    const test::CliRun batch =
        test::runCli({"--from", "2.5", "-o", q(dir / "out"), q(shortClip), q(longClip)}, dir);
    EXPECT_EQ(batch.status, 1) << batch.errors;
    EXPECT_FALSE(fs::exists(dir / "out" / "short.mp4"));
    EXPECT_NEAR(videoSeconds(dir / "out" / "long.mp4"), 1.5, 1e-9);

    const test::CliRun run = test::runCli(
        {"--from", "2.5", "--to", "3.5", "--cut", "keyframes", "-o", q(dir / "c.mp4"), q(longClip)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("Cut at key frames"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0.50 s before the in point"), std::string::npos) << run.output;
    // From the key frame at 2 s up to 3.5 s, copied: the packets are the source's, not encoded again.
    EXPECT_NEAR(videoSeconds(dir / "c.mp4"), 1.5, 1e-9);
    const std::optional<test::StreamFacts> audio = test::probeStream(dir / "c.mp4", "a:0");
    ASSERT_TRUE(audio);
    EXPECT_NEAR(audio->duration, 1.5, 0.05);
}

}  // namespace
}  // namespace tintreel
