#include "platform/media/AudioTracks.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/AudioReencoder.h"
#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/MuxerRules.h"
#include "platform/system/Log.h"

namespace tintreel {
using namespace media;

namespace {

// Where one source stream's packets go.
struct Track {
    int outputIndex = -1;  // a copied track's output stream
    AVRational sourceTimeBase{1, 1};
    std::unique_ptr<AudioReencoder> reencoder;  // set when the track is re-encoded
};

}  // namespace

struct AudioTracks::Impl {
    AVFormatContext* output = nullptr;
    std::vector<Track> tracks;          // by source stream index; empty entries for other streams
    long long forcedBitsPerSecond = 0;  // every track re-encoded at this rate, when set
    std::optional<SoundPlan> sound;     // every track shaped by it, when set

    void copy(const AVStream& in, Track& track);
    void reencode(const AVStream& in, Track& track);
    // Encodes the track again as a cut one is, cut to `window` when there is
    // one and shaped as the plan says for audio track `audioTrack`.
    void encodeAgain(const AVStream& in, Track& track, const std::optional<TimeWindow>& window, int audioTrack);
    // `encoding` at the rate a file size asked for, when it asked for one.
    AudioEncoding atForcedRate(AudioEncoding encoding, const AVStream& in) const {
        if (forcedBitsPerSecond > 0)
            encoding.bitRatePerChannel = forcedBitsPerSecond / std::max(1, in.codecpar->ch_layout.nb_channels);
        return encoding;
    }
};

void AudioTracks::Impl::copy(const AVStream& in, Track& track) {
    AVStream* out = avformat_new_stream(output, nullptr);
    if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0) return;
    out->codecpar->codec_tag = 0;
    out->time_base = in.time_base;
    track.outputIndex = out->index;
}

void AudioTracks::Impl::reencode(const AVStream& in, Track& track) {
    // The container as the user named it (".m4v"), not the muxer ("ipod").
    const std::string refusal =
        std::string(avcodec_get_name(in.codecpar->codec_id)) +
        (forcedBitsPerSecond > 0
             ? " does not fit the file size at its own rate"
             : " is not accepted by " +
                   std::filesystem::path(output->url ? output->url : "").extension().string());
    const AudioEncoding encoding = atForcedRate(fallbackEncoding(*output->oformat), in);
    auto reencoder = std::make_unique<AudioReencoder>();
    std::string why;
    if (!reencoder->open(in, encoding, *output, why)) {
        logLine("Audio track left out: " + refusal + " and " + why);
        return;
    }
    logLine("Audio track re-encoded: " + refusal + ", written as " + avcodec_get_name(encoding.codec->id));
    track.reencoder = std::move(reencoder);
}

// A cut or shaped track is always encoded again: packets cannot be split to
// the sample, nor their samples changed.
void AudioTracks::Impl::encodeAgain(const AVStream& in, Track& track, const std::optional<TimeWindow>& window,
                                    int audioTrack) {
    auto reencoder = std::make_unique<AudioReencoder>();
    std::string why;
    const std::string codec = avcodec_get_name(in.codecpar->codec_id);
    const char* doing = window ? " cannot be cut: " : " cannot be encoded again: ";
    if (!reencoder->open(in, atForcedRate(cutEncoding(*output->oformat), in), *output, why, window)) {
        logLine("Audio track left out: " + codec + doing + why);
        return;
    }
    if (sound && !reencoder->shapeWith(sound->forTrack(audioTrack), sound->lengthSeconds))
        logLine("Audio track " + std::to_string(audioTrack + 1) +
                " keeps its level: its encoder takes samples the sound controls cannot shape");
    track.reencoder = std::move(reencoder);
}

AudioTracks::AudioTracks() : impl_(std::make_unique<Impl>()) {}
AudioTracks::~AudioTracks() = default;

void AudioTracks::reencodeAllAt(long long bitsPerSecond) {
    impl_->forcedBitsPerSecond = bitsPerSecond;
}

void AudioTracks::shapeAll(const SoundPlan& plan) {
    impl_->sound = plan;
}

void AudioTracks::add(const AVFormatContext& source, AVFormatContext& output,
                      std::optional<media::TimeWindow> window) {
    impl_->output = &output;
    impl_->tracks.clear();
    impl_->tracks.resize(source.nb_streams);
    int audioTrack = 0;
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVStream& in = *source.streams[i];
        if (in.codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        Track& track = impl_->tracks[i];
        track.sourceTimeBase = in.time_base;
        if (window || impl_->sound)
            impl_->encodeAgain(in, track, window, audioTrack);
        else if (impl_->forcedBitsPerSecond <= 0 && muxerAccepts(*output.oformat, in.codecpar->codec_id))
            impl_->copy(in, track);
        else
            impl_->reencode(in, track);
        ++audioTrack;
    }
}

int AudioTracks::write(AVPacket& packet) {
    const int source = packet.stream_index;
    if (source < 0 || source >= static_cast<int>(impl_->tracks.size())) return 0;
    Track& track = impl_->tracks[source];
    if (track.reencoder) return track.reencoder->push(&packet);
    if (track.outputIndex < 0) return 0;
    return writeCopiedPacket(*impl_->output, packet, track.sourceTimeBase,
                             *impl_->output->streams[track.outputIndex]);
}

int AudioTracks::finish() {
    for (Track& track : impl_->tracks)
        if (track.reencoder)
            if (int error = track.reencoder->finish(); error < 0) return error;
    return 0;
}

}  // namespace tintreel
