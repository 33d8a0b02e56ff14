#include "cardtool/check/Schedule.h"

#include "cardtool/check/SystemFiles.h"
#include "text/TextFile.h"
#include "text/TextScan.h"

namespace CardTool {

namespace {

struct Crontab {
    const char* path;
    bool hasUserField;
};
constexpr Crontab kCrontabs[] = {{"/etc/crontabs/root", false},
                                 {"/etc/cron/crontabs/root", false},
                                 {"/var/spool/cron/crontabs/root", false},
                                 {"/etc/crontab", true}};
constexpr const char* kCronDirectory = "/etc/cron.d";
constexpr const char* kCronDaemons[] = {"crond", "cron"};

void scanCrontab(const std::string& path, bool hasUserField, std::vector<ScheduleEntry>& found) {
    const std::string text = Text::readFile(path).text;
    Text::Lines lines(text);
    int number = 0;
    for (std::string line; lines.next(line);) {
        ++number;
        if (auto entry = readCrontabLine(line, hasUserField)) {
            entry->place = path + " line " + std::to_string(number);
            found.push_back(*entry);
        }
    }
}

// The daemons that read crontabs, by command name.
bool isCronDaemon(const std::string& command) {
    for (const char* daemon : kCronDaemons) {
        if (command == daemon) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string crontabPlaces() {
    std::string places;
    for (const Crontab& crontab : kCrontabs) {
        places += std::string(crontab.path) + ", ";
    }
    return places + kCronDirectory;
}

std::vector<ScheduleEntry> findProbeSchedule() {
    std::vector<ScheduleEntry> found;
    for (const Crontab& crontab : kCrontabs) {
        scanCrontab(crontab.path, crontab.hasUserField, found);
    }
    for (const std::string& name : directoryNames(kCronDirectory)) {
        scanCrontab(std::string(kCronDirectory) + "/" + name, true, found);
    }
    return found;
}

CronDaemon findCronDaemon() {
    for (const long pid : processIds()) {
        const std::string command = commandOf(pid);
        if (isCronDaemon(command)) {
            return {pid, command};
        }
    }
    return {};
}

}  // namespace CardTool
