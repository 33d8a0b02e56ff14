#include "cardtool/Check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "card/PortDiscovery.h"
#include "cardtool/CardState.h"
#include "cardtool/PortGivenBack.h"
#include "cardtool/PortHolders.h"
#include "cardtool/PortSettings.h"
#include "cardtool/Schedule.h"
#include "cardtool/SystemFiles.h"
#include "cns/CnsErrors.h"
#include "metrics/MetricsRun.h"

namespace CardTool {

void CheckResult::warn(const std::string& what) {
    if (verdict == Verdict::Ok) {
        verdict = Verdict::Warning;
        hint = what;
    }
}

void CheckResult::fail(const std::string& what) {
    if (verdict != Verdict::Failed) {
        verdict = Verdict::Failed;
        hint = what;
    }
}

int checkExitStatus(const CheckReport& report) {
    const auto any = [&](Verdict verdict) {
        return std::any_of(report.begin(), report.end(),
                           [&](const CheckResult& result) { return result.verdict == verdict; });
    };
    return any(Verdict::Failed) ? kCheckFailed : any(Verdict::Warning) ? kCheckWarning : kCheckOk;
}

namespace {

using Clock = std::chrono::steady_clock;

CheckResult skipped(const char* name, const std::string& why) {
    CheckResult result(name);
    result.verdict = Verdict::Skipped;
    result.details.push_back(why);
    return result;
}

std::string kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return S_ISFIFO(mode) ? "a FIFO" : "a socket";
}

// --- 1. driver list ---------------------------------------------------------

// The probe's port path, or "" when the list leads to none.
std::string checkDriverList(CheckResult& result) {
    const std::string listPath = PortDiscovery::kDriverListPath;
    const FileText list = readSystemFile(listPath);
    if (!list.error.empty()) {
        result.details.push_back(listPath + " cannot be read: " + list.error);
        result.fail(list.errorNumber == EACCES
                        ? "only root may read it: run the check as root"
                        : "no USB-serial device is known to the kernel: check the modem's USB "
                          "connection and power, then the kernel log (dmesg)");
        return {};
    }
    std::istringstream lines(list.text);
    std::vector<std::string> modemLines;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(PortDiscovery::kProductMarker) != std::string::npos) {
            modemLines.push_back("  " + line);
        }
    }
    if (modemLines.empty()) {
        result.details.push_back(listPath + " has no line of product 0028");
        result.fail(
            "the modem is not on the USB bus or its driver is not bound: check its USB "
            "connection and power, then the kernel log (dmesg)");
        return {};
    }
    result.details.push_back(listPath + " has " + std::to_string(modemLines.size()) +
                             " line(s) of product 0028:");
    result.details.insert(result.details.end(), modemLines.begin(), modemLines.end());
    std::istringstream probesView(list.text);
    const std::string index = PortDiscovery::findModemPortText(probesView);
    if (index.empty()) {
        result.details.push_back("the probe's rule finds no line after the modem's first line");
        result.fail("the modem's other interfaces are missing: unplug and replug the modem");
        return {};
    }
    const std::string port = PortDiscovery::kDevicePrefix + index;
    result.details.push_back("the probe's port is " + port + ", from line " + index +
                             ": the line after the modem's first line");
    return port;
}

// --- 2. port ------------------------------------------------------------------

void readBackSettings(int port, CheckResult& result) {
    termios now{};
    if (::tcgetattr(port, &now) == -1) {
        result.details.push_back(std::string("tcgetattr failed: ") + std::strerror(errno));
        result.fail("the port does not behave as a terminal: replug the modem");
        return;
    }
    const SettingsKept kept = compareWithProbeSettings(now);
    if (kept.lost.empty() && kept.notKept.empty()) {
        result.details.push_back("serial settings read back: all the probe sets");
    }
    if (!kept.notKept.empty()) {
        result.details.push_back("not kept by the driver (information, the probe works without): " +
                                 kept.notKept);
    }
    if (!kept.lost.empty()) {
        result.details.push_back("not kept, and the frames need them: " + kept.lost);
        result.fail(
            "the port does not stay raw, so frames are changed on the way: stop any other "
            "program that sets it up, or the port is not a plain USB-serial one");
    }
}

// What to do about other programs on the port; "" when there are none.
std::string reportHolders(const std::vector<PortHolder>& holders, CheckResult& result) {
    if (holders.empty()) {
        result.details.push_back(::geteuid() == 0
                                     ? "no other process has the port open or holds its lock"
                                     : "no other process of this user has the port open or "
                                       "holds its lock (root sees all)");
        return {};
    }
    for (const PortHolder& holder : holders) {
        result.details.push_back("process " + std::to_string(holder.pid) + " (" + holder.command +
                                 ") " + holder.how);
    }
    return "stop it (kill " + std::to_string(holders.front().pid) + ") unless it is meant to run";
}

