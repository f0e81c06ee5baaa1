#include "platform/system/FileKeyedCache.h"

#include <fstream>
#include <sstream>

#include "platform/system/AtomicFile.h"
#include "platform/system/ContentDigest.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// A cache entry is never near this size; a larger file is not one.
constexpr std::uintmax_t kLargestEntry = 1 << 16;

// The first line of an entry: what it was worked out from, as the file is now;
// nothing when the file cannot be read.
std::optional<std::string> keyLine(const fs::path& file, std::string_view detail) {
    std::error_code error;
    const fs::path absolute = fs::absolute(file, error);
    const std::uintmax_t size = fs::file_size(absolute, error);
    if (error) return std::nullopt;
    const auto modified = fs::last_write_time(absolute, error).time_since_epoch().count();
    if (error) return std::nullopt;
    std::string key =
        absolute.string() + '\t' + std::to_string(size) + '\t' + std::to_string(modified) + '\t';
    key += detail;
    if (key.find('\n') != std::string::npos) return std::nullopt;  // a line break would end the key early
    return key;
}

fs::path entryPath(const fs::path& folder, const std::string& key) {
    return folder / (ContentDigest().add(key).hex() + ".txt");
}

}  // namespace

std::optional<std::string> FileKeyedCache::find(const fs::path& file, std::string_view detail) const {
    const std::optional<std::string> key = keyLine(file, detail);
    if (!key) return std::nullopt;
    const fs::path entry = entryPath(folder_, *key);
    std::error_code error;
    if (!fs::is_regular_file(entry, error) || fs::file_size(entry, error) > kLargestEntry || error)
        return std::nullopt;
    std::ifstream in(entry, std::ios::binary);
    std::string firstLine;
    if (!std::getline(in, firstLine) || firstLine != *key) return std::nullopt;
    std::ostringstream value;
    value << in.rdbuf();
    return value.str();
}

Status FileKeyedCache::store(const fs::path& file, std::string_view detail, std::string_view value) const {
    const std::optional<std::string> key = keyLine(file, detail);
    if (!key) return Error{"cannot read " + file.string()};
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return Error{"cannot make the cache folder " + folder_.string() + ": " + error.message()};
    std::string entry = *key + '\n';
    entry += value;
    return writeFileAtomically(entryPath(folder_, *key), entry);
}

}  // namespace tintreel
