#pragma once
// Why a file gives no first picture, in terms a user can act on: the editor
// says it under "The video could not be loaded.".
//
// Stateless: every call opens the file anew. Any thread.

#include <filesystem>

namespace tintreel {

enum class NoPictureReason {
    CannotBeRead,  // missing, or not readable by this user
    NotAMovie,     // no container FFmpeg knows, a still picture, a folder or a device
    NoVideoTrack,  // a movie file with sound or data only
    CutShort,      // a movie container that ends (or breaks) before its first picture
};

// Meant for a file whose first picture could not be read: a file that opens
// with a video track counts as cut short.
NoPictureReason whyNoFirstPicture(const std::filesystem::path& path);

}  // namespace tintreel
