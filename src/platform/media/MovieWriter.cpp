#include "platform/media/MovieWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/media/AudioTracks.h"
#include "platform/media/CarriedOver.h"
#include "platform/media/ColourDescription.h"
#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/MuxerRules.h"
#include "platform/system/Log.h"

namespace tintreel {
using namespace media;

namespace {

// The encoder of the lossless RGB intermediates: no generation loss, and fast.
constexpr const char* kIntermediateEncoder = "libx264rgb";

// The quiet, constant-quality set-up of each encoder beyond its preset and CRF.
void setEncoderExtras(AVCodecContext& encoder, VideoCodec codec, const AVOutputFormat& format) {
    switch (codec) {
        case VideoCodec::H264:
            break;
        case VideoCodec::H265:
            av_opt_set(encoder.priv_data, "x265-params", "log-level=error", 0);
            // The tag players of the MPEG-4 family look for.
            if (isMpeg4Family(format)) encoder.codec_tag = MKTAG('h', 'v', 'c', '1');
            break;
        case VideoCodec::AV1: {
            // SVT-AV1 prints its set-up at info level unless told otherwise; a
            // level the user set in the environment wins.
            static const bool quiet = (setenv("SVT_LOG", "1", 0), true);
            (void)quiet;
            break;
        }
        case VideoCodec::VP9:
            encoder.bit_rate = 0;  // with a CRF: constant quality, no bit-rate cap
            av_opt_set(encoder.priv_data, "deadline", "good", 0);
            av_opt_set_int(encoder.priv_data, "row-mt", 1, 0);
            break;
    }
}

// Sets `encoder` to an average of rate.videoBitsPerSecond, measuring in pass
// 1 and reading the measure in pass 2 (the statistics file is the encoder's
// own, kept in the render's temporary directory).
void setRate(AVCodecContext& encoder, VideoCodec codec, const RateControl& rate) {
    encoder.bit_rate = rate.videoBitsPerSecond;
    if (rate.pass == 1) encoder.flags |= AV_CODEC_FLAG_PASS1;
    if (rate.pass == 2) encoder.flags |= AV_CODEC_FLAG_PASS2;
    const std::string stats = rate.statsFile.string();
    if (codec == VideoCodec::H264 && rate.pass > 0) av_opt_set(encoder.priv_data, "stats", stats.c_str(), 0);
    if (codec == VideoCodec::H265) {
        const std::string passes =
            rate.pass > 0 ? ":pass=" + std::to_string(rate.pass) + ":stats=" + stats : std::string();
        av_opt_set(encoder.priv_data, "x265-params", ("log-level=error" + passes).c_str(), 0);
    }
}

int roundUpToEven(int value) {
    return value + (value & 1);
}

// A copy of `frame` grown to width x height by repeating its last column and row.
Image padByEdge(const Image& frame, int width, int height) {
    Image padded(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = frame.row(std::min(y, frame.height() - 1));
        std::uint8_t* target = padded.row(y);
        std::memcpy(target, source, frame.stride());
        for (int x = frame.width(); x < width; ++x)
            std::memcpy(target + x * Image::kChannels, source + (frame.width() - 1) * Image::kChannels,
                        Image::kChannels);
    }
    return padded;
}

}  // namespace

struct MovieWriter::Impl {
    std::filesystem::path path;
    int width, height;
    EncodingRole role;
    ColourDescription colour;  // of the final file; the intermediates' RGB has none
    RenderSettings settings;
    std::optional<RateControl> rate;  // an average bit rate instead of the quality
    OutputContextPtr output;
    CodecContextPtr encoder;
    ScalerPtr scaler;
    FramePtr frame = makeFrame();
    PacketPtr packet = makePacket();
    AVStream* videoStream = nullptr;
    AVRational sourceVideoTimeBase{1, 1};
    AudioTracks audio;                          // every audio track, copied or re-encoded
    std::optional<MovieSlice> slice;            // a slice of a movie split over workers: no audio, tagged
    std::optional<MovieSpan> cut;               // the frames and packets arriving are cut to it
    std::optional<MovieSpan> chapterSpan;       // the described movie's chapters are cut to it
    int64_t videoOrigin = 0;                    // the cut's in point, in the source video's time base
    std::optional<TimeWindow> packetWindow;     // the cut on the reader's timeline
    std::vector<int> subtitleMap;               // source stream index -> output index, or -1
    std::vector<AVRational> subtitleTimeBases;  // by source stream index
    int64_t lastPts = AV_NOPTS_VALUE;
    // How long the latest frame lasts, in the encoder's time base. The encoder
    // leaves packet durations empty, and the container would then give the
    // last frame no time at all and drop it from the movie's length.
    int64_t frameDuration = 0;
    int firstError = 0;
    bool recording = false;
    bool finished = false;

