#include "platform/media/ColourDescription.h"

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace tintreel::media {
namespace {

// The converter's coefficient table for a matrix, or none for a matrix it does not know.
std::optional<int> converterMatrix(AVColorSpace matrix) {
    switch (matrix) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_SMPTE170M:
        case AVCOL_SPC_BT470BG:
            return SWS_CS_ITU601;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return std::nullopt;
    }
}

// The converter's YUV -> RGB coefficients for a description's matrix.
const int* coefficientsOf(const ColourDescription& colour) {
    return sws_getCoefficients(converterMatrix(colour.matrix).value_or(SWS_CS_DEFAULT));
}

AVColorRange rangeOf(AVColorRange tagged, int format) {
    // The JPEG pixel formats are full range whatever the tag says.
    switch (static_cast<AVPixelFormat>(format)) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return AVCOL_RANGE_JPEG;
        default:
            return tagged;
    }
}

bool isHighDynamicRange(AVColorTransferCharacteristic transfer) {
    return transfer == AVCOL_TRC_SMPTE2084 || transfer == AVCOL_TRC_ARIB_STD_B67;
}

// A tag as the decoder stored it. Decoders copy a stream's colour fields
// without checking them, so a damaged file can leave a number that is none
// of the enum's values; reading it as the enum would be undefined. The raw
// number is read instead, and one that FFmpeg has no name for counts as unspecified.
template <typename Tag>
Tag knownTag(const Tag& stored, int count, const char* (*name)(Tag), Tag unspecified) {
    static_assert(sizeof(Tag) == sizeof(int));
    int raw = 0;
    std::memcpy(&raw, &stored, sizeof raw);
    if (raw < 0 || raw >= count) return unspecified;
    const auto tag = static_cast<Tag>(raw);
    return name(tag) ? tag : unspecified;
}

ColourDescription knownTags(const AVColorSpace& matrix, const AVColorPrimaries& primaries,
                            const AVColorTransferCharacteristic& transfer, const AVColorRange& range,
                            int format) {
    return {knownTag(matrix, AVCOL_SPC_NB, av_color_space_name, AVCOL_SPC_UNSPECIFIED),
            knownTag(primaries, AVCOL_PRI_NB, av_color_primaries_name, AVCOL_PRI_UNSPECIFIED),
            knownTag(transfer, AVCOL_TRC_NB, av_color_transfer_name, AVCOL_TRC_UNSPECIFIED),
            rangeOf(knownTag(range, AVCOL_RANGE_NB, av_color_range_name, AVCOL_RANGE_UNSPECIFIED), format)};
}

}  // namespace

bool isHighDefinitionSize(int width, int height) {
    return width >= 1280 || height >= 720;
}

ColourDescription ColourDescription::of(const AVCodecParameters& parameters) {
    return knownTags(parameters.color_space, parameters.color_primaries, parameters.color_trc,
                     parameters.color_range, parameters.format);
}

ColourDescription ColourDescription::of(const AVFrame& frame) {
    return knownTags(frame.colorspace, frame.color_primaries, frame.color_trc, frame.color_range,
                     frame.format);
}

ColourDescription ColourDescription::completed(int width, int height) const {
    const bool silent = matrix == AVCOL_SPC_UNSPECIFIED && primaries == AVCOL_PRI_UNSPECIFIED &&
                        transfer == AVCOL_TRC_UNSPECIFIED;
    const bool hd = isHighDefinitionSize(width, height);
    ColourDescription full = *this;
    if (silent) {
        full.primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
        full.transfer = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    }
    // An RGB source's range says nothing about the YUV it becomes.
    if (matrix == AVCOL_SPC_RGB) full.range = AVCOL_RANGE_UNSPECIFIED;
    if (!converterMatrix(matrix)) full.matrix = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    if (full.range == AVCOL_RANGE_UNSPECIFIED) full.range = AVCOL_RANGE_MPEG;
    return full;
}

void ColourDescription::tag(AVCodecContext& encoder) const {
    encoder.colorspace = matrix;
    encoder.color_primaries = primaries;
    encoder.color_trc = transfer;
    encoder.color_range = range;
}

bool useForDecoding(SwsContext& scaler, const ColourDescription& colour) {
    const int* yuv = coefficientsOf(colour);
    return sws_setColorspaceDetails(&scaler, yuv, colour.isFullRange() ? 1 : 0,
                                    sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16) >= 0;
}

YuvToRgb decodingMatrix(const ColourDescription& colour) {
    // The converter's table is in 1/65536 and for limited-range chroma; it
    // widens limited-range luma from 219 steps to 255, and narrows full-range
    // chroma from 224 steps to 255.
    const int* table = coefficientsOf(colour);
    const bool full = colour.isFullRange();
    const double chroma = (full ? 224.0 / 255.0 : 1.0) / 65536.0;
    return {static_cast<float>(full ? 1.0 : 255.0 / 219.0), full ? 0.0f : 16.0f,
            static_cast<float>(table[0] * chroma),          static_cast<float>(-table[2] * chroma),
            static_cast<float>(-table[3] * chroma),         static_cast<float>(table[1] * chroma)};
}

bool useForEncoding(SwsContext& scaler, const ColourDescription& colour) {
    const int* yuv = coefficientsOf(colour);
    return sws_setColorspaceDetails(&scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, yuv,
                                    colour.isFullRange() ? 1 : 0, 0, 1 << 16, 1 << 16) >= 0;
}

std::optional<std::string> eightBitNotice(const AVCodecParameters& parameters) {
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(parameters.format));
    const int bits = format ? format->comp[0].depth : 8;
    const AVColorTransferCharacteristic transfer = ColourDescription::of(parameters).transfer;
    if (isHighDynamicRange(transfer))
        return "The source is HDR (" + std::string(av_color_transfer_name(transfer)) + ", " +
               std::to_string(bits) + " bits): rendered at 8 bits without tone mapping, its colour tags kept";
    if (bits > 8) return "The source has " + std::to_string(bits) + " bits per sample: rendered at 8 bits";
    return std::nullopt;
}

}  // namespace tintreel::media
