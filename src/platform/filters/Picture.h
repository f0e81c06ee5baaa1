#pragma once
// Picture files: the still-picture source of the engine (PNG or JPEG in,
// turned upright by its orientation tag) and writing a PNG out.
//
// Pure functions; callable from any thread (Qt's image readers and writers
// are reentrant).

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/filters/Image.h"

namespace tintreel {

// The extensions of the picture files offered for the image watermark.
inline constexpr std::array<std::string_view, 3> kPictureExtensions{"png", "jpg", "jpeg"};

// The picture in the file, or nothing when it cannot be read as a picture;
// `error` (when given) then receives the reader's description.
std::optional<Image> loadPicture(const std::string& path, std::string* error = nullptr);

// Writes the image as a PNG; false (with the writer's description in
// `error`) when the file cannot be written.
bool savePng(const Image& image, const std::string& path, std::string* error = nullptr);

// Writes the image as a JPEG of high quality, with transparent parts black
// (JPEG has no alpha); false (with the writer's description in `error`) when
// the file cannot be written.
bool saveJpeg(const Image& image, const std::string& path, std::string* error = nullptr);

}  // namespace tintreel
