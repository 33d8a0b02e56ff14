#include "card/Diagnostics.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Diagnostics {

void toStream(void* context, const std::string& line, int) {
    // One insertion, so that the line reaches the terminal in one piece.
    *static_cast<std::ostream*>(context) << line + '\n' << std::flush;
}

void toStandardError(void*, const std::string& line, int errorNumber) {
    toStream(&std::cerr, line, errorNumber);
}

void Reporter::systemError(std::string prefix) const {
    const int error = errno;
    sink(context, prefix.append(std::strerror(error)), error);
}

void reportLine(const std::string& line) {
    Reporter().line(line);
}

void reportSystemError(const std::string& prefix) {
    Reporter().systemError(prefix);
}

}  // namespace Diagnostics
