#include "settings/SettingsRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "settings/ControlCatalogue.h"
#include "settings/WholeNumber.h"

namespace tintreel {
namespace {

std::string withPointIfNeeded(std::string text, double value) {
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

void renderRow(const ControlRow& control, const EffectSettings& s, std::string& out) {
    auto line = [&out](const std::string& text) {
        out += text;
        out += '\n';
    };
    switch (control.kind) {
        case ControlKind::Slider: line(formatRecordFloat(control.number.of(s))); break;
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            line(formatRecordFloat(control.number.of(s)));
            line(control.text.of(s));
            break;
        case ControlKind::Check:
        case ControlKind::PopUp:
        case ControlKind::FontPopUp: line(std::to_string(s.*control.state)); break;
        case ControlKind::Text: line(control.text.of(s)); break;
        case ControlKind::ColorWell: {
            const RgbColor& c = s.*control.color;
            line(formatRecordDouble(c.red));
            line(formatRecordDouble(c.green));
            line(formatRecordDouble(c.blue));
            break;
        }
        case ControlKind::Button: break;
    }
}

// Walks the record's lines against the catalogue, collecting problems.
class RecordReader {
public:
    RecordReader(std::vector<std::string> lines, EffectSettings& settings, std::vector<std::string>& problems)
        : lines_(std::move(lines)), s_(settings), problems_(problems) {}

    void read(const ControlRow& control) {
        switch (control.kind) {
            case ControlKind::Slider: readNumber(control); break;
            case ControlKind::Pair:
            case ControlKind::MatrixCell: readPair(control); break;
            case ControlKind::Check:
            case ControlKind::PopUp:
            case ControlKind::FontPopUp: readIndex(control); break;
            case ControlKind::Text:
                if (auto line = next()) control.text.of(s_) = *line;
                break;
            case ControlKind::ColorWell: readColor(control); break;
            case ControlKind::Button: break;
        }
    }

    // After the controls: a record that ended early keeps the base values.
    void finishControls() {
        if (missing_ > 0)
            problems_.push_back("The settings end after line " + std::to_string(lines_.size()) + "; " +
                                std::to_string(missing_) + " values keep their current setting.");
    }

    // The extras, in their line order; what is missing takes its default.
    // Reading goes on after all of them, whatever each one took.
    RecordExtras readExtras() {
        const std::size_t after = position_ + static_cast<std::size_t>(recordExtrasLineCount());
        RecordExtras extras;
        extras.logoPath = nextExtra();
        s_.textFontFamily = nextExtra();
        position_ = after;
        return extras;
    }

    // A control stored after the extras: a record from before it existed
    // ends earlier, and the control takes its default without a problem.
    void readAfterExtras(const ControlRow& control) {
        if (position_ >= lines_.size()) return resetControl(s_, control);
        read(control);
    }

private:
    std::string nextExtra() { return position_ < lines_.size() ? lines_[position_++] : std::string(); }

    std::optional<std::string> next() {
        if (position_ >= lines_.size()) {
            ++missing_;
            return std::nullopt;
        }
        return lines_[position_++];
    }

    void report(std::string_view outlet, const std::string& line, std::string_view what) {
        problems_.push_back("Line " + std::to_string(position_) + " (" + std::string(outlet) + "): \"" + line +
                            "\" " + std::string(what) + ".");
    }

    // Reads one float line into `target` within [low, high]; false when unchanged or clamped.
    bool readFloat(std::string_view outlet, float& target, float low, float high) {
        auto line = next();
        if (!line) return false;
        auto value = parseWholeNumber<float>(*line);
        if (!value || std::isnan(*value)) {
            report(outlet, *line, "is not a number");
            return false;
        }
        const float clamped = std::clamp(*value, low, high);
        target = clamped;
        if (clamped != *value) {
            report(outlet, *line, "is out of range and was clamped");
            return false;
        }
        return true;
    }

    void readNumber(const ControlRow& control) {
        readFloat(control.outlet, control.number.of(s_), control.minimum, control.maximum);
    }

    void readPair(const ControlRow& control) {
        const bool numberRead = readFloat(control.outlet, control.number.of(s_), control.minimum, control.maximum);
        auto text = next();
        // The field must keep showing the stepper's number when that had to change.
        control.text.of(s_) = (numberRead && text) ? *text : pairText(control, control.number.of(s_));
    }

    void readIndex(const ControlRow& control) {
        auto line = next();
        if (!line) return;
        auto value = parseWholeNumber<int>(*line);
        if (!value || *value < control.minimum || *value > control.maximum) {
            report(control.outlet, *line, "is not one of the choices");
            return;
        }
        s_.*control.state = *value;
    }

    void readColor(const ControlRow& control) {
        RgbColor& color = s_.*control.color;
        for (double* component : {&color.red, &color.green, &color.blue}) {
            auto line = next();
            if (!line) continue;
            auto value = parseWholeNumber<double>(*line);
            if (!value || std::isnan(*value)) {
                report(control.outlet, *line, "is not a number");
                continue;
            }
            *component = std::clamp(*value, 0.0, 1.0);
            if (*component != *value) report(control.outlet, *line, "is out of range and was clamped");
        }
    }

    std::vector<std::string> lines_;
    std::size_t position_ = 0;
    int missing_ = 0;
    EffectSettings& s_;
    std::vector<std::string>& problems_;
};

// Length in bytes of a line break starting at text[i], 0 when there is none.
std::size_t lineBreakLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto at = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0; };
    if (c == '\r') return at(1) == '\n' ? 2 : 1;
    if (c == '\n' || c == '\v' || c == '\f') return 1;
    if (c == 0xC2 && at(1) == 0x85) return 2;                                   // NEL
    if (c == 0xE2 && at(1) == 0x80 && (at(2) == 0xA8 || at(2) == 0xA9)) return 3;  // LS, PS
    return 0;
}

int recordLineCount(ControlKind kind) {
    switch (kind) {
        case ControlKind::Pair:
        case ControlKind::MatrixCell: return 2;
        case ControlKind::ColorWell: return 3;
        case ControlKind::Button: return 0;
        default: return 1;
    }
}

}  // namespace

