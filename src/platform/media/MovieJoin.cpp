#include "platform/media/MovieJoin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/media/AudioTracks.h"
#include "platform/media/CarriedOver.h"
#include "platform/media/LoudnessMeter.h"
#include "platform/media/MediaInput.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/SoundShaping.h"
#include "platform/system/Log.h"

namespace tintreel {
using namespace media;
namespace fs = std::filesystem;

namespace {

// One part, opened: its video stream, the slice it says it is, and the
// split it records (nothing for a slice of an older build).
struct Part {
    fs::path path;
    InputContextPtr input;
    int video = -1;
    SliceNumber number;
    std::optional<SliceOrigin> origin;
    std::string encoding;

    const AVCodecParameters& format() const { return *input->streams[video]->codecpar; }
    AVRational timeBase() const { return input->streams[video]->time_base; }
};

std::string tagOf(const AVFormatContext& input, std::string_view key) {
    const AVDictionaryEntry* tag = av_dict_get(input.metadata, key.data(), nullptr, 0);
    return tag ? tag->value : "";
}

// The origin a slice records; nothing when it records none, an error when
// what it records cannot be read.
Result<std::optional<SliceOrigin>> originOf(const Part& part) {
    const std::string source = tagOf(*part.input, kSliceSourceTag);
    const std::string look = tagOf(*part.input, kSliceLookTag);
    const std::string sound = tagOf(*part.input, kSliceSoundTag);
    const std::string spanText = tagOf(*part.input, kSliceSpanTag);
    if (source.empty() && look.empty()) return std::optional<SliceOrigin>();
    const std::optional<SourceIdentity> identity = SourceIdentity::parse(source);
    const std::optional<MovieSpan> span = spanText.empty() ? std::nullopt : parseSliceSpan(spanText);
    if (!identity || look.empty() || (!sound.empty() && !parseSliceSound(sound)) ||
        (!spanText.empty() && !span))
        return Error{quotedPath(part.path) + " carries a damaged record of its split"};
    return std::optional<SliceOrigin>(SliceOrigin{*identity, look, sound, span});
}

Result<Part> openPart(const fs::path& path) {
    Part part{path, nullptr, -1, {}, std::nullopt, {}};
    if (int error = openInput(path, part.input); error < 0)
        return Error{"cannot read " + quotedPath(path) + ": " + errorText(error)};
    part.video = firstVideoStream(*part.input);
    if (part.video < 0) return Error{quotedPath(path) + " has no video"};
    const std::optional<SliceNumber> number = SliceNumber::parse(tagOf(*part.input, kSliceTag));
    if (!number) return Error{quotedPath(path) + " is not a slice written with --segment"};
    part.number = *number;
    Result<std::optional<SliceOrigin>> origin = originOf(part);
    if (!origin) return Error{origin.error()};
    part.origin = std::move(*origin);
    part.encoding = tagOf(*part.input, kSliceEncodingTag);
    return part;
}

// Parts encoded with one set of settings share codec, size, time base and
// decoder set-up; anything else would not play as one stream.
bool sameEncoding(const Part& a, const Part& b) {
    const AVCodecParameters& x = a.format();
    const AVCodecParameters& y = b.format();
    return a.encoding == b.encoding && x.codec_id == y.codec_id && x.width == y.width &&
           x.height == y.height && x.format == y.format && av_cmp_q(a.timeBase(), b.timeBase()) == 0 &&
           x.extradata_size == y.extradata_size &&
           (x.extradata_size == 0 || std::memcmp(x.extradata, y.extradata, x.extradata_size) == 0);
}

// The span a split covers, in words for a refusal.
std::string spanWords(const std::optional<MovieSpan>& span) {
    if (!span) return "the whole movie";
    return "--from " + formatTimePoint(span->in) + " --to " + formatTimePoint(span->out);
}

// Why `part` is not of the split `first` belongs to, naming it, or nothing.
Status checkSameSplit(const Part& part, const Part& first) {
    const std::string name = quotedPath(part.path);
    const std::string firstName = quotedPath(first.path);
    if (part.number.count != first.number.count)
        return Error{name + " is slice " + part.number.text() + " but " + firstName + " is slice " +
                     first.number.text()};
    if (part.origin.has_value() != first.origin.has_value()) {
        const Part& older = part.origin ? first : part;
        return Error{quotedPath(older.path) +
                     " was written by an older tintreel-render and records no source, unlike " +
                     quotedPath(part.origin ? part.path : first.path) + ": render it again"};
    }
    if (part.origin && part.origin->source != first.origin->source)
        return Error{name + " was cut from another movie than " + firstName + " (its movie is " +
                     part.origin->source.differenceFrom(first.origin->source) + ")"};
    if (part.origin && part.origin->span != first.origin->span)
        return Error{name + " covers " + spanWords(part.origin->span) + " but " + firstName + " covers " +
                     spanWords(first.origin->span)};
    if (part.origin && part.origin->look != first.origin->look)
        return Error{name + " was rendered with another look than " + firstName};
    if (!sameEncoding(part, first)) return Error{name + " is encoded differently from " + firstName};
    return {};
}

Status checkNoSliceMissing(const std::map<int, const Part*>& byIndex, int count) {
    std::string missing;
    for (int index = 1; index <= count; ++index)
        if (!byIndex.contains(index))
            missing += (missing.empty() ? "" : ", ") + SliceNumber{index, count}.text();
    if (missing.empty()) return {};
    return Error{"slice " + missing + " is missing"};
}

// The exact source timestamps behind the rounded ones of the slices: each
// source video packet's timestamp, keyed by the value the slice's container
// rounds it to (as the muxer rounds: to the nearest).
class TimestampRestorer {
public:
    TimestampRestorer(AVRational partTimeBase, AVRational sourceTimeBase)
        : partTimeBase_(partTimeBase), sourceTimeBase_(sourceTimeBase) {}

