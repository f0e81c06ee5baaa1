#pragma once
// The digest of a look, as each slice of a split records it: two slices whose
// pictures were made by different looks must not be joined, and the slices
// of one look, rendered anywhere, must match.
//
// Pure function: any thread.

#include <string>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"

namespace tintreel {

// A digest of what makes the pictures: every value of each group the look
// turns on (the adjustments always), read through the control catalogue,
// and the pixels of `logo` when the image watermark is on. Values a render
// ignores (a group switched off, a pair's typed text, the picture's file
// name) leave it unchanged; any value a render reads changes it.
std::string lookDigest(const EffectSettings& settings, const Image& logo);

}  // namespace tintreel
