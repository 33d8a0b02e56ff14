// quorvexcard --check: walks the probe's chain in the probe's order and with
// its own rules, and gives each link a verdict (CheckReport), each link
// checked by its own unit (CheckLinks.h):
//   driver list   the modem's lines and the port the probe's rule picks
//   port          exists, a terminal, opens as the card opens it; its serial
//                 settings read back; other programs using it (PortHolders)
//   modem         the probe's two queries, then modem type and model name
//   metrics file  its kind, links, owner, age and content
//   schedule      the crontabs that run the probe, how often, and whether a
//                 cron daemon runs (Schedule)
// A link that cannot be checked because an earlier one failed is skipped.
// Nothing is written: neither the metrics file nor the modem's settings; the
// port's serial settings are put back before it is closed. CheckFormat
// prints the result.
#pragma once

#include <optional>
#include <string>

#include "card/WirelessCard.h"
#include "cardtool/check/CheckReport.h"

namespace CardTool {

// `device`: the port to check instead of the one the driver list names.
CheckReport runCheck(WirelessCard& card, const std::optional<std::string>& device);

}  // namespace CardTool
