#pragma once
// The control catalogue: every effect and watermark control of the editor,
// declared once as data. Building the widgets, the defaults, ResetInterface,
// the group resets, the settings record, the enable/disable list and the
// command line's `--set NAME=VALUE` all read this one table.
//
// Rows are in settings-record order, except rows marked `afterExtras`, which
// sit in their group for the window but are stored after the record's
// extras; groups are in the order the record first meets them (which is
// also the still chain's order). The table is immutable and may be read from
// any thread.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "imaging/EffectSettings.h"

namespace tintreel {

enum class ControlKind {
    Slider,      // a float slider
    Check,       // a check box: state 0 or 1
    Pair,        // a stepper (authoritative number) with its text field
    MatrixCell,  // a stepper with a display-only text field
    Text,        // a free text field
    ColorWell,   // the text colour
    PopUp,       // a pop-up: the selected index
    FontPopUp,   // the font pop-up: an index of the font list, or a family named outside it
    Button,      // a push button with no value (choosing or clearing a file)
};

enum class GroupId {
    Adjustments, BlackWhite, Sepia, Cartoon, OilPainting, Vignette, Pixellate, Halftone, Blur,
    CircleBlur, FocusBlur, MotionBlur, ZoomBlur, Scale, Rotate, Transform3D, Swirl, GlassSphere,
    TextWatermark, ImageWatermark, Reframe, Flip, ColorTable, Audio,
};

// The tab of the settings panel a group is shown in.
enum class SettingsTab { Adjustments, Effects, Transform, TextWatermark, ImageWatermark, Audio };

struct GroupRow {
    GroupId id;
    std::string_view caption;      // the check box caption; empty for the adjustments
    std::string_view purpose;      // what the group does, in a few words (for tool tips)
    std::string_view checkOutlet;  // empty when the group has no check box
    std::string_view resetOutlet;  // empty when the group has no reset button
    SettingsTab tab;
    // The reset does nothing at all when every value already equals its default.
    bool resetSkipsWhenDefault = false;
    // The reset leaves the check box alone but touches extra session state
    // (the watermark picture): only the image watermark.
    bool resetClearsLogo = false;
};

// How a numeric pair's typed text is checked, clamped and compared.
struct PairRule {
    float lowerBound = 0, lowerWritten = 0;
    float upperBound = 0, upperWritten = 0;
    std::optional<float> invalidValue;  // nothing: no integer check, the leading number is read
    bool comparesWithRecord = false;    // an unchanged edit starts no refresh
};

// Where a row's value lives in EffectSettings.
struct FloatField {
    float EffectSettings::* member = nullptr;
    int cell = -1;  // a matrix cell of stepper3DTransform when >= 0
    float& of(EffectSettings& s) const { return cell < 0 ? s.*member : s.stepper3DTransform[cell]; }
    float of(const EffectSettings& s) const { return cell < 0 ? s.*member : s.stepper3DTransform[cell]; }
};
struct TextField {
    std::string EffectSettings::* member = nullptr;
    int cell = -1;  // a matrix cell of textField3DTransform when >= 0
    std::string& of(EffectSettings& s) const { return cell < 0 ? s.*member : s.textField3DTransform[cell]; }
    const std::string& of(const EffectSettings& s) const {
        return cell < 0 ? s.*member : s.textField3DTransform[cell];
    }
};

// How a slider's value is shown and typed beside it, in the units a user
// thinks in: the stored value times `scale`, with `decimals` places and the
// unit after it ("%", "°", " px", or none for a plain number).
struct SliderDisplay {
    float scale = 1;
    std::string_view unit;
    int decimals = 2;
};

struct ControlRow {
    std::string_view outlet;      // the control's name (the stepper, for pairs and cells)
    std::string_view textOutlet;  // the paired text field of a Pair or MatrixCell
    ControlKind kind = ControlKind::Button;
    GroupId group = GroupId::Adjustments;
    std::string_view label;  // caption shown beside the control (a check box's own caption)

    // Numbers: sliders, steppers, check states and pop-up indexes.
    float defaultValue = 0;
    float minimum = 0, maximum = 0, increment = 0;
    std::span<const std::string_view> items;  // pop-up items
    PairRule rule;
    std::string_view defaultText;  // Text rows
    SliderDisplay display;         // Slider rows

    // Controls added after the record had its extras: their lines follow
    // the extras rather than the other controls (see SettingsRecord.h).
    bool afterExtras = false;
    std::string_view note;  // a sentence more for the tool tip; may be empty

    FloatField number;                    // Slider, Pair, MatrixCell
    int EffectSettings::* state = nullptr;  // Check, PopUp, FontPopUp
    TextField text;                       // Pair, MatrixCell, Text; FontPopUp: the named family
    RgbColor EffectSettings::* color = nullptr;  // ColorWell
    RgbColor defaultColor;
};

std::span<const GroupRow> controlGroups();
std::span<const ControlRow> controlCatalogue();

const GroupRow& groupSpec(GroupId id);
// The row whose outlet or text outlet is `name`, if any.
const ControlRow* findControl(std::string_view name);
// The group's check box state in `settings`; 1 for a group without a check box.
int groupState(const EffectSettings& settings, GroupId id);

// Every control at its default.
EffectSettings defaultEffectSettings();
// Sets one control (both halves of a pair) to its default.
void resetControl(EffectSettings& settings, const ControlRow& control);
// Sets the values of one group (not its check box) to their defaults.
void resetGroup(EffectSettings& settings, GroupId id);
// Whether every value of the group (not its check box) equals its default.
bool groupIsAtDefault(const EffectSettings& settings, GroupId id);

// Text a numeric text field shows for a number it did not get typed.
std::string formatFieldNumber(float value);
// Text of a matrix cell: "0" for values within 0.001 of zero, else "%.2f".
std::string FloatToFormattedString(float value);
// The display text of a pair or matrix cell for `value`.
std::string pairText(const ControlRow& control, float value);

// The name of the font family at `index` of the font list; "" outside it.
std::string GetTextFontTypeWithFontType(int index);

// Chooses the font family `family` for a FontPopUp row: a family of the font
// list sets its index and names no family; any other is named and keeps the
// index, which older readers of the record fall back on.
void chooseFontFamily(const ControlRow& control, EffectSettings& settings, const std::string& family);

// The controls switched off during a render and on again after it: every
// catalogue control (a pair with its field, never the display-only matrix
// fields), every reset button and the window's own commands but the preview
// button, which becomes Cancel.
std::vector<std::string_view> interfaceSwitchedControls();

}  // namespace tintreel
