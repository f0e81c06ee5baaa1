#pragma once
// The look as a colour table: the steps of a look that act on each pixel
// alone (the adjustments, black and white, sepia, the colour table itself)
// sampled on a cube of colours and written as a 3D .cube file that other
// tools apply. Steps that read neighbours or the position of a pixel
// (blurs, vignette, stylising, transforms, watermarks) cannot be held in a
// table: they are left out and named.
//
// Pure functions: any thread.

#include <string>
#include <string_view>
#include <vector>

#include "imaging/EffectSettings.h"
#include "imaging/EffectSteps.h"

namespace tintreel {

inline constexpr int kLookTableDefaultSize = 33;
inline constexpr int kLookTableSmallest = 17;
inline constexpr int kLookTableLargest = 65;

// Whether the step's output pixel depends only on the same input pixel.
bool actsPerPixel(EffectCode code);

// The names of the steps the look runs on a movie that a table cannot hold.
std::vector<std::string_view> stepsLeftOutOfTable(const EffectSettings& settings);

// The whole .cube text for a size in kLookTableSmallest ... kLookTableLargest:
// a TITLE, the look's changed settings and the steps left out as comments,
// LUT_3D_SIZE and size^3 rows of "R G B" with red changing fastest.
std::string lookTableCube(const EffectSettings& settings, int size, std::string_view title);

}  // namespace tintreel
