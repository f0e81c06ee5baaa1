#include "settings/SessionFile.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace tintreel {
namespace {

constexpr std::string_view kHeader = "Tintreel session 1\n";
constexpr std::string_view kVideo = "video", kBrowse = "browse", kRecord = "record", kPicture = "picture",
                           kCrop = "crop";
constexpr std::string_view kInPoint = "in", kOutPoint = "out";

void appendEntry(std::string& text, std::string_view name, std::string_view value) {
    text.append(name).append(" ").append(std::to_string(value.size())).append("\n");
    text.append(value).append("\n");
}

// The shortest text that reads back as the same double.
std::string shortestText(double value) {
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

std::optional<PixelRect> cropOf(std::string_view text) {
    int numbers[4];
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        const auto parsed = std::from_chars(at, end, numbers[i]);
        if (parsed.ec != std::errc() || numbers[i] < (i < 2 ? 1 : 0)) return std::nullopt;
        at = parsed.ptr;
        if (i < 3 && (at == end || *at++ != ':')) return std::nullopt;
    }
    if (at != end) return std::nullopt;
    return PixelRect{numbers[2], numbers[3], numbers[0], numbers[1]};
}

Error damaged(std::string_view why) {
    return Error{"the session file is damaged: " + std::string(why)};
}

// A time entry's value: a number of seconds, not negative.
std::optional<double> timeOf(const std::string& value) {
    double seconds = 0.0;
    const auto parsed = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || !(seconds >= 0))
        return std::nullopt;
    return seconds;
}

using Entries = std::map<std::string, std::string, std::less<>>;

// The in and out points, each optional; false when one is there but no time.
bool readSpanPoints(const Entries& entries, SessionState& session) {
    for (const auto& [name, point] :
         {std::pair{kInPoint, &session.inPoint}, std::pair{kOutPoint, &session.outPoint}}) {
        const auto entry = entries.find(name);
        if (entry == entries.end()) continue;
        *point = timeOf(entry->second);
        if (!*point) return false;
    }
    return true;
}

// Reads the entry that starts `text` into `entries` and drops it from `text`.
Result<bool> takeEntry(std::string_view& text, std::map<std::string, std::string, std::less<>>& entries) {
    const std::size_t lineEnd = text.find('\n');
    const std::size_t space = text.find(' ');
    if (lineEnd == std::string_view::npos || space == std::string_view::npos || space > lineEnd)
        return damaged("an entry has no name and length");
    std::size_t length = 0;
    const char* lengthEnd = text.data() + lineEnd;
    const auto parsed = std::from_chars(text.data() + space + 1, lengthEnd, length);
    if (parsed.ec != std::errc() || parsed.ptr != lengthEnd)
        return damaged("an entry's length is not a number");
    const std::string_view rest = text.substr(lineEnd + 1);
    if (length >= rest.size() || rest[length] != '\n') return damaged("an entry is cut short");
    entries.emplace(std::string(text.substr(0, space)), std::string(rest.substr(0, length)));
    text = rest.substr(length + 1);
    return true;
}

}  // namespace

std::string renderSessionFile(const SessionState& session) {
    std::string text(kHeader);
    appendEntry(text, kVideo, session.videoPath);
    appendEntry(text, kBrowse, shortestText(session.browseSeconds));
    appendEntry(text, kPicture, session.picturePath);
    appendEntry(text, kRecord, session.settingsRecord);
    if (const auto& c = session.crop)
        appendEntry(text, kCrop,
                    std::to_string(c->width) + ":" + std::to_string(c->height) + ":" + std::to_string(c->x) +
                        ":" + std::to_string(c->y));
    if (session.inPoint) appendEntry(text, kInPoint, shortestText(*session.inPoint));
    if (session.outPoint) appendEntry(text, kOutPoint, shortestText(*session.outPoint));
    return text;
}

Result<SessionState> parseSessionFile(std::string_view text) {
    if (!text.starts_with(kHeader)) return Error{"not a session file of this version"};
    text.remove_prefix(kHeader.size());
    Entries entries;
    while (!text.empty())
        if (Result<bool> taken = takeEntry(text, entries); !taken) return Error{taken.error()};
    SessionState session;
    const auto video = entries.find(kVideo), record = entries.find(kRecord);
    if (video == entries.end() || record == entries.end())
        return damaged("the video or the settings are missing");
    session.videoPath = video->second;
    session.settingsRecord = record->second;
    if (const auto picture = entries.find(kPicture); picture != entries.end())
        session.picturePath = picture->second;
    if (const auto crop = entries.find(kCrop); crop != entries.end()) session.crop = cropOf(crop->second);
    if (const auto browse = entries.find(kBrowse); browse != entries.end()) {
        const std::optional<double> seconds = timeOf(browse->second);
        if (!seconds) return damaged("the browse position is not a time");
        session.browseSeconds = *seconds;
    }
    if (!readSpanPoints(entries, session)) return damaged("an in or out point is not a time");
    return session;
}

std::optional<SaveSchedule::Clock::duration> SaveSchedule::changed(Clock::time_point now) {
    if (waiting_) return std::nullopt;
    waiting_ = true;
    if (!lastWrite_) return Clock::duration::zero();
    return std::max(Clock::duration::zero(), *lastWrite_ + minimumGap_ - now);
}

void SaveSchedule::wrote(Clock::time_point now) {
    lastWrite_ = now;
    waiting_ = false;
}

}  // namespace tintreel
