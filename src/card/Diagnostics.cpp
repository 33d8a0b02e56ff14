#include "card/Diagnostics.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Diagnostics {

void reportLine(const std::string& line) {
    // One insertion, so that the line reaches the terminal in one piece.
    std::cerr << line + '\n' << std::flush;
}

void reportSystemError(const std::string& prefix) {
    reportLine(prefix + std::strerror(errno));
}

}  // namespace Diagnostics
