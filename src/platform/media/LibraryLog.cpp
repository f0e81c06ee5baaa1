#include "platform/media/LibraryLog.h"

#include <cstdarg>
#include <string>

#include "platform/system/Log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace tintreel {
namespace {

// The libraries send a line in pieces; each thread gathers its own.
thread_local std::string pending;
thread_local int printPrefix = 1;

// The sink of the render a decoder works for, when `object` is a decoder
// opened under one (its worker threads have no sink of their own).
const LogSink* decoderSink(void* object) {
    if (!object || *static_cast<const AVClass**>(object) != avcodec_get_class()) return nullptr;
    return static_cast<const LogSink*>(static_cast<AVCodecContext*>(object)->opaque);
}

void toLog(void* object, int level, const char* format, va_list arguments) {
    if (level > av_log_get_level()) return;
    char piece[1024];
    av_log_format_line2(object, level, format, arguments, piece, sizeof piece, &printPrefix);
    pending += piece;
    if (pending.empty() || pending.back() != '\n') return;
    pending.pop_back();
    const LogSink* sink = ScopedThreadLogSink::current() ? nullptr : decoderSink(object);
    if (sink && *sink)
        (*sink)(pending);
    else
        logLine(pending);
    pending.clear();
}

}  // namespace

void sendLibraryMessagesToLog() {
    av_log_set_callback(toLog);
}

}  // namespace tintreel
