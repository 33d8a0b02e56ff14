#include "cardtool/watch/WatchSample.h"

#include <algorithm>
#include <cstdio>

namespace CardTool {

void RunningStats::add(int value) {
    if (count == 0 || value < min) {
        min = value;
    }
    if (count == 0 || value > max) {
        max = value;
    }
    sum += value;
    ++count;
}

void SignalStats::add(const SignalSample& sample) {
    if (!sample.failure.empty()) {
        ++failed;
        return;
    }
    ++answered;
    for (std::size_t i = 0; i < kSignalValues; ++i) {
        values[i].add(sample.values[i]);
    }
}

std::string describeStart(const WatchStart& start) {
    const long ms = static_cast<long>(start.interval.count());
    std::string every = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        // Up to three decimals, without trailing zeros: 0.1, 2.25.
        char decimals[8];
        std::snprintf(decimals, sizeof decimals, "%03ld", ms % 1000);
        every += '.' + std::string(decimals);
        every.erase(every.find_last_not_of('0') + 1);
    }
    return start.port + ", model " + start.model + ", hybrid mode " + start.hybrid + ", every " +
           every + " s";
}

std::string statsColumns(const RunningStats& stats) {
    char text[48];
    if (stats.count == 0) {
        std::snprintf(text, sizeof text, "%6s %7s %6s", "-", "-", "-");
    } else {
        std::snprintf(text, sizeof text, "%6d %7.1f %6d", stats.min, stats.mean(), stats.max);
    }
    return text;
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

std::string elapsedText(std::chrono::milliseconds elapsed) {
    const long seconds = static_cast<long>(elapsed.count() / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string countsText(const SignalStats& stats) {
    std::string text =
        "answered " + std::to_string(stats.answered) + ", failed " + std::to_string(stats.failed);
    if (stats.away > 0) {
        text += " (" + std::to_string(stats.away) + " while the modem was away)";
    }
    return text;
}

}  // namespace CardTool
