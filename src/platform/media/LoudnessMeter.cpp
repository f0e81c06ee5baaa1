#include "platform/media/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaInput.h"

namespace tintreel {
using namespace media;

namespace {

struct MeterDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using MeterPtr = std::unique_ptr<ebur128_state, MeterDeleter>;

constexpr int kTruePeakRate = 192000;

// BS.1770's weights by speaker: the LFE is left out, the side and back
// speakers count 1.41 times; any other speaker counts as a front one.
int meterChannel(AVChannel speaker) {
    switch (speaker) {
        case AV_CHAN_LOW_FREQUENCY:
        case AV_CHAN_LOW_FREQUENCY_2:
            return EBUR128_UNUSED;
        case AV_CHAN_FRONT_RIGHT:
            return EBUR128_RIGHT;
        case AV_CHAN_FRONT_CENTER:
            return EBUR128_CENTER;
        case AV_CHAN_BACK_LEFT:
        case AV_CHAN_SIDE_LEFT:
            return EBUR128_LEFT_SURROUND;
        case AV_CHAN_BACK_RIGHT:
        case AV_CHAN_SIDE_RIGHT:
            return EBUR128_RIGHT_SURROUND;
        default:
            return EBUR128_LEFT;
    }
}

// One audio track on its way through the meter: decoded, turned into
// interleaved floats, cut to the span, measured.
class TrackMeter {
public:
    TrackMeter(int track, int stream) : track_(track), stream_(stream) {}

    Status open(const AVStream& stream, MeasureSpan span, int64_t startTime) {
        const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
        codec_.reset(avcodec_alloc_context3(decoder));
        if (!decoder || !codec_ || avcodec_parameters_to_context(codec_.get(), stream.codecpar) < 0 ||
            avcodec_open2(codec_.get(), decoder, nullptr) < 0)
            return Error{"audio track " + std::to_string(track_ + 1) + " cannot be decoded"};
        const AVChannelLayout& layout = codec_->ch_layout;
        const int channels = layout.nb_channels;
        meter_.reset(ebur128_init(static_cast<unsigned>(channels),
                                  static_cast<unsigned long>(codec_->sample_rate), EBUR128_MODE_I));
        if (!meter_ || channels <= 0)
            return Error{"audio track " + std::to_string(track_ + 1) + " has no channels"};
        for (int c = 0; c < channels; ++c)
            ebur128_set_channel(
                meter_.get(), static_cast<unsigned>(c),
                meterChannel(av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(c))));
        timeBase_ = stream.time_base;
        startTime_ = startTime;
        rate_ = codec_->sample_rate;
        firstSample_ = static_cast<int64_t>(std::llround(span.fromSeconds * rate_));
        endSample_ = std::isfinite(span.toSeconds)
                         ? static_cast<int64_t>(std::llround(span.toSeconds * rate_))
                         : INT64_MAX;
        return {};
    }

    int stream() const { return stream_; }

    // Feeds one packet (nullptr drains); false when the decoder broke.
    bool feed(const AVPacket* packet) {
        if (avcodec_send_packet(codec_.get(), packet) < 0 && packet)
            return true;  // a damaged packet is skipped
        while (avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
            measure(*frame_);
            av_frame_unref(frame_.get());
        }
        return true;
    }

    TrackLoudness result() const {
        TrackLoudness loudness;
        loudness.track = track_;
        double integrated = -HUGE_VAL;
        if (ebur128_loudness_global(meter_.get(), &integrated) == EBUR128_SUCCESS &&
            std::isfinite(integrated))
            loudness.integratedLufs = std::max(integrated, kSilentLufs);
        if (truePeak_ > 0.0) loudness.truePeakDbtp = 20.0 * std::log10(truePeak_);
        return loudness;
    }

private:
    // The frame's first sample, counted from the movie's start; a frame
    // without a time follows the one before.
    int64_t firstSampleOf(const AVFrame& frame) {
        if (frame.pts != AV_NOPTS_VALUE)
            nextSample_ = av_rescale_q(frame.pts - startTime_, timeBase_, AVRational{1, rate_});
        const int64_t first = nextSample_;
        nextSample_ += frame.nb_samples;
        return first;
    }

