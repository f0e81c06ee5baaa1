#pragma once
// Which codecs a muxer takes, for the media layer's own files (FFmpeg types).
// FFmpeg's avformat_query_codec is the base, corrected where the muxer
// refuses at run time, or writes only experimental files, what it lists.

#include "platform/media/FfmpegHandles.h"

namespace tintreel::media {

// The MPEG-4 family: mp4, mov, ipod (m4v), 3gp, 3g2.
bool isMpeg4Family(const AVOutputFormat& muxer);

// Whether `muxer` writes `codec` into a file players can read.
bool muxerAccepts(const AVOutputFormat& muxer, AVCodecID codec);

}  // namespace tintreel::media
