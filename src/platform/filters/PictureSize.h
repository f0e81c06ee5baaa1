#pragma once
// The largest picture the engine takes in. A picture file's header is read
// before its pixels, so one that would need more memory than a render can
// spare (a 20000 x 20000 PNG is a few kilobytes on disk and 1.6 GB as RGBA)
// is refused before anything is decoded.
//
// Pure functions; any thread (Qt's image readers are reentrant).

#include <filesystem>

#include "platform/system/Result.h"

namespace tintreel {

inline constexpr long long kMaxPicturePixels = 100'000'000;
inline constexpr int kMaxPictureSide = 16384;

// Fails, saying the size and the limit, when the picture in `path` is larger
// than the limits above. A header that cannot be read passes: reading the
// picture then says what is wrong with it.
Status checkPictureSize(const std::filesystem::path& path);

}  // namespace tintreel
