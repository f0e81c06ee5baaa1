#pragma once
// Counting the lines of printed output that start with a prefix.

#include <sstream>
#include <string>

namespace tintreel::test {

inline int countLinesStartingWith(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) ++count;
    return count;
}

}  // namespace tintreel::test