    // One frame at the source's average rate (one tick when it has none).
    int64_t nominalFrameDuration() const {
        const AVRational rate = encoder->framerate;
        if (rate.num <= 0 || rate.den <= 0) return 1;
        return std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), encoder->time_base));
    }

    bool fail(int error) {
        if (firstError == 0) firstError = error;
        return false;
    }
    Status status() const { return firstError == 0 ? Status() : Error{errorText(firstError)}; }
    // A final movie taller than the asked height is scaled down to it.
    bool scalesDown() const {
        return role == EncodingRole::Final && settings.maxHeight > 0 &&
               roundUpToEven(height) > settings.maxHeight;
    }
    int encodedHeight() const {
        if (scalesDown()) return std::max(2, settings.maxHeight & ~1);
        return role == EncodingRole::Final ? roundUpToEven(height) : height;
    }
    int encodedWidth() const {
        if (scalesDown())
            return std::max(2, 2 * static_cast<int>(std::lround(width * 0.5 * encodedHeight() / height)));
        return role == EncodingRole::Final ? roundUpToEven(width) : width;
    }

    bool openOutput();
    bool openEncoder(const AVStream& sourceVideo, const AVStream& describedVideo);
    bool configureEncoder(const AVCodec*& codec);
    void tagPicture(const AVStream& describedVideo);
    void addSubtitleTracks(const AVFormatContext& source);
    void placeCut(const AVFormatContext& input, int videoIndex);
    bool copyMovieFacts(const AVFormatContext& described, int describedVideo);
    bool tagSlice();
    bool prepareFrame(const Image& image);
    bool writeEncodedPackets();
    bool start(const MovieReader& frames, const MovieSource& described);
    bool append(const Image& image, long long timestamp);
    bool appendAudio(AVPacket& packet);
    bool appendSubtitle(AVPacket& packet);
    bool finish();
};

bool MovieWriter::Impl::openOutput() {
    if (int error = allocateOutput(path, output); error < 0) return fail(error);
    return true;
}

// The tags the join reads (MovieSlice.h): which slice this is, of which
// split, and how it was encoded beyond what its stream says (the encoder's
// preset and quality).
bool MovieWriter::Impl::tagSlice() {
    const EncoderSetup setup = encoderSetup(videoCodecFor(lowerExtension(path), settings.codec), settings);
    const std::string encoding = std::string(setup.encoder) + " " + setup.presetOption + "=" + setup.preset +
                                 " crf=" + std::to_string(setup.crf);
    const std::pair<std::string_view, std::string> tags[] = {{kSliceTag, slice->number.text()},
                                                             {kSliceSourceTag, slice->origin.source.text()},
                                                             {kSliceLookTag, slice->origin.look},
                                                             {kSliceEncodingTag, encoding}};
    for (const auto& [key, value] : tags)
        if (int error = av_dict_set(&output->metadata, key.data(), value.c_str(), 0); error < 0)
            return fail(error);
    if (!slice->origin.sound.empty())
        if (int error = av_dict_set(&output->metadata, kSliceSoundTag.data(), slice->origin.sound.c_str(), 0);
            error < 0)
            return fail(error);
    if (slice->origin.span)
        if (int error = av_dict_set(&output->metadata, kSliceSpanTag.data(),
                                    sliceSpanText(*slice->origin.span).c_str(), 0);
            error < 0)
            return fail(error);
    return true;
}

