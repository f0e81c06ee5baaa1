#include "platform/media/MovieSlice.h"

#include <charconv>

namespace tintreel {
namespace {

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

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

}  // namespace tintreel