void checkPort(WirelessCard& card, const std::string& path, CheckResult& result) {
    struct stat node;
    if (::stat(path.c_str(), &node) == -1) {
        result.details.push_back(path + ": " + std::strerror(errno));
        result.fail(
            "the port has no device node: unplug and replug the modem, then see the kernel log "
            "(dmesg)");
        return;
    }
    if (!S_ISCHR(node.st_mode)) {
        result.details.push_back(path + " is " + kindOf(node.st_mode) + ", not a serial port");
        result.fail("something else was left at the port's path: remove it and replug the modem");
        return;
    }
    result.details.push_back(path + ": character device " + std::to_string(major(node.st_rdev)) +
                             ":" + std::to_string(minor(node.st_rdev)));
    const std::string stopHolders = reportHolders(findPortHolders(node), result);
    if (!stopHolders.empty()) {
        result.warn(
            "another program uses the modem's port and can delay the probe or take its replies: " +
            stopHolders);
    }
    try {
        card.openCard(path.c_str());
    } catch (const CnsErrors::ReturnErrors& error) {
        const int openErrno = errno;  // the card's open keeps that of its failed call
        std::string why = failureReason(error);
        if (error == CnsErrors::ERROR_OPENING_PORT && openErrno != 0) {
            why = openErrno == ENOTTY ? "not a terminal" : std::strerror(openErrno);
        }
        result.details.push_back("it did not open: " + why);
        result.fail(error == CnsErrors::PORT_BUSY && !stopHolders.empty()
                        ? "another program keeps the port's lock, and the probe's runs fail: " +
                              stopHolders
                        : "the port cannot be opened: see the reason above, then replug the modem");
        return;
    }
    result.details.push_back("it opened as the probe opens it");
    readBackSettings(card.descriptor(), result);
}

// --- 3. modem -------------------------------------------------------------------

std::string elapsedSince(Clock::time_point start) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return "reply in " + std::to_string(ms.count()) + " ms";
}

std::string failedQueryHint(CnsErrors::ReturnErrors error) {
    switch (error) {
        case CnsErrors::NO_DATA_RETURNED:
            return "the modem does not answer on this port: make sure the port is its control "
                   "port (see the driver list), then power-cycle the modem";
        case CnsErrors::PORT_BUSY:
            return "another program took the port's lock for the whole wait: see the port check";
        default:
            return "the replies are not usable: another program may be talking on the port, or "
                   "this is not the modem's control port";
    }
}

// Runs `query` (one transaction that returns a value as text) and records
// its outcome; "" when it failed.
template <typename Query>
std::string ask(WirelessCard& card, const char* label, CheckResult& result, Query&& query) {
    const auto start = Clock::now();
    try {
        const std::string value = query();
        if (card.lastReplyHeader().isError()) {
            result.details.push_back(std::string(label) +
                                     ": failed: the modem answered with an error (" +
                                     elapsedSince(start) + ", value " + value + ")");
            result.fail(
                "the modem refuses the query: it may still be starting or not be activated; "
                "check again in a minute, then power-cycle it");
            return {};
        }
        result.details.push_back(std::string(label) + ": " + value + " (" + elapsedSince(start) +
                                 ")");
        return value;
    } catch (const CnsErrors::ReturnErrors& error) {
        result.details.push_back(std::string(label) + ": failed: " + failureReason(error));
        result.fail(failedQueryHint(error));
        return {};
    }
}

void checkModem(WirelessCard& card, CheckResult& result) {
    using MetricsRun::rssiLine;
    const std::string rssi = ask(card, "RSSI, the file's line 1", result,
                                 [&] { return std::to_string(rssiLine(card.getRssi())); });
    const std::string roaming = ask(card, "roaming status, the file's line 2", result, [&] {
        return std::to_string(static_cast<short>(card.getRoamingStatus()));
    });
    if (rssi.empty() && roaming.empty()) {
        result.details.push_back("modem type and model name not asked: no query was answered");
        return;
    }
    CheckResult identity("modem identity");
    ask(card, "modem type", identity, [&] { return std::to_string(card.getModemType()); });
    ask(card, "model name", identity, [&] { return std::string(card.getModemTypeName()); });
    result.details.insert(result.details.end(), identity.details.begin(), identity.details.end());
    if (identity.verdict != Verdict::Ok) {
        result.warn(identity.hint);
    }
}

void checkPortAndModem(WirelessCard& card, const std::string& path, CheckReport& report) {
    if (path.empty()) {
        report.push_back(skipped("port", "no port: the driver list leads to none"));
        report.push_back(skipped("modem", "no port: the driver list leads to none"));
        return;
    }
    const PortGivenBack givenBack(card);
    CheckResult port{"port"};
    checkPort(card, path, port);
    report.push_back(port);
    if (port.verdict == Verdict::Failed) {
        report.push_back(skipped("modem", "the port check failed"));
        return;
    }
    CheckResult modem{"modem"};
    checkModem(card, modem);
    report.push_back(modem);
}

// --- 4. metrics file --------------------------------------------------------------

std::string duration(long seconds) {
    if (seconds < 120) {
        return std::to_string(seconds) + " s";
    }
    if (seconds < 2 * 3600) {
        return std::to_string(seconds / 60) + " min";
    }
    if (seconds < 2 * 86400) {
        return std::to_string(seconds / 3600) + " h";
    }
    return std::to_string(seconds / 86400) + " days";
}