// Chooses the encoder for the role and sets its format and options.
bool MovieWriter::Impl::configureEncoder(const AVCodec*& codec) {
    const bool final = role == EncodingRole::Final;
    const VideoCodec videoCodec = videoCodecFor(lowerExtension(path), settings.codec);
    const EncoderSetup setup = encoderSetup(videoCodec, settings);
    codec = avcodec_find_encoder_by_name(final ? setup.encoder : kIntermediateEncoder);
    if (!codec) return fail(AVERROR_ENCODER_NOT_FOUND);
    encoder.reset(avcodec_alloc_context3(codec));
    if (!encoder) return fail(AVERROR(ENOMEM));
    if (!final) {
        encoder->pix_fmt = AV_PIX_FMT_BGR0;
        av_opt_set(encoder->priv_data, "preset", "ultrafast", 0);
        av_opt_set(encoder->priv_data, "qp", "0", 0);
        return true;
    }
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;  // its colour description: tagPicture
    av_opt_set(encoder->priv_data, setup.presetOption, setup.preset, 0);
    if (!rate) av_opt_set_int(encoder->priv_data, "crf", setup.crf, 0);
    setEncoderExtras(*encoder, videoCodec, *output->oformat);
    if (rate) setRate(*encoder, videoCodec, *rate);
    return true;
}

bool MovieWriter::Impl::openEncoder(const AVStream& sourceVideo, const AVStream& describedVideo) {
    const AVCodec* codec = nullptr;
    if (!configureEncoder(codec)) return false;
    encoder->width = encodedWidth();
    encoder->height = encodedHeight();
    encoder->time_base = sourceVideo.time_base;
    encoder->framerate = sourceVideo.avg_frame_rate;
    encoder->thread_count = 0;
    tagPicture(describedVideo);
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(encoder.get(), codec, nullptr); error < 0) return fail(error);
    videoStream = avformat_new_stream(output.get(), nullptr);
    if (!videoStream) return fail(AVERROR(ENOMEM));
    videoStream->time_base = encoder->time_base;
    videoStream->sample_aspect_ratio = encoder->sample_aspect_ratio;
    sourceVideoTimeBase = sourceVideo.time_base;
    return avcodec_parameters_from_context(videoStream->codecpar, encoder.get()) >= 0 ||
           fail(AVERROR(EINVAL));
}

// The final file carries the source's colour description (completed by the
// size rule) and converts with it; every file keeps the pixels' shape and
// says its frames are progressive, as they arrive deinterlaced.
void MovieWriter::Impl::tagPicture(const AVStream& describedVideo) {
    if (role == EncodingRole::Final) {
        const AVCodecParameters& source = *describedVideo.codecpar;
        colour = ColourDescription::of(source).completed(source.width, source.height);
        colour.tag(*encoder);
    }
    encoder->sample_aspect_ratio = uprightSampleAspect(describedVideo);
    encoder->field_order = AV_FIELD_PROGRESSIVE;
}

void MovieWriter::Impl::addSubtitleTracks(const AVFormatContext& source) {
    subtitleMap = addSubtitleStreams(*output, source);
    for (unsigned i = 0; i < source.nb_streams; ++i)
        subtitleTimeBases.push_back(source.streams[i]->time_base);
}

// Chapters and metadata belong to the movie the user sees: the final file
// only, as an intermediate is read by the next pass and no one else.
bool MovieWriter::Impl::copyMovieFacts(const AVFormatContext& described, int describedVideo) {
    if (role != EncodingRole::Final) return true;
    std::optional<TimeWindow> window;
    if (chapterSpan) window = windowOf(*chapterSpan, *described.streams[describedVideo]);
    const int error = copyChaptersAndMetadata(*output, described, window ? &*window : nullptr);
    return error >= 0 || fail(error);
}

