#include "platform/media/SourceIdentity.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/media/MediaInput.h"
#include "platform/system/ContentDigest.h"

namespace tintreel {
using namespace media;

namespace {

// Enough for a container's header and the first packets, and for its index
// and the last packets; little enough to read in a moment over a network.
constexpr int kEdgeBytes = 64 * 1024;
constexpr char kFieldSeparator = ';';

std::string trackList(const AVFormatContext& input) {
    std::string tracks;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVCodecParameters& codec = *input.streams[i]->codecpar;
        const char* kind = av_get_media_type_string(codec.codec_type);
        if (!tracks.empty()) tracks += ", ";
        tracks += std::string(kind ? kind : "data") + " " + avcodec_get_name(codec.codec_id);
    }
    return tracks;
}

// Adds up to kEdgeBytes of the file from `offset` (fewer at its end).
int addBytesAt(AVIOContext& io, int64_t offset, ContentDigest& digest) {
    if (const int64_t at = avio_seek(&io, offset, SEEK_SET); at < 0) return static_cast<int>(at);
    std::vector<std::uint8_t> bytes(kEdgeBytes);
    const int read = avio_read(&io, bytes.data(), kEdgeBytes);
    if (read < 0 && read != AVERROR_EOF) return read;
    digest.add(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(std::max(read, 0))));
    return 0;
}

// The digest of the file's size and its first and last bytes, read through
// its open I/O, which is left where it stood.
Result<std::string> fingerprint(AVFormatContext& input) {
    AVIOContext* io = input.pb;
    if (!io) return Error{"its bytes cannot be read"};
    const int64_t resume = avio_tell(io);
    const int64_t size = avio_size(io);
    if (size < 0) return Error{errorText(static_cast<int>(size))};
    ContentDigest digest;
    digest.add(size);
    int error = addBytesAt(*io, 0, digest);
    if (error >= 0) error = addBytesAt(*io, std::max<int64_t>(0, size - kEdgeBytes), digest);
    const int64_t restored = avio_seek(io, resume, SEEK_SET);
    if (error < 0) return Error{errorText(error)};
    if (restored < 0) return Error{errorText(static_cast<int>(restored))};
    return digest.hex();
}

std::optional<long long> wholeNumber(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t stop = text.find(kFieldSeparator, start);
        parts.push_back(text.substr(start, stop - start));
        if (stop == std::string_view::npos) return parts;
        start = stop + 1;
    }
}

std::string sizeText(const SourceIdentity& identity) {
    return std::to_string(identity.width) + "x" + std::to_string(identity.height);
}

std::string secondsText(long long microseconds, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f s", decimals, static_cast<double>(microseconds) / 1e6);
    return text;
}

// "20.000 s long, not 2.000 s", with more decimals where three do not tell them apart.
std::string lengthDifference(long long ours, long long theirs) {
    const int decimals = secondsText(ours, 3) == secondsText(theirs, 3) ? 6 : 3;
    return secondsText(ours, decimals) + " long, not " + secondsText(theirs, decimals);
}

}  // namespace

std::string SourceIdentity::text() const {
    return sizeText(*this) + kFieldSeparator + std::to_string(durationMicroseconds) + kFieldSeparator +
           tracks + kFieldSeparator + fingerprint;
}

std::optional<SourceIdentity> SourceIdentity::parse(std::string_view text) {
    const std::vector<std::string_view> parts = fields(text);
    if (parts.size() != 4) return std::nullopt;
    const std::size_t by = parts[0].find('x');
    if (by == std::string_view::npos) return std::nullopt;
    const std::optional<long long> width = wholeNumber(parts[0].substr(0, by));
    const std::optional<long long> height = wholeNumber(parts[0].substr(by + 1));
    const std::optional<long long> duration = wholeNumber(parts[1]);
    if (!width || !height || !duration || parts[3].empty()) return std::nullopt;
    return SourceIdentity{static_cast<int>(*width), static_cast<int>(*height), *duration,
                          std::string(parts[2]), std::string(parts[3])};
}

std::string SourceIdentity::differenceFrom(const SourceIdentity& other) const {
    if (width != other.width || height != other.height) return sizeText(*this) + ", not " + sizeText(other);
    if (durationMicroseconds != other.durationMicroseconds)
        return lengthDifference(durationMicroseconds, other.durationMicroseconds);
    if (tracks != other.tracks) return "made of " + tracks + ", not " + other.tracks;
    return "another file of the same size, length and tracks";
}

Result<SourceIdentity> readSourceIdentity(const std::filesystem::path& movie) {
    InputContextPtr input;
    if (int error = openInput(movie, input); error < 0) return Error{errorText(error)};
    return identify(*input);
}

namespace media {

Result<SourceIdentity> identify(AVFormatContext& input) {
    Result<std::string> print = fingerprint(input);
    if (!print) return Error{"cannot read its bytes: " + print.error()};
    SourceIdentity identity;
    if (const int video = firstVideoStream(input); video >= 0) {
        identity.width = input.streams[video]->codecpar->width;
        identity.height = input.streams[video]->codecpar->height;
    }
    identity.durationMicroseconds = std::llround(durationSeconds(input) * 1e6);
    identity.tracks = trackList(input);
    identity.fingerprint = std::move(*print);
    return identity;
}

}  // namespace media
}  // namespace tintreel
