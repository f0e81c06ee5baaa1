#include "settings/PairInput.h"

#include <charconv>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>

#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

// The leading number of a text as a text field reads it: leading white
// space skipped, then a decimal number; 0 when there is none or it is not a
// number at all.
float leadingNumber(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    // Only plain decimals count: no hexadecimal, "inf" or "nan" spellings.
    const std::size_t sign = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    const bool startsDecimal = text.size() > sign && (std::isdigit(static_cast<unsigned char>(text[sign])) ||
                                                      text[sign] == '.');
    if (!startsDecimal || text.substr(sign).starts_with("0x") || text.substr(sign).starts_with("0X")) return 0.0f;
    const std::string copy(text);
    return std::strtof(copy.c_str(), nullptr);
}

PairEdit written(const ControlRow& control, float value) { return {value, pairText(control, value)}; }

}  // namespace

bool isDecimalInteger(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty()) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    // from_chars takes a leading '-' but not '+'.
    const std::string_view number = text.front() == '+' ? digits : text;
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    return ec == std::errc() && ptr == number.data() + number.size();
}

PairEdit editPair(const ControlRow& control, std::string_view typed) {
    const PairRule& rule = control.rule;
    if (rule.invalidValue && !isDecimalInteger(typed)) return written(control, *rule.invalidValue);
    const float value = leadingNumber(typed);
    if (value > rule.upperBound) return written(control, rule.upperWritten);
    if (value < rule.lowerBound) return written(control, rule.lowerWritten);
    return {value, std::nullopt};
}

}  // namespace tintreel
