#pragma once
// Picture files: the still-picture source of the engine (PNG or JPEG in,
// turned upright by its orientation tag) and writing a PNG out.
//
// Pure functions; callable from any thread (Qt's image readers and writers
// are reentrant).

#include <array>
#include <string>
#include <string_view>

#include "platform/filters/Image.h"
#include "platform/system/Result.h"

namespace tintreel {

// The extensions of the picture files offered for the image watermark.
inline constexpr std::array<std::string_view, 3> kPictureExtensions{"png", "jpg", "jpeg"};

// The picture in the file, or the reader's description of why it cannot be
// read as a picture.
Result<Image> loadPicture(const std::string& path);

// Writes the image as a PNG; fails with the writer's description when the
// file cannot be written.
Status savePng(const Image& image, const std::string& path);

// Writes the image as a JPEG of high quality, with transparent parts black
// (JPEG has no alpha); fails with the writer's description when the file
// cannot be written.
Status saveJpeg(const Image& image, const std::string& path);

}  // namespace tintreel
