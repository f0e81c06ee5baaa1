#include "platform/system/ProcessTag.h"

#include <signal.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <charconv>

namespace tintreel {
namespace {

std::string readHostTag() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    std::string tag(name);
    for (char& c : tag)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-')) c = '_';
    return tag;
}

// A signal 0 checks that the process exists without touching it; EPERM
// means it runs under another user.
bool processGone(pid_t pid) {
    return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

const std::string& hostTag() {
    static const std::string tag = readHostTag();
    return tag;
}

std::string processTag() {
    return hostTag() + "-" + std::to_string(::getpid());
}

bool isAbandonedTag(std::string_view tag) {
    const std::string& host = hostTag();
    if (tag.size() <= host.size() + 1 || tag.substr(0, host.size()) != host || tag[host.size()] != '-')
        return false;
    const std::string_view digits = tag.substr(host.size() + 1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    return error == std::errc() && end == digits.data() + digits.size() && processGone(pid);
}

}  // namespace tintreel
