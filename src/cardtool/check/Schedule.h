// Where the device keeps its crontabs, which of their lines run the probe
// (Crontab), and whether a cron daemon runs to read them. The places are
// busybox crond's (/etc/crontabs/root, and /etc/cron/crontabs/root where
// Buildroot builds it so) and cron's (its spool, the system crontab and
// /etc/cron.d, whose lines carry a user name).
#pragma once

#include <string>
#include <vector>

#include "cardtool/check/Crontab.h"

namespace CardTool {

// "/etc/crontabs/root, ..., /etc/cron.d": where it looks, for the report.
std::string crontabPlaces();

std::vector<ScheduleEntry> findProbeSchedule();

struct CronDaemon {
    long pid = 0;  // 0: none runs (that this user can see)
    std::string command;
};
// The first cron daemon in /proc.
CronDaemon findCronDaemon();

}  // namespace CardTool
