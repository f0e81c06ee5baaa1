#pragma once
// Reads a number that must fill the whole text (no spaces, no trailing
// characters), as a record line or a command-line value must.

#include <charconv>
#include <optional>
#include <string_view>

namespace tintreel {

template <typename Number>
std::optional<Number> parseWholeNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace tintreel