    void measure(const AVFrame& frame) {
        const int64_t first = firstSampleOf(frame);
        const int64_t from = std::max<int64_t>(first, firstSample_);
        const int64_t to = std::min<int64_t>(first + frame.nb_samples, endSample_);
        if (to <= from || !convert(frame)) return;
        const int channels = codec_->ch_layout.nb_channels;
        const float* span = samples_.data() + (from - first) * channels;
        ebur128_add_frames_float(meter_.get(), span, static_cast<std::size_t>(to - from));
        measurePeak(span, static_cast<int>(to - from));
    }

    // The true peak as the ffmpeg program's meter finds it: the largest
    // sample of the sound resampled to 192 kHz by the same resampler.
    void measurePeak(const float* samples, int count) {
        if (!peakResampler_) {
            SwrContext* raw = nullptr;
            AVChannelLayout layout = codec_->ch_layout;  // the library takes it by non-const pointer
            if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_DBL, kTruePeakRate, &layout,
                                    AV_SAMPLE_FMT_FLT, rate_, 0, nullptr) < 0)
                return;
            peakResampler_.reset(raw);
            if (swr_init(raw) < 0) return;
        }
        const int capacity = swr_get_out_samples(peakResampler_.get(), count);
        if (capacity <= 0) return;
        const int channels = codec_->ch_layout.nb_channels;
        oversampled_.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(channels));
        auto* out = reinterpret_cast<uint8_t*>(oversampled_.data());
        const auto* in = reinterpret_cast<const uint8_t*>(samples);
        const int made = swr_convert(peakResampler_.get(), &out, capacity, &in, count);
        for (int i = 0; i < made * channels; ++i) truePeak_ = std::max(truePeak_, std::abs(oversampled_[i]));
    }

    // The frame as interleaved floats in samples_.
    bool convert(const AVFrame& frame) {
        if (!resampler_ || frame.format != resamplerFormat_) {
            SwrContext* raw = nullptr;
            AVChannelLayout layout = frame.ch_layout;  // the library takes it by non-const pointer
            if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, frame.sample_rate, &layout,
                                    static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                                    nullptr) < 0)
                return false;
            resampler_.reset(raw);
            if (swr_init(raw) < 0) return false;
            resamplerFormat_ = frame.format;
        }
        samples_.resize(static_cast<std::size_t>(frame.nb_samples) *
                        static_cast<std::size_t>(codec_->ch_layout.nb_channels));
        auto* out = reinterpret_cast<uint8_t*>(samples_.data());
        return swr_convert(resampler_.get(), &out, frame.nb_samples,
                           const_cast<const uint8_t**>(frame.extended_data),
                           frame.nb_samples) == frame.nb_samples;
    }

    int track_;
    int stream_;
    CodecContextPtr codec_;
    MeterPtr meter_;
    ResamplerPtr resampler_;
    int resamplerFormat_ = -1;
    ResamplerPtr peakResampler_;
    std::vector<double> oversampled_;
    double truePeak_ = 0.0;
    FramePtr frame_ = makeFrame();
    std::vector<float> samples_;
    AVRational timeBase_{1, 1};
    int64_t startTime_ = 0;
    int rate_ = 1;
    int64_t firstSample_ = 0;
    int64_t endSample_ = INT64_MAX;
    int64_t nextSample_ = 0;
};

int64_t movieStart(const AVFormatContext& input, const AVStream& stream) {
    if (input.start_time == AV_NOPTS_VALUE) return 0;
    return av_rescale_q(input.start_time, AV_TIME_BASE_Q, stream.time_base);
}

