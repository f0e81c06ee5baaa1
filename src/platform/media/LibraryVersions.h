#pragma once
// The versions of the libraries the engine runs on, as loaded at run time
// (they may differ from the headers it was built with): FFmpeg's release and
// its libav* libraries, and oneTBB. For the About box.
//
// Any thread.

#include <string>
#include <vector>

namespace tintreel {

struct LibraryVersion {
    std::string name;     // "libavcodec"
    std::string version;  // "59.37.100"
};

std::vector<LibraryVersion> engineLibraryVersions();

}  // namespace tintreel
