#include "cardtool/Schedule.h"

#include <sstream>

#include "cardtool/SystemFiles.h"
#include "metrics/MetricsRun.h"

namespace CardTool {

const char* const kCrontabPlaces =
    "/etc/crontabs/root, /var/spool/cron/crontabs/root, /etc/crontab, /etc/cron.d";

namespace {

constexpr const char* kProbeName = "quorvexmetrics";
constexpr const char* kMetricsPath = MetricsRun::kMetricsPath;
constexpr int kTimeFields = 5;

std::vector<std::string> words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> found;
    for (std::string word; stream >> word;) {
        found.push_back(word);
    }
    return found;
}

bool runsProbe(std::string command) {
    for (char& c : command) {
        if (std::string(";|&<>()`'\"").find(c) != std::string::npos) {
            c = ' ';
        }
    }
    for (const std::string& word : words(command)) {
        const std::size_t slash = word.rfind('/');
        const std::string base = slash == std::string::npos ? word : word.substr(slash + 1);
        if (base == kProbeName && word != kMetricsPath) {
            return true;
        }
    }
    return false;
}

// "every minute" for "* * * * *", "every N minutes" for "*/N * * * *".
void readPeriod(const std::vector<std::string>& fields, ScheduleEntry& entry) {
    const bool everyHour = fields.size() == kTimeFields && fields[1] == "*" && fields[2] == "*" &&
                           fields[3] == "*" && fields[4] == "*";
    const std::string& minute = fields[0];
    if (everyHour && minute == "*") {
        entry.period = std::chrono::minutes(1);
        entry.howOften = "every minute";
    } else if (everyHour && minute.rfind("*/", 0) == 0 &&
               minute.find_first_not_of("0123456789", 2) == std::string::npos &&
               minute.size() > 2 && minute.size() < 5 && std::stoi(minute.substr(2)) > 0) {
        entry.period = std::chrono::minutes(std::stoi(minute.substr(2)));
        entry.howOften = "every " + minute.substr(2) + " minutes";
    }
}

// The entry for one crontab line, when it runs the probe.
std::optional<ScheduleEntry> probeEntry(const std::string& line, bool hasUserField) {
    const std::vector<std::string> all = words(line);
    if (all.empty() || all[0][0] == '#' || all[0].find('=') != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t timeFields = all[0][0] == '@' ? 1 : kTimeFields;
    const std::size_t commandStart = timeFields + (hasUserField ? 1 : 0);
    if (all.size() <= commandStart) {
        return std::nullopt;
    }
    std::string command;
    for (std::size_t i = commandStart; i < all.size(); ++i) {
        command += all[i] + ' ';
    }
    if (!runsProbe(command)) {
        return std::nullopt;
    }
    ScheduleEntry entry;
    entry.line = line;
    const std::vector<std::string> fields(all.begin(), all.begin() + timeFields);
    for (const std::string& field : fields) {
        entry.howOften += (entry.howOften.empty() ? "at \"" : " ") + field;
    }
    entry.howOften += '"';
    readPeriod(fields, entry);
    return entry;
}

void scanCrontab(const std::string& path, bool hasUserField, std::vector<ScheduleEntry>& found) {
    std::istringstream text(readSystemFile(path).text);
    int number = 0;
    for (std::string line; std::getline(text, line);) {
        ++number;
        if (auto entry = probeEntry(line, hasUserField)) {
            entry->place = path + " line " + std::to_string(number);
            found.push_back(*entry);
        }
    }
}

}  // namespace

std::vector<ScheduleEntry> findProbeSchedule() {
    std::vector<ScheduleEntry> found;
    scanCrontab("/etc/crontabs/root", false, found);
    scanCrontab("/var/spool/cron/crontabs/root", false, found);
    scanCrontab("/etc/crontab", true, found);
    for (const std::string& name : directoryNames("/etc/cron.d")) {
        scanCrontab("/etc/cron.d/" + name, true, found);
    }
    return found;
}

}  // namespace CardTool
