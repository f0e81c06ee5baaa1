#include "platform/media/LibraryLog.h"

#include <cstdarg>
#include <string>

#include "platform/system/Log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace tintreel {
namespace {

// The libraries send a line in pieces; each thread gathers its own.
thread_local std::string pending;
thread_local int printPrefix = 1;

void toLog(void* object, int level, const char* format, va_list arguments) {
    if (level > av_log_get_level()) return;
    char piece[1024];
    av_log_format_line2(object, level, format, arguments, piece, sizeof piece, &printPrefix);
    pending += piece;
    if (pending.empty() || pending.back() != '\n') return;
    pending.pop_back();
    logLine(pending);
    pending.clear();
}

}  // namespace

void sendLibraryMessagesToLog() { av_log_set_callback(toLog); }

}  // namespace tintreel
