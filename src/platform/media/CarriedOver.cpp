#include "platform/media/CarriedOver.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

extern "C" {
#include <libavutil/avstring.h>
}

#include "platform/media/MediaInput.h"
#include "platform/media/MovieSlice.h"
#include "platform/system/Log.h"

namespace tintreel::media {
namespace {

// Metadata that describes how the source file was written, not the movie: the
// new file says its own.
// A slice's tags describe that file alone: a movie made from a slice is no
// slice (Matroska hands the tags back in capitals).
bool describesOldFile(std::string_view key) {
    constexpr std::array<std::string_view, 4> kOwnFacts{"encoder", "major_brand", "minor_version",
                                                        "compatible_brands"};
    for (std::string_view own : kOwnFacts)
        if (key == own) return true;
    return key.size() >= kSliceTag.size() &&
           av_strncasecmp(key.data(), kSliceTag.data(), kSliceTag.size()) == 0;
}

void freeChapter(AVChapter* chapter) {
    av_dict_free(&chapter->metadata);
    av_free(chapter);
}

AVChapter* copyOfChapter(const AVChapter& chapter) {
    auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!copy) return nullptr;
    copy->id = chapter.id;
    copy->time_base = chapter.time_base;
    copy->start = chapter.start;
    copy->end = chapter.end;
    if (av_dict_copy(&copy->metadata, chapter.metadata, 0) < 0) {
        freeChapter(copy);
        return nullptr;
    }
    return copy;
}

// A chapter moved to a cut movie's clock: shortened to the window and
// shifted so that the window starts at 0. False when none of it is inside.
bool placeInWindow(AVChapter& chapter, const TimeWindow& window) {
    const int64_t start = av_rescale_q(window.start, AV_TIME_BASE_Q, chapter.time_base);
    const int64_t end =
        window.end == INT64_MAX ? INT64_MAX : av_rescale_q(window.end, AV_TIME_BASE_Q, chapter.time_base);
    if (chapter.start >= end || chapter.end <= start) return false;
    chapter.start = std::max(chapter.start, start) - start;
    chapter.end = std::min(chapter.end, end) - start;
    return true;
}

// The output context owns its chapters array and frees it with every chapter in it.
int copyChapters(AVFormatContext& output, const AVFormatContext& source, const TimeWindow* window) {
    if (source.nb_chapters == 0) return 0;
    auto* chapters = static_cast<AVChapter**>(
        av_realloc_array(output.chapters, output.nb_chapters + source.nb_chapters, sizeof(AVChapter*)));
    if (!chapters) return AVERROR(ENOMEM);
    output.chapters = chapters;
    for (unsigned i = 0; i < source.nb_chapters; ++i) {
        AVChapter* copy = copyOfChapter(*source.chapters[i]);
        if (!copy) return AVERROR(ENOMEM);
        if (window && !placeInWindow(*copy, *window)) {
            freeChapter(copy);
            continue;
        }
        output.chapters[output.nb_chapters++] = copy;
    }
    return 0;
}

}  // namespace

AVRational uprightSampleAspect(const AVStream& video) {
    const SampleAspect aspect = uprightOrientation(describeTrack(video)).sampleAspect;
    return {aspect.num, aspect.den};
}

std::vector<int> addSubtitleStreams(AVFormatContext& output, const AVFormatContext& source) {
    std::vector<int> map(source.nb_streams, -1);
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVStream& in = *source.streams[i];
        if (in.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
        const char* codec = avcodec_get_name(in.codecpar->codec_id);
        if (avformat_query_codec(output.oformat, in.codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            logLine(std::string("Subtitle track not copied: ") + codec + " is not accepted by " +
                    output.oformat->name);
            continue;
        }
        AVStream* out = avformat_new_stream(&output, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0 ||
            av_dict_copy(&out->metadata, in.metadata, 0) < 0)
            continue;
        out->codecpar->codec_tag = 0;
        out->time_base = in.time_base;
        out->disposition = in.disposition;
        map[i] = out->index;
    }
    return map;
}

int copyChaptersAndMetadata(AVFormatContext& output, const AVFormatContext& source,
                            const TimeWindow* window) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(source.metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
        if (!describesOldFile(entry->key))
            if (int error = av_dict_set(&output.metadata, entry->key, entry->value, 0); error < 0)
                return error;
    return copyChapters(output, source, window);
}

}  // namespace tintreel::media
