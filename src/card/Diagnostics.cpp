#include "card/Diagnostics.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/TextOut.h"

namespace Diagnostics {

void toOut(void* context, const std::string& line, int) {
    *static_cast<Text::Out*>(context) << line << Text::endl;
}

void toStandardError(void*, const std::string& line, int) {
    const std::string text = line + '\n';
    Text::writeAll(STDERR_FILENO, text.data(), text.size());
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