    void learn(int64_t sourceTimestamp) {
        exact_.emplace(av_rescale_q(sourceTimestamp, sourceTimeBase_, partTimeBase_), sourceTimestamp);
    }
    // A timestamp no source frame rounds to (a decoding time before the
    // first frame) is converted as it is.
    int64_t restore(int64_t partTimestamp) const {
        if (partTimestamp == AV_NOPTS_VALUE) return partTimestamp;
        const auto found = exact_.find(partTimestamp);
        return found != exact_.end() ? found->second
                                     : av_rescale_q(partTimestamp, partTimeBase_, sourceTimeBase_);
    }

private:
    AVRational partTimeBase_, sourceTimeBase_;
    std::unordered_map<int64_t, int64_t> exact_;
};

Result<TimestampRestorer> learnSourceTimes(const fs::path& source, AVRational partTimeBase,
                                           const std::atomic<bool>& cancel) {
    InputContextPtr input;
    if (int error = openInput(source, input); error < 0)
        return Error{"cannot read " + quotedPath(source) + ": " + errorText(error)};
    const int video = firstVideoStream(*input);
    if (video < 0) return Error{quotedPath(source) + " has no video"};
    TimestampRestorer restorer(partTimeBase, input->streams[video]->time_base);
    PacketPtr packet = makePacket();
    while (!cancel && av_read_frame(input.get(), packet.get()) >= 0) {
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == video && time != AV_NOPTS_VALUE) restorer.learn(time);
        av_packet_unref(packet.get());
    }
    return restorer;
}

// Where the joined movie's clock starts on the source's video timeline: the
// in point of the span the slices split (0 and no cut for a whole movie).
// The frame shown at the in point, from before it, starts at 0 as well, as
// a render cut to the span writes it.
struct JoinedClock {
    std::optional<media::TimeWindow> window;  // the span on the source's timeline
    int64_t videoOrigin = 0;                  // its start in the source video's time base

