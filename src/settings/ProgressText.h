#pragma once
// The words of the render's progress label: the running pass's phrase, its
// percentage with one decimal, and "%" ("Applying Sepia Effect... 42.5%").
// Pure; any thread (the label text is made on the render thread).

#include <optional>
#include <string>

namespace tintreel {

// p × 100 in single precision, printed with "%.1f"; "0.0" when p is not a number.
std::string formatProgressPercent(float progress);

// The whole label for an effect code, or nothing when the code is not
// exactly one of 1 ... 26 (the label then keeps its text).
std::optional<std::string> progressLabel(float effectCode, const std::string& percent);

}  // namespace tintreel