Result<std::vector<std::unique_ptr<TrackMeter>>> openTracks(AVFormatContext& input, MeasureSpan span) {
    std::vector<std::unique_ptr<TrackMeter>> tracks;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        AVStream& stream = *input.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            stream.discard = AVDISCARD_ALL;  // the demuxer skips the picture's packets
            continue;
        }
        auto meter = std::make_unique<TrackMeter>(static_cast<int>(tracks.size()), static_cast<int>(i));
        if (Status opened = meter->open(stream, span, movieStart(input, stream)); !opened)
            return Error{opened.error()};
        tracks.push_back(std::move(meter));
    }
    return tracks;
}

// Seeks near the span's start: a little before it, so the decoder is warm
// and no sample of the span is missed.
void seekNear(AVFormatContext& input, double fromSeconds) {
    if (fromSeconds <= 0.0) return;
    const int64_t start = input.start_time == AV_NOPTS_VALUE ? 0 : input.start_time;
    const int64_t target = start + static_cast<int64_t>((fromSeconds - 1.0) * AV_TIME_BASE);
    if (target > start) avformat_seek_file(&input, -1, INT64_MIN, target, target, 0);
}

}  // namespace

Result<std::vector<TrackLoudness>> measureLoudness(const std::filesystem::path& movie, MeasureSpan span,
                                                   const MeasureControl& control) {
    InputContextPtr input;
    if (int error = openInput(movie, input); error < 0) return Error{errorText(error)};
    auto tracks = openTracks(*input, span);
    if (!tracks) return Error{tracks.error()};
    if (tracks->empty()) return std::vector<TrackLoudness>{};
    seekNear(*input, span.fromSeconds);

    const double length = std::min(span.toSeconds, durationSeconds(*input)) - span.fromSeconds;
    const int64_t start = input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time;
    PacketPtr packet = makePacket();
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (control.cancel && control.cancel->load()) return Error{"cancelled"};
        const AVStream& stream = *input->streams[packet->stream_index];
        const double at = packet->pts == AV_NOPTS_VALUE
                              ? 0.0
                              : (packet->pts - av_rescale_q(start, AV_TIME_BASE_Q, stream.time_base)) *
                                    av_q2d(stream.time_base);
        for (auto& track : *tracks)
            if (track->stream() == packet->stream_index) track->feed(packet.get());
        av_packet_unref(packet.get());
        if (control.progress && length > 0)
            control.progress(std::clamp((at - span.fromSeconds) / length, 0.0, 1.0));
        if (at > span.toSeconds + 1.0) break;  // every track is past the span's end
    }
    std::vector<TrackLoudness> results;
    for (auto& track : *tracks) {
        track->feed(nullptr);
        results.push_back(track->result());
    }
    return results;
}

std::string renderLoudness(const std::vector<TrackLoudness>& tracks) {
    std::string text;
    char line[96];
    for (const TrackLoudness& track : tracks) {
        std::snprintf(line, sizeof line, "%d %.4f %.4f\n", track.track, track.integratedLufs,
                      track.truePeakDbtp);
        text += line;
    }
    return text;
}

std::optional<std::vector<TrackLoudness>> parseLoudness(std::string_view text) {
    std::vector<TrackLoudness> tracks;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        TrackLoudness track;
        std::string peak;
        if (!(fields >> track.track >> track.integratedLufs >> peak) ||
            track.track != static_cast<int>(tracks.size()))
            return std::nullopt;
        char* end = nullptr;
        track.truePeakDbtp = std::strtod(peak.c_str(), &end);  // "-inf" for a silent track
        if (*end != '\0' || std::isnan(track.truePeakDbtp)) return std::nullopt;
        tracks.push_back(track);
    }
    return tracks;
}

NormalisingGain normalisingGain(const TrackLoudness& measured, const LoudnessTarget& target) {
    if (!measured.measurable()) return {};
    const double toTarget = target.lufs - measured.integratedLufs;
    const double peakRoom = target.ceilingDbtp - kEncodingHeadroomDb - measured.truePeakDbtp;
    if (toTarget <= peakRoom) return {toTarget, 0.0};
    return {peakRoom, toTarget - peakRoom};
}

}  // namespace tintreel
