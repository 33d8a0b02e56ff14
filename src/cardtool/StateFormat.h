// The card's state printed for people (labelled lines) and for scripts
// (one JSON object).
#pragma once

#include <string>

#include "cardtool/CardState.h"

namespace CardTool {

// One line per reading: "CDMA RSSI:               -90", or
// "CDMA RSSI:               failed: no reply within 1 second".
std::string formatText(const CardState& state);

// One line, {"modem_type": 60, ..., "errors": {"hdr_rssi": "no reply within 1 second"}}:
// a key per reading, null for a failed one, whose reason is under "errors".
std::string formatJson(const CardState& state);

}  // namespace CardTool
