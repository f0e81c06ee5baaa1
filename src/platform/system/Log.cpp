#include "platform/system/Log.h"

#include <algorithm>
#include <iostream>
#include <sstream>

namespace tintreel {
namespace {

// Guards the choice of sink and keeps lines from different threads whole.
std::mutex sinkMutex;
ScopedLogCapture* innermostCapture = nullptr;
thread_local ScopedThreadLogSink* threadSink = nullptr;

}  // namespace

std::string quotedPath(const std::filesystem::path& path) {
    std::ostringstream text;
    text << path;
    return printableText(text.str());
}

std::string printableText(std::string_view text) {
    std::string printable;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            printable += c;
        } else if (c == '\n') {
            printable += "\\n";
        } else if (c == '\r') {
            printable += "\\r";
        } else if (c == '\t') {
            printable += "\\t";
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            printable += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xf]};
        }
    }
    return printable;
}

void logLine(std::string_view line) {
    if (threadSink && threadSink->sink_) return threadSink->sink_(line);
    std::lock_guard lock(sinkMutex);
    if (innermostCapture) return innermostCapture->append(line);
    std::cout << line << std::endl;
}

ScopedLogCapture::ScopedLogCapture() {
    std::lock_guard lock(sinkMutex);
    outer_ = innermostCapture;
    innermostCapture = this;
}

ScopedLogCapture::~ScopedLogCapture() {
    std::lock_guard lock(sinkMutex);
    innermostCapture = outer_;
}

ScopedThreadLogSink::ScopedThreadLogSink(LogSink sink) : sink_(std::move(sink)), outer_(threadSink) {
    threadSink = this;
}

ScopedThreadLogSink::ScopedThreadLogSink(const ScopedThreadLogSink* starter)
    : ScopedThreadLogSink(starter ? starter->sink_ : LogSink()) {}

ScopedThreadLogSink::~ScopedThreadLogSink() {
    threadSink = outer_;
}

const ScopedThreadLogSink* ScopedThreadLogSink::current() {
    return threadSink;
}

void ScopedLogCapture::append(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> ScopedLogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

int ScopedLogCapture::countStartingWith(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(),
                                          [&](const std::string& line) { return line.starts_with(prefix); }));
}

}  // namespace tintreel