std::string formatRecordFloat(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", static_cast<double>(value));
    return withPointIfNeeded(buffer, value);
}

std::string formatRecordDouble(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return withPointIfNeeded(buffer, value);
}

namespace {

// The extras' lines: the watermark picture's path, then the family the text
// watermark names outside the font list (kept with the settings, since the
// drawing needs it).
std::string renderRecordExtras(const RecordExtras& extras, const std::string& fontFamily) {
    std::string out;
    for (const std::string* extra : {&extras.logoPath, &fontFamily}) {
        // A line break would shift every later line, so such a value is written empty.
        if (!hasRecordLineBreak(*extra)) out += *extra;
        out += '\n';
    }
    return out;
}

}  // namespace

int recordExtrasLineCount() {
    static const int count = static_cast<int>(splitRecordLines(renderRecordExtras({}, {})).size());
    return count;
}

int settingsRecordLineCount() {
    int lines = recordExtrasLineCount();
    for (const ControlRow& control : controlCatalogue()) lines += recordLineCount(control.kind);
    return lines;
}

std::string renderSettingsRecord(const EffectSettings& settings, const RecordExtras& extras) {
    std::string out;
    out.reserve(2048);
    for (const ControlRow& control : controlCatalogue())
        if (!control.afterExtras) renderRow(control, settings, out);
    out += renderRecordExtras(extras, settings.textFontFamily);
    for (const ControlRow& control : controlCatalogue())
        if (control.afterExtras) renderRow(control, settings, out);
    return out;
}

std::vector<std::string> splitRecordLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = lineBreakLength(text, i)) {
            lines.emplace_back(text.substr(start, i - start));
            i += length;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

bool hasRecordLineBreak(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (lineBreakLength(text, i) > 0) return true;
    return false;
}

std::optional<int> settingsRecordLine(std::string_view outlet) {
    int line = 0;
    for (const bool afterExtras : {false, true}) {
        for (const ControlRow& control : controlCatalogue()) {
            if (control.afterExtras != afterExtras) continue;
            if (control.outlet == outlet)
                return control.kind == ControlKind::Button ? std::nullopt : std::optional(line);
            if (!control.textOutlet.empty() && control.textOutlet == outlet) return line + 1;
            line += recordLineCount(control.kind);
        }
        line += recordExtrasLineCount();
    }
    return std::nullopt;
}

RecordParseResult parseSettingsRecord(std::string_view record, const EffectSettings& base) {
    RecordParseResult result{base, {}, {}};
    RecordReader reader(splitRecordLines(record), result.settings, result.problems);
    for (const ControlRow& control : controlCatalogue())
        if (!control.afterExtras) reader.read(control);
    reader.finishControls();
    result.extras = reader.readExtras();
    for (const ControlRow& control : controlCatalogue())
        if (control.afterExtras) reader.readAfterExtras(control);
    return result;
}

}  // namespace tintreel
