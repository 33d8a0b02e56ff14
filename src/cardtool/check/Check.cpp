#include "cardtool/check/Check.h"

#include "cardtool/PortGivenBack.h"
#include "cardtool/check/CheckLinks.h"

namespace CardTool {

namespace {

void checkPortAndModem(WirelessCard& card, const std::string& path, CheckReport& report) {
    if (path.empty()) {
        report.push_back(skipped("port", "no port: the driver list leads to none"));
        report.push_back(skipped("modem", "no port: the driver list leads to none"));
        return;
    }
    const PortGivenBack givenBack(card);
    CheckResult port{"port"};
    checkPort(card, path, port);
    if (port.verdict == Verdict::Failed) {
        report.push_back(port);
        report.push_back(skipped("modem", "the port check failed"));
        return;
    }
    CheckResult modem{"modem"};
    checkModem(card, modem);
    checkPortStayed(card, port);
    report.push_back(port);
    report.push_back(modem);
}

}  // namespace

CheckReport runCheck(WirelessCard& card, const std::optional<std::string>& device) {
    CheckReport report;
    std::string port;
    if (device) {
        report.push_back(skipped("driver list", "--device " + *device + " given"));
        port = *device;
    } else {
        CheckResult list{"driver list"};
        port = checkDriverList(list);
        report.push_back(list);
    }
    checkPortAndModem(card, port, report);
    const std::vector<ScheduleEntry> schedule = findProbeSchedule();
    const CronDaemon cron = findCronDaemon();
    report.push_back(checkMetricsFile(schedule, cron));
    report.push_back(checkSchedule(schedule, cron));
    return report;
}

}  // namespace CardTool
