#pragma once
// Internal to the media layer: a movie's colour description (matrix,
// primaries, transfer, range) and the one set of rules for what we assume
// when a source says nothing. Reading (MovieReader, FrameImageAtTime) and
// writing (MovieWriter) both convert between YUV and our RGBA through these
// functions, so a render that changes nothing gives back its source's colours.
//
// The rules for a source without a description: a picture of HD size
// (width >= 1280 or height >= 720, the stored size) is BT.709, a smaller one
// BT.601 (SMPTE 170M), both in limited range. A source with a partial
// description keeps what it says; a missing matrix follows the size rule.
// Plain values; any thread.

#include <optional>
#include <string>

#include "platform/media/FfmpegHandles.h"

namespace tintreel::media {

struct ColourDescription {
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;

    // What a stream's parameters or a decoded frame say (JPEG pixel formats are full range).
    static ColourDescription of(const AVCodecParameters& parameters);
    static ColourDescription of(const AVFrame& frame);

    // Every fact filled in for a picture of this stored size, with a matrix
    // our converter knows (an RGB or unusual matrix gives way to the size rule).
    ColourDescription completed(int width, int height) const;

    // Writes the description into an encoder's settings.
    void tag(AVCodecContext& encoder) const;
    bool isFullRange() const { return range == AVCOL_RANGE_JPEG; }
    bool operator==(const ColourDescription&) const = default;
};

bool isHighDefinitionSize(int width, int height);

// Sets `scaler`'s YUV -> RGB (decoding) or RGB -> YUV (encoding) conversion
// to `colour`'s matrix and range; RGB is always full range. False when the
// scaler does not take them.
bool useForDecoding(SwsContext& scaler, const ColourDescription& colour);
bool useForEncoding(SwsContext& scaler, const ColourDescription& colour);

// The YUV -> RGB conversion of useForDecoding() as numbers, for our own
// converter: a channel in levels is luma * (Y - lumaOffset) plus the chroma
// terms, with U and V less 128:
//   red = ... + redV * V,  green = ... + greenU * U + greenV * V,  blue = ... + blueU * U.
struct YuvToRgb {
    float luma, lumaOffset, redV, greenU, greenV, blueU;
};
YuvToRgb decodingMatrix(const ColourDescription& colour);

// The line that says a source is rendered with less than it has: more than
// 8 bits per sample, or a high dynamic range transfer. None for ordinary sources.
std::optional<std::string> eightBitNotice(const AVCodecParameters& parameters);

}  // namespace tintreel::media
