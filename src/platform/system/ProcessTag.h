#pragma once
// The tag "HOST-PID" that files and folders a process leaves while it works
// carry in their names (partial files beside an output, the private
// temporary directory), so that a later run can tell which ones were left by
// a process of this machine that is gone, and remove them. Files of another
// machine are never judged: output folders may be shared between machines
// (GNU parallel over SSH, Slurm job arrays) and their process ids mean
// nothing here.
//
// Threads: any.

#include <string>
#include <string_view>

namespace tintreel {

// This machine's name as it goes into a file name: letters, digits and '-',
// anything else (a domain's dots) as '_'.
const std::string& hostTag();

// "HOST-PID" for this process.
std::string processTag();

// True when `tag` ("HOST-PID", the form processTag writes) names a process of
// this machine that no longer runs. Our own process, another machine's, a
// process that runs (also one of another user) and anything not of that form
// are never abandoned.
bool isAbandonedTag(std::string_view tag);

}  // namespace tintreel
