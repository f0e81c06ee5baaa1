#pragma once
// The settings record: the first 110 lines hold the EffectSettings of the
// first layout, one value per line in catalogue order; then come the
// record's extras: the watermark picture's path (line 111, counting from 1)
// and the family the text watermark names outside the font list (line 112;
// EffectSettings::textFontFamily, kept with the settings because the drawing
// needs it); then the controls added after the extras (rows marked
// `afterExtras`, in catalogue order, from line 113). Each line is ended by a
// line feed. It is what the history keeps, what a text field compares its
// text with, and what a profile file holds.
//
// New lines are only ever appended after the last one. A reader ignores
// lines after the last one it knows (a later release wrote them), and a
// record that ends after the first controls' lines (every profile saved
// before the later lines existed) gives the extras and the later controls
// their defaults; neither is a problem.
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

// What a record holds besides the controls, in the order of its lines.
struct RecordExtras {
    // The image watermark's picture, as a full path, so that a profile used
    // elsewhere (a batch, another machine) carries its logo; empty for none.
    // A path holding a line break cannot be stored and is written empty.
    std::string logoPath;
    bool operator==(const RecordExtras&) const = default;
};

// The lines of the controls before the extras.
inline constexpr int kSettingsRecordControlLines = 110;

// How many lines the extras take, counted from their rendering.
int recordExtrasLineCount();
// Every line of a record: the controls before the extras, the extras, the
// controls after them.
int settingsRecordLineCount();

std::string formatRecordFloat(float value);
std::string formatRecordDouble(double value);

std::string renderSettingsRecord(const EffectSettings& settings, const RecordExtras& extras = {});

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
    RecordExtras extras;
    // One sentence per line that could not be used as it stood; empty when the
    // whole record was read.
    std::vector<std::string> problems;
};

// Reads a record back over `base`. The rule for damaged input: a line that
// does not parse as its control's kind, or names a check state or pop-up
// index that does not exist, keeps the base value; a number outside its
// control's range is clamped into it (a pair's text then shows the clamped
// number); missing control lines keep the base values. Every such case adds
// one problem; nothing ever leaves a control out of range. Missing extras take
// their defaults (empty, also the font family: the font line then names the
// family) and lines after the last known one are ignored, silently.
RecordParseResult parseSettingsRecord(std::string_view record, const EffectSettings& base);

}  // namespace tintreel
