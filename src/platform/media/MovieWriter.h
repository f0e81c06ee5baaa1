#pragma once
// MovieWriter: encodes the frames a MovieReader delivers into the container
// the file extension names (see MovieTypes.h) and carries every audio track
// of the reader into it (see AudioTracks.h: copied, or re-encoded when the
// container does not take it), and its subtitle tracks where the container
// takes them as they are. The final movie is encoded as its RenderSettings
// ask (codec, quality, speed, a smaller height).
//
// Frames keep the source's timestamps, so a variable frame rate stays in
// step with its audio. No orientation is written: frames arrive upright (and
// deinterlaced); the pixels' shape (sample aspect ratio) is kept.
// Intermediate files are lossless RGB (no generation loss, no repeated 4:2:0
// chroma resampling between passes); the final file is 4:2:0 for players
// everywhere, converted with and tagged with the source's colour description
// (see ColourDescription.h for a source without one), and carries its
// chapters and metadata. 4:2:0 needs even sizes: an odd width or height is
// padded by one column or row repeating the edge pixels, so nothing of the
// picture is lost; a movie scaled down to a smaller height gets an even size
// of the same aspect instead.
//
// Ownership: the writer owns its file and encoder. Threads: construct, start
// and finish on one thread; between startRecording and finishRecording frames
// and packets arrive from the reader's delivery thread, which the caller
// stops (MovieReader::stopProcessing) before calling finishRecording.

#include <filesystem>
#include <memory>

#include "platform/filters/Image.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/RenderSettings.h"
#include "platform/media/SoundShaping.h"
#include "platform/system/Result.h"

struct AVPacket;

namespace tintreel {

class MovieReader;
class MovieSource;

enum class EncodingRole {
    Intermediate,  // read again by a later pass: speed, and nothing visibly lost
    Final,         // what the user watches and saves: quality at a sensible size
};

// The final video at an average bit rate instead of constant quality, for
// a file of a given size. Pass 1 only measures the movie into `statsFile`
// (its file is no result); pass 2 spends the bits where pass 1 found they
// are needed; pass 0 is a single pass at the rate, for the codecs that are
// not run twice (see encodesTwiceForSize). `audioBitsPerSecond` set: every
// audio track is re-encoded at that rate rather than copied.
struct RateControl {
    long long videoBitsPerSecond = 0;
    int pass = 0;
    std::filesystem::path statsFile;
    long long audioBitsPerSecond = 0;
};

class MovieWriter {
public:
    // `width` x `height` is the size of the frames that will arrive.
    // `settings` shape the final role's encoding; intermediates ignore them.
    MovieWriter(std::filesystem::path path, int width, int height, EncodingRole role,
                const RenderSettings& settings = {});
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Makes the file one slice of a movie rendered by several workers: no
    // audio or subtitles (the join copies the source's once) and file tags
    // naming the slice, its origin and its encoding (kSliceTag and the tags
    // beside it). Call before startRecording.
    void recordAsSlice(const MovieSlice& slice);
    // Encodes the final movie at `rate` rather than at the settings' quality.
    // Call before startRecording.
    void constrainRate(const RateControl& rate);
    // Makes the file the span of its source that the reader selected
    // (MovieReader::selectSpan): the clock starts at the in point, every audio
    // track is encoded again and cut to the sample (AudioTracks.h),
    // subtitles and chapters are cut and moved with it. Call before
    // startRecording.
    void cutTo(const MovieSpan& span);
    // Every audio track is encoded again and shaped by `plan` (volume, mute,
    // fades, each track's loudness gain). Call before startRecording.
    void shapeSound(const SoundPlan& plan);
    // Only the chapters: a later pass reads frames cut already, while the
    // chapters still come from the uncut original. Call before startRecording.
    void placeChaptersIn(const MovieSpan& span);
    // Creates the file, the encoder, one track per audio track of `source`
    // and one copied track per subtitle track the container accepts. Every
    // failure here and later carries the library's description of the
    // writer's first error.
    Status startRecording(const MovieReader& source);
    // As above, with the movie's description taken from `describedBy`
    // instead: a later pass reading an intermediate file still tags the
    // original's colours, pixel shape, chapters and metadata. `describedBy`
    // is only read during the call, and no packet of it.
    Status startRecording(const MovieReader& frames, const MovieSource& describedBy);
    // Flushes the encoder and completes the file; once it succeeds the file
    // can be opened by the next reader. A writer that has already failed is
    // not flushed: its file is no result. Later calls repeat the result.
    Status finishRecording();

    // The frame size the file will have (in the final role odd sizes rounded
    // up, or the asked smaller height).
    int encodedWidth() const;
    int encodedHeight() const;

private:
    friend class MovieReader;  // delivers frames and audio packets
    // `timestamp` is in the source video stream's time base.
    Status appendFrame(const Image& frame, long long timestamp);
    Status appendAudioPacket(AVPacket& packet);
    Status appendSubtitlePacket(AVPacket& packet);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tintreel
