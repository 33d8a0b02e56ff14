// Which crontabs on the device run the probe, and how often. The usual
// places of busybox crond (/etc/crontabs/root) and of cron (its spool, the
// system crontab and /etc/cron.d, whose lines carry a user name) are read line
// by line; a line runs the probe when a word of its command is a path ending
// in quorvexmetrics other than the metrics file's.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace CardTool {

struct ScheduleEntry {
    std::string place;     // "/etc/crontabs/root line 3"
    std::string line;      // as written
    std::string howOften;  // "every minute", "every 5 minutes", or the time fields as written
    std::optional<std::chrono::minutes> period;  // none when it is not that simple
};

extern const char* const kCrontabPlaces;  // for the report: where it looked

std::vector<ScheduleEntry> findProbeSchedule();

}  // namespace CardTool
