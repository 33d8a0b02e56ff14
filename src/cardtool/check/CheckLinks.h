// The links of the probe's chain, each checked by its own unit and recorded
// in `result`; runCheck (Check.cpp) walks them in the probe's order.
#pragma once

#include <string>
#include <vector>

#include "card/WirelessCard.h"
#include "cardtool/check/CheckReport.h"
#include "cardtool/check/Schedule.h"

namespace CardTool {

// DriverListCheck.cpp: the probe's port path, or "" when the list leads to none.
std::string checkDriverList(CheckResult& result);

// PortCheck.cpp: the node at `path`, the programs that hold it, the card's
// open and the settings read back. The card is left open when it opened.
void checkPort(WirelessCard& card, const std::string& path, CheckResult& result);
// After the modem check: a port that went away meanwhile fails the port too.
void checkPortStayed(const WirelessCard& card, CheckResult& result);

// What to do about a port that went away during the check.
constexpr const char* kPortGoneHint =
    "the port disappeared during the check: the modem reset or was unplugged; wait for it to "
    "come back (see the driver list), then check its power and cable";

// ModemCheck.cpp: the probe's two queries, then the modem's identity.
void checkModem(WirelessCard& card, CheckResult& result);

// MetricsFileCheck.cpp: the file's kind, owner, age against the schedule,
// and content.
CheckResult checkMetricsFile(const std::vector<ScheduleEntry>& schedule, const CronDaemon& cron);

// ScheduleCheck.cpp: the crontab lines that run the probe, and the daemon.
CheckResult checkSchedule(const std::vector<ScheduleEntry>& schedule, const CronDaemon& cron);

}  // namespace CardTool