    int64_t fromSource(int64_t timestamp) const {
        return window ? std::max<int64_t>(timestamp - videoOrigin, 0) : timestamp;
    }
};

JoinedClock joinedClock(const std::optional<MovieSpan>& span, const AVStream& sourceVideo) {
    if (!span) return {};
    const TimeWindow window = windowOf(*span, sourceVideo);
    return {window, av_rescale_q(window.start, AV_TIME_BASE_Q, sourceVideo.time_base)};
}

// Reads every video packet of the parts in turn, restored to the source's
// time base and moved to the joined clock, and hands each to `use`; stops
// at the first error.
template <class Use>
Status forEachSlicePacket(const std::vector<fs::path>& parts, const TimestampRestorer& restorer,
                          const JoinedClock& clock, Use use) {
    PacketPtr packet = makePacket();
    for (const fs::path& path : parts) {
        Result<Part> part = openPart(path);
        if (!part) return Error{part.error()};
        while (true) {
            const int status = av_read_frame(part->input.get(), packet.get());
            if (status == AVERROR_EOF) break;
            if (status < 0) return Error{"cannot read " + quotedPath(path) + ": " + errorText(status)};
            if (packet->stream_index == part->video) {
                if (packet->pts == AV_NOPTS_VALUE)
                    return Error{quotedPath(path) + " has a frame without a timestamp"};
                packet->pts = clock.fromSource(restorer.restore(packet->pts));
                if (Status used = use(*packet); !used) return used;
            }
            av_packet_unref(packet.get());
        }
    }
    return {};
}

// The decoding time and duration of each packet of the joined video, in
// decoding order. The slices' container keeps only presentation times, so
// the join works them out again as the encoder does: with a reordering
// depth of D frames, packet i is decoded at the i-D-th presentation time
// (the first D before the first frame, one depth of lead apart). Over the
// whole joined movie these are the times a whole render gets.
struct PacketTimes {
    std::vector<int64_t> decoding;
    std::vector<int64_t> duration;

    static PacketTimes of(const std::vector<int64_t>& presentation, int reorderDepth) {
        std::vector<int64_t> sorted = presentation;
        std::sort(sorted.begin(), sorted.end());
        // Deep enough that no packet is decoded after it is shown.
        std::size_t depth = static_cast<std::size_t>(std::max(reorderDepth, 0));
        for (std::size_t i = 0; i < presentation.size(); ++i)
            while (depth < i && presentation[i] < sorted[i - depth]) ++depth;
        const int64_t lead = depth < sorted.size() ? sorted[depth] - sorted.front() : 0;
        PacketTimes times;
        for (std::size_t i = 0; i < presentation.size(); ++i) {
            times.decoding.push_back(i >= depth ? sorted[i - depth] : sorted[i] - lead);
            // Until the next frame is shown; the last frame lasts as long as the one before it.
            const auto at = std::upper_bound(sorted.begin(), sorted.end(), presentation[i]);
            const bool last = at == sorted.end();
            times.duration.push_back(sorted.size() < 2 ? 0
                                     : last            ? sorted.back() - sorted.end()[-2]
                                                       : *at - at[-1]);
        }
        return times;
    }
};

// A first read of the parts: the times their packets will get.
Result<PacketTimes> scanPacketTimes(const std::vector<fs::path>& parts, const TimestampRestorer& restorer,
                                    const JoinedClock& clock, int reorderDepth,
                                    const std::atomic<bool>& cancel) {
    std::vector<int64_t> presentation;
    const Status scanned = forEachSlicePacket(parts, restorer, clock, [&](const AVPacket& packet) {
        if (cancel) return Status(Error{"cancelled"});
        presentation.push_back(packet.pts);
        return Status();
    });
    if (!scanned) return Error{scanned.error()};
    return PacketTimes::of(presentation, reorderDepth);
}

// The source's packets that the join copies (audio and the subtitle tracks
// in `subtitleTrackOf`), in file order.
Result<PacketPtr> nextCarried(AVFormatContext& source, const std::vector<int>& subtitleTrackOf) {
    PacketPtr packet = makePacket();
    while (true) {
        const int status = av_read_frame(&source, packet.get());
        if (status == AVERROR_EOF) return PacketPtr();
        if (status < 0) return Error{errorText(status)};
        const int stream = packet->stream_index;
        if (source.streams[stream]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO ||
            copiedStream(subtitleTrackOf, stream) >= 0)
            return packet;
        av_packet_unref(packet.get());
    }
}

int64_t decodingTime(const AVPacket& packet) {
    return packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
}

// The joined file while it is written.
struct JoinOutput {
    OutputContextPtr output;
    AVStream* video = nullptr;
    AudioTracks audio;                 // every track: copied, or re-encoded where the container needs it
    std::vector<int> subtitleTrackOf;  // source stream index -> output index, or -1
    AVRational sourceVideoTimeBase{1, 1};
    JoinedClock clock;
    PacketPtr pendingSource;  // read from the source, not yet written

