// Text as a JSON string, for every JSON the tool prints.
#pragma once

#include <string>

namespace CardTool {

// `text` quoted, with quotes, backslashes and control characters escaped.
// Outside text (a driver list, a crontab) may hold any bytes: a byte that
// is no part of valid UTF-8 is written as the character of its value
// ("\u00ff" for 0xFF), so that the output is always valid JSON.
std::string jsonString(const std::string& text);

}  // namespace CardTool
