#include "platform/media/MovieSlice.h"

#include <charconv>
#include <cmath>

#include "platform/media/MediaInput.h"

namespace tintreel {
namespace {

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// Enough packets to pass the first reordered frames of any common encoder.
constexpr int kPacketsLookedAt = 100;

}  // namespace

Status checkSliceable(const std::filesystem::path& movie) {
    using namespace media;
    InputContextPtr input;
    if (int error = openInput(movie, input); error < 0) return Error{errorText(error)};
    const int video = firstVideoStream(*input);
    if (video < 0) return Error{"no video track"};
    PacketPtr packet = makePacket();
    for (int seen = 0; seen < kPacketsLookedAt && av_read_frame(input.get(), packet.get()) >= 0;) {
        const bool missing = packet->stream_index == video && packet->pts == AV_NOPTS_VALUE;
        seen += packet->stream_index == video ? 1 : 0;
        av_packet_unref(packet.get());
        if (missing)
            return Error{
                "its frames carry no presentation times, so it cannot be cut exactly: render it whole"};
    }
    return {};
}

std::string SliceNumber::text() const {
    return std::to_string(index) + "/" + std::to_string(count);
}

std::optional<SliceNumber> SliceNumber::parse(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::optional<int> index = wholeNumber(text.substr(0, slash));
    const std::optional<int> count = wholeNumber(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) return std::nullopt;
    return SliceNumber{*index, *count};
}

FrameRange sliceRange(const SliceNumber& number, double durationSeconds) {
    const auto boundary = [&](int k) { return durationSeconds * k / number.count; };
    FrameRange range;
    if (number.index > 1) range.start = boundary(number.index - 1);
    if (number.index < number.count) range.end = boundary(number.index);
    return range;
}

FrameRange sliceRange(const SliceNumber& number, const MovieSpan& span) {
    FrameRange range = sliceRange(number, span.length());
    range.start += span.in;  // an open end stays open
    range.end += span.in;
    return range;
}

std::string sliceSpanText(const MovieSpan& span) {
    char text[64];
    char* end = std::to_chars(text, text + sizeof text, span.in).ptr;
    *end++ = ' ';
    end = std::to_chars(end, text + sizeof text, span.out).ptr;
    return std::string(text, end);
}

std::optional<MovieSpan> parseSliceSpan(std::string_view text) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    MovieSpan span;
    const auto number = [](std::string_view part, double& value) {
        const auto [stop, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return !part.empty() && error == std::errc() && stop == part.data() + part.size() &&
               std::isfinite(value);
    };
    if (!number(text.substr(0, space), span.in) || !number(text.substr(space + 1), span.out) || span.in < 0 ||
        span.out <= span.in)
        return std::nullopt;
    return span;
}

}  // namespace tintreel