    Status open(const fs::path& path, const Part& first, const AVFormatContext& source,
                AVRational videoTimeBase, const JoinedClock& joinedClock);
    Status writeVideo(AVPacket& packet);
    Status writeSourceUntil(AVFormatContext& source, std::optional<int64_t> videoDecodingTime);
    int writeSourcePacket(const AVFormatContext& source, AVPacket& packet);
};

// With a span, the sound is encoded again and cut to it to the sample, the
// subtitles and chapters cut and moved with it, as a render cut to it does.
Status JoinOutput::open(const fs::path& path, const Part& first, const AVFormatContext& source,
                        AVRational videoTimeBase, const JoinedClock& joinedClock) {
    if (int error = allocateOutput(path, output); error < 0) return Error{errorText(error)};
    video = avformat_new_stream(output.get(), nullptr);
    if (!video || avcodec_parameters_copy(video->codecpar, &first.format()) < 0)
        return Error{"out of memory"};
    video->codecpar->codec_tag = 0;
    video->time_base = videoTimeBase;
    sourceVideoTimeBase = videoTimeBase;
    clock = joinedClock;
    audio.add(source, *output, clock.window);
    subtitleTrackOf = addSubtitleStreams(*output, source);
    if (int error = copyChaptersAndMetadata(*output, source, clock.window ? &*clock.window : nullptr);
        error < 0)
        return Error{errorText(error)};
    if (int error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE); error < 0)
        return Error{errorText(error)};
    if (int error = avformat_write_header(output.get(), nullptr); error < 0) return Error{errorText(error)};
    return {};
}

Status JoinOutput::writeVideo(AVPacket& packet) {
    if (int error = writeCopiedPacket(*output, packet, sourceVideoTimeBase, *video); error < 0)
        return Error{errorText(error)};
    return {};
}

// Writes the source's audio and subtitle packets that come before
// `videoDecodingTime` (the joined video's, in the source video's time base),
// so the muxer interleaves them with the video without holding the whole
// movie in memory.
Status JoinOutput::writeSourceUntil(AVFormatContext& source, std::optional<int64_t> videoDecodingTime) {
    while (true) {
        if (!pendingSource) {
            Result<PacketPtr> next = nextCarried(source, subtitleTrackOf);
            if (!next) return Error{"cannot read the audio and subtitles: " + next.error()};
            if (!*next) return {};
            pendingSource = std::move(*next);
        }
        const AVRational timeBase = source.streams[pendingSource->stream_index]->time_base;
        if (videoDecodingTime &&
            av_compare_ts(decodingTime(*pendingSource), timeBase, *videoDecodingTime + clock.videoOrigin,
                          sourceVideoTimeBase) > 0)
            return {};
        if (int error = writeSourcePacket(source, *pendingSource); error < 0) return Error{errorText(error)};
        pendingSource.reset();
    }
}

int JoinOutput::writeSourcePacket(const AVFormatContext& source, AVPacket& packet) {
    const int subtitle = copiedStream(subtitleTrackOf, packet.stream_index);
    if (subtitle < 0) return audio.write(packet);
    const AVRational from = source.streams[packet.stream_index]->time_base;
    if (clock.window)
        return writeCopiedPacketIn(*output, packet, from, *output->streams[subtitle], *clock.window);
    return writeCopiedPacket(*output, packet, from, *output->streams[subtitle]);
}

}  // namespace

Result<std::vector<fs::path>> orderSlices(const std::vector<fs::path>& parts) {
    std::vector<Part> opened;
    for (const fs::path& path : parts) {
        Result<Part> part = openPart(path);
        if (!part) return Error{part.error()};
        opened.push_back(std::move(*part));
    }
    if (opened.empty()) return Error{"no slices to join"};
    std::map<int, const Part*> byIndex;
    for (const Part& part : opened) {
        if (const Status same = checkSameSplit(part, opened.front()); !same) return Error{same.error()};
        const auto [where, added] = byIndex.emplace(part.number.index, &part);
        if (!added)
            return Error{quotedPath(where->second->path) + " and " + quotedPath(part.path) +
                         " are both slice " + part.number.text()};
    }
    if (const Status complete = checkNoSliceMissing(byIndex, opened.front().number.count); !complete)
        return Error{complete.error()};
    std::vector<fs::path> ordered;
    for (const auto& [index, part] : byIndex) ordered.push_back(part->path);
    return ordered;
}

Result<SourceCheck> checkCutFrom(const fs::path& slice, const fs::path& movie) {
    const Result<Part> part = openPart(slice);
    if (!part) return Error{part.error()};
    if (!part->origin) return SourceCheck::NotRecorded;
    const Result<SourceIdentity> identity = readSourceIdentity(movie);
    if (!identity) return Error{"cannot read " + quotedPath(movie) + ": " + identity.error()};
    if (*identity == part->origin->source) return SourceCheck::Matches;
    return Error{quotedPath(movie) + " is not the movie " + quotedPath(slice) + " was cut from (it is " +
                 identity->differenceFrom(part->origin->source) + ")"};
}

