#include "platform/media/MovieSource.h"

#include <atomic>
#include <optional>

#include "platform/media/MediaInput.h"

namespace tintreel {
using namespace media;

struct MovieSource::Impl {
    std::filesystem::path path;
    InputContextPtr input;
    int videoIndex = -1;
    MediaAsset facts;
    std::optional<Result<SourceIdentity>> identity;  // read on first request
    std::atomic<bool> interrupted{false};

    static int interruptCallback(void* self) { return static_cast<Impl*>(self)->interrupted.load() ? 1 : 0; }
};

Result<std::shared_ptr<MovieSource>> MovieSource::open(const std::filesystem::path& path) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    // The callback is copied into the file's I/O when it opens: set it now.
    const AVIOInterruptCB interrupt{&Impl::interruptCallback, impl.get()};
    if (int error = openInput(path, impl->input, &interrupt); error < 0) return Error{errorText(error)};
    const AVFormatContext& input = *impl->input;
    MediaAsset& facts = impl->facts;
    impl->videoIndex = firstVideoStream(input);
    facts.durationSeconds_ = durationSeconds(input);
    facts.audioBitsPerSecondBound_ = audioBitsPerSecondBound(input);
    for (unsigned i = 0; i < input.nb_streams; ++i)
        facts.audioTracks_ += input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO ? 1 : 0;
    if (impl->videoIndex >= 0) {
        const AVStream& video = *input.streams[impl->videoIndex];
        facts.videoTrack_ = describeTrack(video);
        facts.videoSeconds_ = videoSeconds(input);
    }
    return std::shared_ptr<MovieSource>(new MovieSource(std::move(impl)));
}

MovieSource::MovieSource(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MovieSource::~MovieSource() = default;

const std::filesystem::path& MovieSource::path() const {
    return impl_->path;
}
const MediaAsset& MovieSource::facts() const {
    return impl_->facts;
}
Result<SourceIdentity> MovieSource::identity() {
    if (!impl_->identity) impl_->identity = identify(*impl_->input);
    return *impl_->identity;
}
AVFormatContext& MovieSource::input() const {
    return *impl_->input;
}
int MovieSource::videoStreamIndex() const {
    return impl_->videoIndex;
}
void MovieSource::interruptReads(bool interrupt) {
    impl_->interrupted = interrupt;
}

long long inputOpenCount(const std::filesystem::path& path) {
    return media::opensOf(path);
}

}  // namespace tintreel
