#pragma once
// The id of a process of this machine that has ended: a child that exits at
// once and is reaped. (The id is free until the system hands it out again,
// which takes a full turn of the process id space.)

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tintreel::test {

inline pid_t goneProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

}  // namespace tintreel::test
