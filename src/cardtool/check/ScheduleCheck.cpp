#include "cardtool/check/CheckLinks.h"

namespace CardTool {

CheckResult checkSchedule(const std::vector<ScheduleEntry>& schedule, const CronDaemon& cron) {
    CheckResult result{"schedule"};
    for (const ScheduleEntry& entry : schedule) {
        result.details.push_back(entry.place + " runs it " + entry.howOften + ": " + entry.line);
    }
    if (schedule.empty()) {
        result.details.push_back("no crontab runs quorvexmetrics (looked in " + crontabPlaces() +
                                 ")");
        result.warn(
            "nothing runs the probe on a schedule: add '* * * * * /usr/bin/quorvexmetrics "
            ">/dev/null 2>&1' to root's crontab with crontab -e (busybox crond reads "
            "/etc/crontabs/root, or /etc/cron/crontabs/root as Buildroot starts it) or to a file "
            "in /etc/cron.d");
    }
    result.details.push_back(cron.pid != 0 ? "the cron daemon runs: " + cron.command +
                                                 " (process " + std::to_string(cron.pid) + ")"
                                           : "no cron daemon runs");
    return result;
}

}  // namespace CardTool