// From /etc/passwd itself: a static build has no name service.
std::string ownerOf(uid_t uid) {
    std::istringstream users(readSystemFile("/etc/passwd").text);
    const std::string id = ':' + std::to_string(uid) + ':';
    for (std::string line; std::getline(users, line);) {
        // name:password:uid:...
        const std::size_t nameEnd = line.find(':');
        const std::size_t uidStart =
            nameEnd == std::string::npos ? std::string::npos : line.find(':', nameEnd + 1);
        if (uidStart != std::string::npos && line.compare(uidStart, id.size(), id) == 0) {
            return line.substr(0, nameEnd);
        }
    }
    return "uid " + std::to_string(uid);
}

bool isDecimalLine(const std::string& line) {
    const std::size_t digits = line.rfind('-', 0) == 0 ? 1 : 0;
    return line.size() > digits && line.size() <= 7 &&
           line.find_first_not_of("0123456789", digits) == std::string::npos;
}

// Printable, and short: the content as the report shows it.
std::string shown(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < 40; ++i) {
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
    return '"' + out + (text.size() > 40 ? "\"..." : "\"");
}

void checkContent(const std::string& text, CheckResult& result) {
    const std::size_t first = text.find('\n');
    const std::string line1 = text.substr(0, first);
    const std::string line2 =
        first == std::string::npos ? "" : text.substr(first + 1, text.size() - first - 2);
    if (text.empty()) {
        result.details.push_back("empty: the probe's last run failed");
        result.warn(
            "the last run failed: the checks above say which link; if they are all ok now, the "
            "failure has passed");
    } else if (text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 2 &&
               isDecimalLine(line1) && isDecimalLine(line2)) {
        result.details.push_back("content: " + line1 + " and " + line2 + ", as a run writes it" +
                                 (text == "1\n-1\n" ? " when no modem is listed" : ""));
    } else {
        result.details.push_back("content is not what a run writes: " + shown(text));
        result.fail(
            "something other than the probe writes this file: find it (crontabs, the device's "
            "scripts) and stop it; the next run rewrites the file");
    }
}

void checkAge(long age, const std::vector<ScheduleEntry>& schedule, CheckResult& result) {
    const ScheduleEntry* shortest = nullptr;
    for (const ScheduleEntry& entry : schedule) {
        if (entry.period && (shortest == nullptr || *entry.period < *shortest->period)) {
            shortest = &entry;
        }
    }
    if (shortest == nullptr && !schedule.empty()) {
        result.details.push_back("age not judged: the schedule has no simple period");
        return;
    }
    // Far beyond: two periods and a minute more, or 10 minutes without a schedule.
    const long limit = shortest != nullptr ? 120 * shortest->period->count() + 60 : 600;
    if (age > limit) {
        result.warn("the probe has not written the file for " + duration(age) +
                    (shortest != nullptr ? " though its schedule runs it " + shortest->howOften +
                                               ": is crond running?"
                                         : ": see the schedule"));
    }
}

CheckResult checkMetricsFile(const std::vector<ScheduleEntry>& schedule) {
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
    if (!S_ISREG(file.st_mode) || file.st_nlink != 1) {
        result.details.push_back(
            path + " is " + kindOf(file.st_mode) +
            (S_ISREG(file.st_mode) ? " with " + std::to_string(file.st_nlink) + " links" : ""));
        result.fail(
            "the probe writes only a regular file with one link, so every run fails: remove "
            "this one (rm -r " +
            path + "); the next run creates the file");
        return result;
    }
    const long age = static_cast<long>(std::time(nullptr) - file.st_mtime);
    result.details.push_back(path + ": a regular file, 1 link, owner " + ownerOf(file.st_uid) +
                             ", modified " + (age >= 0 ? duration(age) + " ago" : "in the future"));
    checkAge(age, schedule, result);
    const FileText content = readSystemFile(path, false);
    if (!content.error.empty()) {
        result.details.push_back("it cannot be read: " + content.error);
        result.fail("the file cannot be read: remove it; the next run creates it");
        return result;
    }
    checkContent(content.text, result);
    return result;
}

// --- 5. schedule ---------------------------------------------------------------------

CheckResult checkSchedule(const std::vector<ScheduleEntry>& schedule) {
    CheckResult result{"schedule"};
    for (const ScheduleEntry& entry : schedule) {
        result.details.push_back(entry.place + " runs it " + entry.howOften + ": " + entry.line);
    }
    if (schedule.empty()) {
        result.details.push_back(std::string("no crontab runs quorvexmetrics (looked in ") +
                                 kCrontabPlaces + ")");
        result.warn(
            "nothing runs the probe on a schedule: add '* * * * * /usr/bin/quorvexmetrics "
            ">/dev/null 2>&1' to /etc/crontabs/root (busybox crond) or a file in /etc/cron.d");
    }
    return result;
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
    report.push_back(checkMetricsFile(schedule));
    report.push_back(checkSchedule(schedule));
    return report;
}

}  // namespace CardTool
