#pragma once
// Putting a file in place whole or not at all: the content goes to a
// temporary file beside the destination (unique name, same folder, so the
// final rename stays on one file system), is flushed to the disk, and only
// then renamed over the destination. On any failure the temporary file is
// removed and a file already at the destination is left exactly as it was.
// A destination that existed keeps its permissions; a new one gets the
// usual ones for a new file (0666 less the umask).
//
// With IfTaken::Keep the last step never replaces a file: a file that is at
// the destination by then (another process's, written while ours was being
// made) stays, ours is removed, and the call fails (see wasTaken).
//
// Threads: any thread; two calls for one destination race only in which
// complete file ends up there (with IfTaken::Keep: exactly one succeeds).
// Error messages are the system's description of the failure ("No such file
// or directory", "File too large").

#include <filesystem>
#include <string_view>

#include "platform/system/Result.h"

namespace tintreel {

// What the last step does with a file found at the destination.
enum class IfTaken { Replace, Keep };

// Copies `from` to `to` byte for byte.
Status copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                          IfTaken ifTaken = IfTaken::Replace);

// Writes `content` as the whole of `to`.
Status writeFileAtomically(const std::filesystem::path& to, std::string_view content);

// Moves `from` to `to`: a rename when both are on one file system, else a copy
// as above followed by removing `from`. `from` is kept when the move fails.
Status moveFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                          IfTaken ifTaken = IfTaken::Replace);

// True when a copy or move with IfTaken::Keep failed because a file was at
// its destination.
bool wasTaken(const Status& status);

// A name beside `destination` that this process has not used before, for a
// file that is filled in place and then moved over `destination`:
// "DESTINATION.HOST-PID-N.partial", the process's tag (ProcessTag.h) and a
// counter. It ends in `extension` (without its dot) when one is given, for
// writers that choose the file's format by its name.
std::filesystem::path partialNameBeside(const std::filesystem::path& destination,
                                        std::string_view extension = {});

// True when `file` is named as partialNameBeside names files: a leftover of a
// process that was killed before it could rename or remove it.
bool isPartialName(const std::filesystem::path& file);

// Removes the partial files of `destination` left beside it by processes of
// this machine that are gone (killed before they could clean up); those of
// running processes and of other machines stay. How many were removed.
int removeAbandonedPartials(const std::filesystem::path& destination);

}  // namespace tintreel
