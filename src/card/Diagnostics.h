// Diagnostic lines on standard error: one line per event, a fixed text,
// sometimes followed by the system's error text.
#pragma once

#include <string>

namespace Diagnostics {

void reportLine(const std::string& line);
// `prefix` followed by strerror(errno).
void reportSystemError(const std::string& prefix);

}  // namespace Diagnostics