// The sound controls the slices carry, applied once to the joined movie's
// whole sound; normalising measures it on the source (its sound only, over
// the span the slices split).
Result<std::optional<SoundPlan>> joinedSoundPlan(const Part& first, const fs::path& audioSource,
                                                 const AVFormatContext& source, const std::atomic<bool>& cancel) {
    if (!first.origin || first.origin->sound.empty()) return std::optional<SoundPlan>();
    const std::optional<SliceSound> sound = parseSliceSound(first.origin->sound);
    if (!sound) return Error{quotedPath(first.path) + " carries a damaged record of its split"};
    SoundPlan plan;
    plan.controls = sound->controls;
    const std::optional<MovieSpan>& span = first.origin->span;
    plan.lengthSeconds = span                  ? span->length()
                         : source.duration > 0 ? static_cast<double>(source.duration) / AV_TIME_BASE
                                               : 0.0;
    if (sound->loudness) {
        const MeasureSpan measured = span ? MeasureSpan{span->in, span->out} : MeasureSpan{};
        const Result<std::vector<TrackLoudness>> tracks =
            measureLoudness(audioSource, measured, {&cancel, {}});
        if (!tracks) return Error{"cannot measure the loudness of " + quotedPath(audioSource) + ": " + tracks.error()};
        for (const TrackLoudness& track : *tracks) {
            const NormalisingGain gain = normalisingGain(track, *sound->loudness);
            plan.trackGainsDb.push_back(gain.gainDb);
            char line[96];
            std::snprintf(line, sizeof line, "Audio track %d: gain %+.1f dB to %.1f LUFS", track.track + 1,
                          gain.gainDb, sound->loudness->lufs);
            logLine(line);
        }
    }
    return std::optional<SoundPlan>(std::move(plan));
}

Status joinSlices(const std::vector<fs::path>& orderedParts, const fs::path& audioSource,
                  const fs::path& output, const std::atomic<bool>& cancel) {
    quietLibraryLogs();
    if (orderedParts.empty()) return Error{"no slices to join"};
    Result<Part> first = openPart(orderedParts.front());
    if (!first) return Error{first.error()};
    Result<TimestampRestorer> restorer = learnSourceTimes(audioSource, first->timeBase(), cancel);
    if (!restorer) return Error{restorer.error()};
    InputContextPtr source;
    if (int error = openInput(audioSource, source); error < 0)
        return Error{"cannot read " + quotedPath(audioSource) + ": " + errorText(error)};
    const AVStream& sourceVideo = *source->streams[firstVideoStream(*source)];
    const JoinedClock clock = joinedClock(first->origin ? first->origin->span : std::nullopt, sourceVideo);
    const Result<PacketTimes> times =
        scanPacketTimes(orderedParts, *restorer, clock, first->format().video_delay, cancel);
    if (!times) return Error{times.error()};
    const Result<std::optional<SoundPlan>> sound = joinedSoundPlan(*first, audioSource, *source, cancel);
    if (!sound) return Error{sound.error()};
    JoinOutput joined;
    if (*sound) joined.audio.shapeAll(**sound);
    if (Status opened = joined.open(output, *first, *source, sourceVideo.time_base, clock); !opened)
        return opened;
    std::size_t index = 0;
    Status written = forEachSlicePacket(orderedParts, *restorer, clock, [&](AVPacket& packet) {
        if (cancel) return Status(Error{"cancelled"});
        if (index >= times->decoding.size()) return Status(Error{"a slice changed while it was joined"});
        packet.dts = times->decoding[index];
        packet.duration = times->duration[index++];
        if (Status carried = joined.writeSourceUntil(*source, packet.dts); !carried) return carried;
        return joined.writeVideo(packet);
    });
    if (written) written = joined.writeSourceUntil(*source, std::nullopt);
    if (!written) return written;
    if (int error = joined.audio.finish(); error < 0) return Error{errorText(error)};
    if (int error = av_write_trailer(joined.output.get()); error < 0) return Error{errorText(error)};
    if (int error = avio_closep(&joined.output->pb); error < 0) return Error{errorText(error)};
    return {};
}

}  // namespace tintreel
