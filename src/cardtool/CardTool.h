// quorvexcard, the field tool: shows the modem's state, or sets its hybrid
// preference, on the port the driver list names or the one given.
#pragma once

#include <string>
#include <vector>

#include "text/TextOut.h"

namespace CardTool {

constexpr int kAllAnswered = 0;
constexpr int kQueryFailed = 1;
constexpr int kUsageError = 2;
constexpr int kNoPort = 3;
// 4 is the check's: some check failed.
constexpr int kOutputFailed = 5;  // --output: the file could not be written

// Runs the tool on `arguments` (without the program name) and returns its
// exit status. The card's own diagnostics go to `err` as well.
int run(const std::vector<std::string>& arguments, Text::Out& out, Text::Out& err);

}  // namespace CardTool
