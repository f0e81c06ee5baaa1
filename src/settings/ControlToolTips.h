#pragma once
// The tool tip of each catalogue control, made from its row: what its group
// does, what the control sets, and for numbers their range and default in
// the units the window shows. Built from the catalogue, so a new control gets
// its tip without another list.
//
// Pure functions of the immutable catalogue; any thread.

#include <string>

#include "settings/ControlCatalogue.h"

namespace tintreel {

std::string controlToolTip(const ControlRow& control);

}  // namespace tintreel
