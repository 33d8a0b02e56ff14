#include "cardtool/check/Crontab.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <vector>

#include "metrics/MetricsRun.h"
#include "text/TextScan.h"

namespace CardTool {

namespace {

constexpr const char* kProbeName = "quorvexmetrics";
constexpr std::size_t kTimeFields = 5;
constexpr int kMinutesPerHour = 60;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerDay = kMinutesPerHour * kHoursPerDay;

// The "@" names whose runs are evenly spaced.
struct Nickname {
    const char* name;
    int everyMinutes;
};
constexpr Nickname kNicknames[] = {
    {"@hourly", kMinutesPerHour}, {"@daily", kMinutesPerDay}, {"@midnight", kMinutesPerDay}};

using Minutes = std::bitset<kMinutesPerHour>;  // wide enough for the hours too
using Day = std::bitset<kMinutesPerDay>;

std::vector<std::string> words(const std::string& text) {
    Text::Tokens tokens(text);
    std::vector<std::string> found;
    for (std::string word; tokens.next(word);) {
        found.push_back(word);
    }
    return found;
}

// A number of at most 4 digits, or -1.
int number(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::atoi(text.c_str());
}

// One item of a list: "*", "N", "N-M", each with an optional "/step".
bool addItem(const std::string& item, int size, Minutes& set) {
    const std::size_t slash = item.find('/');
    const int step = slash == std::string::npos ? 1 : number(item.substr(slash + 1));
    const std::string range = item.substr(0, slash);
    int first = 0;
    int last = size - 1;
    if (range != "*") {
        const std::size_t dash = range.find('-');
        first = number(range.substr(0, dash));
        last = dash == std::string::npos ? first : number(range.substr(dash + 1));
        if (slash != std::string::npos && dash == std::string::npos) {
            last = size - 1;  // "N/step" runs from N to the end of the range
        }
    }
    if (step < 1 || first < 0 || last < first || last >= size) {
        return false;
    }
    for (int value = first; value <= last; value += step) {
        set.set(static_cast<std::size_t>(value));
    }
    return true;
}

// The values a time field runs at, from 0 to size - 1; none when cron would
// refuse the field.
std::optional<Minutes> fieldValues(const std::string& field, int size) {
    Minutes set;
    for (std::size_t start = 0; start <= field.size();) {
        const std::size_t comma = std::min(field.find(',', start), field.size());
        if (!addItem(field.substr(start, comma - start), size, set)) {
            return std::nullopt;
        }
        start = comma + 1;
    }
    return set;
}

// The minutes of the day the fields run at, when they name no days,
// months or weekdays; none otherwise.
Day runsOfTheDay(const std::vector<std::string>& fields) {
    const auto minutes = fieldValues(fields[0], kMinutesPerHour);
    const auto hours = fieldValues(fields[1], kHoursPerDay);
    const bool everyDay = fields[2] == "*" && fields[3] == "*" && fields[4] == "*";
    Day runs;
    for (std::size_t minute = 0; everyDay && minutes && hours && minute < runs.size(); ++minute) {
        runs[minute] =
            hours->test(minute / kMinutesPerHour) && minutes->test(minute % kMinutesPerHour);
    }
    return runs;
}

// "every minute", "every 5 minutes", "every hour", "every 2 days"
std::string everyText(int minutes) {
    const char* unit = "minute";
    if (minutes % kMinutesPerDay == 0) {
        unit = "day";
        minutes /= kMinutesPerDay;
    } else if (minutes % kMinutesPerHour == 0) {
        unit = "hour";
        minutes /= kMinutesPerHour;
    }
    return minutes == 1 ? std::string("every ") + unit
                        : "every " + std::to_string(minutes) + ' ' + unit + 's';
}

// Sets the entry's longest gap, and its text when the runs are evenly spaced.
void readPeriod(const std::vector<std::string>& fields, ScheduleEntry& entry) {
    int longest = 0;
    int shortest = kMinutesPerDay;
    if (fields.size() == 1) {
        for (const Nickname& nickname : kNicknames) {
            if (fields[0] == nickname.name) {
                longest = shortest = nickname.everyMinutes;
            }
        }
    } else {
        // Each gap between two runs, up to the first run of the next day.
        const Day runs = runsOfTheDay(fields);
        int first = -1;
        int last = -1;
        for (int minute = 0; runs.any() && (first < 0 || minute <= first + kMinutesPerDay);
             ++minute) {
            if (!runs.test(static_cast<std::size_t>(minute % kMinutesPerDay))) {
                continue;
            }
            if (last >= 0) {
                longest = std::max(longest, minute - last);
                shortest = std::min(shortest, minute - last);
            } else {
                first = minute;
            }
            last = minute;
        }
    }
    if (longest == 0) {
        return;
    }
    entry.longestGap = std::chrono::minutes(longest);
    if (shortest == longest) {
        entry.howOften = everyText(longest);
    }
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
        if (base == kProbeName && word != MetricsRun::kMetricsPath) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<ScheduleEntry> readCrontabLine(const std::string& line, bool hasUserField) {
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

}  // namespace CardTool
