#include "platform/system/InputFile.h"

#include <cstdio>
#include <system_error>

namespace tintreel {
namespace fs = std::filesystem;

namespace {

const char* kindOf(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory:
            return "a folder";
        case fs::file_type::fifo:
            return "a pipe";
        case fs::file_type::socket:
            return "a socket";
        case fs::file_type::block:
        case fs::file_type::character:
            return "a device";
        default:
            return "not a file";
    }
}

}  // namespace

std::string byteSizeText(std::uintmax_t bytes) {
    constexpr std::uintmax_t kMiB = 1024 * 1024;
    if (bytes < kMiB) return std::to_string(bytes) + " bytes";
    if (bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / kMiB);
    return text;
}

Status checkInputFile(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) return Error{ec.message()};
    if (status.type() != fs::file_type::regular)
        return Error{std::string("it is ") + kindOf(status.type()) + ", not a regular file"};
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return Error{ec.message()};
    if (size > maxBytes)
        return Error{"it is " + byteSizeText(size) + ", more than the " + byteSizeText(maxBytes) +
                     " allowed"};
    return {};
}

Status checkInputFileIfPresent(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return {};
    return checkInputFile(path, maxBytes);
}

}  // namespace tintreel