bool MovieWriter::Impl::prepareFrame(const Image& image) {
    if (image.width() != width || image.height() != height) return fail(AVERROR(EINVAL));
    const bool pads = !scalesDown() && (encodedWidth() != width || encodedHeight() != height);
    const Image padded = pads ? padByEdge(image, encodedWidth(), encodedHeight()) : Image();
    const Image& source = padded.isEmpty() ? image : padded;
    if (!scaler) {
        scaler.reset(sws_getContext(source.width(), source.height(), AV_PIX_FMT_RGBA, encoder->width,
                                    encoder->height, encoder->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                    nullptr));
        if (!scaler || !useForEncoding(*scaler, colour)) return fail(AVERROR(EINVAL));
    }
    if (!frame->buf[0]) {
        frame->format = encoder->pix_fmt;
        frame->width = encoder->width;
        frame->height = encoder->height;
        if (int error = av_frame_get_buffer(frame.get(), 0); error < 0) return fail(error);
    }
    if (int error = av_frame_make_writable(frame.get()); error < 0) return fail(error);
    const uint8_t* planes[4] = {source.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(source.stride()), 0, 0, 0};
    sws_scale(scaler.get(), planes, strides, 0, source.height(), frame->data, frame->linesize);
    return true;
}

bool MovieWriter::Impl::writeEncodedPackets() {
    while (true) {
        const int status = avcodec_receive_packet(encoder.get(), packet.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) return fail(status);
        if (packet->duration <= 0) packet->duration = frameDuration;
        av_packet_rescale_ts(packet.get(), encoder->time_base, videoStream->time_base);
        packet->stream_index = videoStream->index;
        if (int error = av_interleaved_write_frame(output.get(), packet.get()); error < 0) return fail(error);
    }
}

bool MovieWriter::Impl::finish() {
    if (!recording) return fail(AVERROR(EINVAL));
    if (firstError != 0) return false;
    if (int error = avcodec_send_frame(encoder.get(), nullptr); error < 0) return fail(error);
    if (!writeEncodedPackets()) return false;
    if (int error = audio.finish(); error < 0) return fail(error);
    if (int error = av_write_trailer(output.get()); error < 0) return fail(error);
    if (int error = avio_closep(&output->pb); error < 0) return fail(error);
    return firstError == 0;
}

bool MovieWriter::Impl::start(const MovieReader& frames, const MovieSource& described) {
    if (recording || width <= 0 || height <= 0) return fail(AVERROR(EINVAL));
    if (described.videoStreamIndex() < 0) return fail(AVERROR_STREAM_NOT_FOUND);
    const AVFormatContext& input = frames.input();
    const AVStream& describedVideo = *described.input().streams[described.videoStreamIndex()];
    if (!openOutput() || !openEncoder(*input.streams[frames.videoStreamIndex()], describedVideo))
        return false;
    placeCut(input, frames.videoStreamIndex());
    // A slice carries the picture only: the join copies the source's other
    // tracks once. A measuring pass needs only the picture too.
    const bool measuring = rate && rate->pass == 1;
    if (!slice && !measuring) {
        if (rate && rate->audioBitsPerSecond > 0) audio.reencodeAllAt(rate->audioBitsPerSecond);
        audio.add(input, *output, packetWindow);
        addSubtitleTracks(input);
    }
    if (!copyMovieFacts(described.input(), described.videoStreamIndex())) return false;
    if (slice && !tagSlice()) return false;
    if (int error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE); error < 0) return fail(error);
    if (int error = avformat_write_header(output.get(), nullptr); error < 0) return fail(error);
    recording = true;
    return true;
}

// A cut movie's clock starts at its in point: the frame shown there, decoded
// before it, starts at 0 as well.
void MovieWriter::Impl::placeCut(const AVFormatContext& input, int videoIndex) {
    if (!cut) return;
    const AVStream& video = *input.streams[videoIndex];
    packetWindow = windowOf(*cut, video);
    videoOrigin = av_rescale_q(packetWindow->start, AV_TIME_BASE_Q, video.time_base);
}

