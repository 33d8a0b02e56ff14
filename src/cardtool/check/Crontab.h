// Crontab lines read as cron reads them, on text alone: which lines run the
// probe, and how often. The five time fields take numbers, ranges, lists and
// steps ("*/5", "0-30/10", "5,35"); a step runs within its field's range, so
// "*/90" in the minute field is minute 0 only: once an hour. "@hourly" and
// "@daily" ("@midnight") are read too. A schedule that names days, months
// or weekdays, or that cron would refuse, has no simple period and is shown
// as written.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace CardTool {

struct ScheduleEntry {
    std::string place;     // "/etc/crontabs/root line 3"
    std::string line;      // as written
    std::string howOften;  // "every minute", "every 5 minutes", or the time fields as written
    // The longest time between two runs; none when it is not that simple.
    std::optional<std::chrono::minutes> longestGap;
};

// The entry for one crontab line when it runs the probe: a word of its
// command is a path ending in quorvexmetrics other than the metrics file's.
// `hasUserField`: the system crontab's lines name a user before the command.
std::optional<ScheduleEntry> readCrontabLine(const std::string& line, bool hasUserField);

}  // namespace CardTool
