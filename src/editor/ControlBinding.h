#pragma once
// Reads EffectSettings from the window's controls and writes them back, row
// by row through the control catalogue. The controls are the store: these
// are the only two places that translate between widgets and settings.
//
// GUI thread only.

#include "imaging/EffectSettings.h"

namespace tintreel {

class Outlets;
struct ControlRow;

EffectSettings readSettings(const Outlets& outlets);
void writeSettings(const Outlets& outlets, const EffectSettings& settings);
// Writes the controls of one catalogue row.
void writeControl(const Outlets& outlets, const ControlRow& control, const EffectSettings& settings);

}  // namespace tintreel
