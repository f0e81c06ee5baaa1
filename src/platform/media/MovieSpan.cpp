#include "platform/media/MovieSpan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace tintreel {
namespace {

// Digits with at most one decimal point; nothing else (no sign, no exponent).
std::optional<double> parseDecimal(std::string_view text) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.empty() || std::count(text.begin(), text.end(), '.') > 1) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [&](char c) { return isDigit(c) || c == '.'; }))
        return std::nullopt;
    if (std::none_of(text.begin(), text.end(), isDigit)) return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t colon; (colon = text.find(':')) != std::string_view::npos; text.remove_prefix(colon + 1))
        fields.push_back(text.substr(0, colon));
    fields.push_back(text);
    return fields;
}

}  // namespace

std::optional<double> parseTimePoint(std::string_view text) {
    const std::vector<std::string_view> fields = splitFields(text);
    if (fields.size() > 3) return std::nullopt;
    double seconds = 0.0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        // Only the seconds may have a fraction; hours and minutes are whole.
        if (!last && fields[i].find('.') != std::string_view::npos) return std::nullopt;
        const std::optional<double> value = parseDecimal(fields[i]);
        if (!value) return std::nullopt;
        if (i > 0 && *value >= 60.0) return std::nullopt;
        seconds = seconds * 60.0 + *value;
    }
    return seconds;
}

std::string formatTimePoint(double seconds) {
    const long long hundredths = std::llround(std::max(seconds, 0.0) * 100.0);
    const long long hours = hundredths / 360000, minutes = hundredths / 6000 % 60;
    const long long wholeSeconds = hundredths / 100 % 60, fraction = hundredths % 100;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", hours, minutes, wholeSeconds, fraction);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", minutes, wholeSeconds, fraction);
    return text;
}

std::optional<std::string> spanProblem(const MovieSpan& wanted, double movieSeconds) {
    if (wanted.in >= wanted.out)
        return "the in point " + formatTimePoint(wanted.in) + " is not before the out point " +
               formatTimePoint(wanted.out);
    if (wanted.in >= movieSeconds)
        return "the in point " + formatTimePoint(wanted.in) + " is past the end of the movie (" +
               formatTimePoint(movieSeconds) + ")";
    return std::nullopt;
}

MovieSpan clampedSpan(const MovieSpan& wanted, double movieSeconds) {
    return {std::max(wanted.in, 0.0), std::min(wanted.out, movieSeconds)};
}

}  // namespace tintreel
