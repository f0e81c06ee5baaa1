#pragma once
// What a typed number in a numeric pair's text field becomes: the value the
// stepper takes and, when the typed text is replaced, the text the field
// shows instead. Pure; any thread.
//
// Pairs with an integer check accept only an optional sign and digits (no
// spaces, point or exponent) fitting 64 bits; anything else writes the
// pair's invalid-input value. The others read the leading number of the text
// (none reads as 0). Out-of-range values are clamped to the written bound.

#include <optional>
#include <string>
#include <string_view>

namespace tintreel {

struct ControlRow;

struct PairEdit {
    float value = 0;
    std::optional<std::string> replacementText;  // nothing: the field keeps what was typed
};

PairEdit editPair(const ControlRow& control, std::string_view typed);

// Whether `text` is a decimal integer: optional '+' or '-', then digits, fitting int64.
bool isDecimalInteger(std::string_view text);

}  // namespace tintreel
