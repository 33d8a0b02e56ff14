#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "cardtool/check/CheckLinks.h"
#include "cardtool/check/SystemFiles.h"
#include "metrics/MetricsRun.h"
#include "metrics/PlainFile.h"
#include "text/TextFile.h"

namespace CardTool {

namespace {

// Far beyond the schedule: two of its longest gaps and a minute more, or
// 10 minutes without a schedule.
constexpr long kSlackSeconds = 60;
constexpr long kUnscheduledLimitSeconds = 600;
constexpr std::size_t kShownBytes = 40;

// "42 s", "60 min", "2 h", "3 days": the largest unit that shows at least 2.
std::string duration(long seconds) {
    constexpr struct {
        long below;  // seconds
        long unit;
        const char* name;
    } kUnits[] = {{120, 1, "s"}, {2 * 3600, 60, "min"}, {2 * 86400, 3600, "h"}};
    for (const auto& unit : kUnits) {
        if (seconds < unit.below) {
            return std::to_string(seconds / unit.unit) + ' ' + unit.name;
        }
    }
    return std::to_string(seconds / 86400) + " days";
}

// Printable, and short: the content as the report shows it.
std::string shown(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < kShownBytes; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return '"' + out + (text.size() > kShownBytes ? "\"..." : "\"");
}

void checkContent(const std::string& text, CheckResult& result) {
    const auto lines = MetricsRun::readRunLines(text);
    if (text.empty()) {
        result.details.push_back("empty: the probe's last run failed");
        result.warn(
            "the last run failed: the checks above say which link; if they are all ok now, the "
            "failure has passed");
    } else if (lines) {
        const bool noModem = lines->rssi == MetricsRun::kNoSignalLine &&
                             lines->roaming == MetricsRun::kNoRoamingLine;
        result.details.push_back("content: " + std::to_string(lines->rssi) + " and " +
                                 std::to_string(lines->roaming) + ", as a run writes it" +
                                 (noModem ? " when no modem is listed" : ""));
    } else {
        result.details.push_back("content is not what a run writes: " + shown(text));
        result.fail(
            "something other than the probe writes this file: find it (crontabs, the device's "
            "scripts) and stop it; the next run rewrites the file");
    }
}

std::string cronState(const CronDaemon& cron) {
    return cron.pid != 0 ? cron.command + " runs, so see the system log for its errors"
                         : "no cron daemon runs, so nothing reads the crontab: start crond";
}

void checkAge(long age, const std::vector<ScheduleEntry>& schedule, const CronDaemon& cron,
              CheckResult& result) {
    const ScheduleEntry* shortest = nullptr;
    for (const ScheduleEntry& entry : schedule) {
        if (entry.longestGap &&
            (shortest == nullptr || *entry.longestGap < *shortest->longestGap)) {
            shortest = &entry;
        }
    }
    if (shortest == nullptr && !schedule.empty()) {
        result.details.push_back("age not judged: the schedule has no simple period");
        return;
    }
    const long limit = shortest != nullptr
                           ? 2 * std::chrono::seconds(*shortest->longestGap).count() + kSlackSeconds
                           : kUnscheduledLimitSeconds;
    if (age > limit) {
        result.warn("the probe has not written the file for " + duration(age) +
                    (shortest != nullptr ? " though its schedule runs it " + shortest->howOften +
                                               ": " + cronState(cron)
                                         : ": see the schedule"));
    }
}

}  // namespace

CheckResult checkMetricsFile(const std::vector<ScheduleEntry>& schedule, const CronDaemon& cron) {
    CheckResult result{"metrics file"};
    const std::string path = MetricsRun::kMetricsPath;
    struct stat file;
    if (::lstat(path.c_str(), &file) == -1) {
        result.details.push_back(path + ": " + std::strerror(errno));
        result.fail(
            "the probe has not run since /tmp was last emptied: see the schedule, and run "
            "quorvexmetrics once");
        return result;
    }
    if (PlainFile::refusalOf(file) != 0) {
        result.details.push_back(
            path + " is " + fileKind(file.st_mode) +
            (S_ISREG(file.st_mode) ? " with " + std::to_string(file.st_nlink) + " links" : ""));
        result.fail(
            "the probe writes only a regular file with one link, so every run fails: remove "
            "this one (rm -r " +
            path + "); the next run creates the file");
        return result;
    }
    const long age = static_cast<long>(std::time(nullptr) - file.st_mtime);
    result.details.push_back(path + ": a regular file, 1 link, owner " +
                             userNameIn(Text::readFile("/etc/passwd").text, file.st_uid) +
                             ", modified " + (age >= 0 ? duration(age) + " ago" : "in the future"));
    checkAge(age, schedule, cron, result);
    const Text::FileText content = Text::readFile(path, false);
    if (!content.error.empty()) {
        result.details.push_back("it cannot be read: " + content.error);
        result.fail("the file cannot be read: remove it; the next run creates it");
        return result;
    }
    checkContent(content.text, result);
    return result;
}

}  // namespace CardTool