bool MovieWriter::Impl::append(const Image& image, long long timestamp) {
    // A writer that failed once takes nothing more: its file is lost already.
    if (!recording || finished || firstError != 0) return fail(AVERROR(EINVAL));
    if (!prepareFrame(image)) return false;
    if (cut && timestamp != AV_NOPTS_VALUE) timestamp = std::max<long long>(timestamp - videoOrigin, 0);
    int64_t pts = timestamp == AV_NOPTS_VALUE
                      ? AV_NOPTS_VALUE
                      : av_rescale_q(timestamp, sourceVideoTimeBase, encoder->time_base);
    // Timestamps must rise strictly; a missing or repeated one follows its predecessor.
    if (lastPts != AV_NOPTS_VALUE && (pts == AV_NOPTS_VALUE || pts <= lastPts)) pts = lastPts + 1;
    if (pts == AV_NOPTS_VALUE) pts = 0;
    frameDuration = lastPts != AV_NOPTS_VALUE ? pts - lastPts : nominalFrameDuration();
    lastPts = pts;
    frame->pts = pts;
    if (int error = avcodec_send_frame(encoder.get(), frame.get()); error < 0) return fail(error);
    return writeEncodedPackets();
}

bool MovieWriter::Impl::appendAudio(AVPacket& packet) {
    if (!recording || finished || firstError != 0) return fail(AVERROR(EINVAL));
    if (int error = audio.write(packet); error < 0) return fail(error);
    return true;
}

bool MovieWriter::Impl::appendSubtitle(AVPacket& packet) {
    if (!recording || finished || firstError != 0) return fail(AVERROR(EINVAL));
    const int target = copiedStream(subtitleMap, packet.stream_index);
    if (target < 0) return true;
    const AVRational from = subtitleTimeBases[packet.stream_index];
    const int error =
        packetWindow ? writeCopiedPacketIn(*output, packet, from, *output->streams[target], *packetWindow)
                     : writeCopiedPacket(*output, packet, from, *output->streams[target]);
    if (error < 0) return fail(error);
    return true;
}

MovieWriter::MovieWriter(std::filesystem::path path, int width, int height, EncodingRole role,
                         const RenderSettings& settings)
    : impl_(std::make_unique<Impl>()) {
    quietLibraryLogs();
    impl_->path = std::move(path);
    impl_->width = width;
    impl_->height = height;
    impl_->role = role;
    impl_->settings = settings;
}

MovieWriter::~MovieWriter() = default;

void MovieWriter::recordAsSlice(const MovieSlice& slice) {
    impl_->slice = slice;
}

void MovieWriter::constrainRate(const RateControl& rate) {
    impl_->rate = rate;
}

void MovieWriter::cutTo(const MovieSpan& span) {
    impl_->cut = span;
    impl_->chapterSpan = span;
}

void MovieWriter::shapeSound(const SoundPlan& plan) {
    impl_->audio.shapeAll(plan);
}

void MovieWriter::placeChaptersIn(const MovieSpan& span) {
    impl_->chapterSpan = span;
}

Status MovieWriter::startRecording(const MovieReader& source) {
    return startRecording(source, source.source());
}

Status MovieWriter::startRecording(const MovieReader& frames, const MovieSource& describedBy) {
    impl_->start(frames, describedBy);
    return impl_->status();
}

Status MovieWriter::appendFrame(const Image& image, long long timestamp) {
    impl_->append(image, timestamp);
    return impl_->status();
}

Status MovieWriter::appendAudioPacket(AVPacket& packet) {
    impl_->appendAudio(packet);
    return impl_->status();
}

Status MovieWriter::appendSubtitlePacket(AVPacket& packet) {
    impl_->appendSubtitle(packet);
    return impl_->status();
}

Status MovieWriter::finishRecording() {
    if (!impl_->finished) impl_->finish();
    impl_->finished = true;
    return impl_->status();
}

int MovieWriter::encodedWidth() const {
    return impl_->encodedWidth();
}
int MovieWriter::encodedHeight() const {
    return impl_->encodedHeight();
}

}  // namespace tintreel
