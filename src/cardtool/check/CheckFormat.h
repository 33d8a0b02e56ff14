// The report of quorvexcard --check, for people and for scripts.
#pragma once

#include <string>

#include "cardtool/check/CheckReport.h"

namespace CardTool {

// Per check: "name: verdict", then its details and its hint indented.
std::string formatCheckText(const CheckReport& report);

// One line: {"checks": [{"name": ..., "verdict": ..., "details": [...],
// "hint": ... or null}, ...]}.
std::string formatCheckJson(const CheckReport& report);

}  // namespace CardTool
