#pragma once
// The settings record: all EffectSettings as one text of 110 lines, one value
// per line in catalogue order, each ended by a line feed. It is what the
// history keeps, what a text field compares its text with, and what a
// profile file holds.
//
// Renderings: sliders and steppers with "%.6g" (".0" appended when the text
// has neither a point nor an exponent and is a finite number), the colour's
// components with "%.15g" by the same rule, check states and pop-up indexes
// as decimal integers, texts unchanged.
//
// Pure functions; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/EffectSettings.h"

namespace tintreel {

inline constexpr int kSettingsRecordLines = 110;

std::string formatRecordFloat(float value);
std::string formatRecordDouble(double value);

std::string renderSettingsRecord(const EffectSettings& settings);

// The line (from 0) of the record that holds the control named `outlet`
// (a text field of a pair has the line after its stepper's).
std::optional<int> settingsRecordLine(std::string_view outlet);

// Splits a text at line breaks: LF, CR, CR LF (one break), VT, FF, NEL, LS
// and PS. A final line break does not start another line.
std::vector<std::string> splitRecordLines(std::string_view text);

// True when `text` holds any of those line breaks.
bool hasRecordLineBreak(std::string_view text);

struct RecordParseResult {
    EffectSettings settings;
    // One sentence per line that could not be used as it stood; empty when the
    // whole record was read.
    std::vector<std::string> problems;
};

// Reads a record back over `base`. The rule for damaged input: a line that
// does not parse as its control's kind, or names a check state or pop-up
// index that does not exist, keeps the base value; a number outside its
// control's range is clamped into it (a pair's text then shows the clamped
// number); missing lines keep the base values and extra lines are ignored.
// Every such case adds one problem; nothing ever leaves a control out of range.
RecordParseResult parseSettingsRecord(std::string_view record, const EffectSettings& base);

}  // namespace tintreel
