#include "cardtool/watch/WatchSample.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "card/CnsResults.h"
#include "cardtool/QueryOutcome.h"

namespace CardTool {

namespace {

// RSSI quality in dBm: a reading at or above a row's threshold earns its
// word, anything lower is "poor". The steps are the signal bars of common
// field practice for CDMA 1x and for EV-DO (HDR), a rule of thumb for
// aligning an antenna rather than a standard.
struct QualityStep {
    const char* word;
    int cdmaDbm;
    int hdrDbm;
};
constexpr QualityStep kRssiQuality[] = {
    {"excellent", -75, -65},
    {"good", -85, -75},
    {"fair", -100, -90},
};
constexpr const char* kBelowTable = "poor";

}  // namespace

std::string utcNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    ::gmtime_r(&now.tv_sec, &parts);
    // The fields one by one: strftime would bring the time zone code along.
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  now.tv_nsec / 1000000);
    return text;
}

SignalSample takeSample(WirelessCard& card) {
    SignalSample sample{utcNow(), {}, {}, {}};
    const auto outcome = askCard(card, [&] {
        CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR signal;
        card.getRssiEcloForCDMAndHDR(signal);
        // RSSI values are 16-bit two's complement; Ec/Io as the card reports it.
        return std::array<int, kSignalValues>{static_cast<short>(signal.cdmaRssi), signal.cdmaEcio,
                                              static_cast<short>(signal.hdrRssi), signal.hdrEcio};
    });
    sample.failure = outcome.failure;
    sample.error = outcome.error;
    if (outcome.answered()) {
        sample.values = *outcome.value;
    }
    return sample;
}

CardState sampleReadings(const SignalSample& sample) {
    CardState state;
    for (std::size_t i = 0; i < kSignalValues; ++i) {
        const std::string value = std::to_string(sample.values[i]);
        state.push_back(
            {kSignalFields[i].reading.key, kSignalFields[i].reading.label,
             sample.failure.empty() ? std::optional<Value>({value, value}) : std::nullopt,
             sample.failure});
    }
    return state;
}

const char* rssiQuality(int dbm, bool hdr) {
    for (const QualityStep& step : kRssiQuality) {
        if (dbm >= (hdr ? step.hdrDbm : step.cdmaDbm)) {
            return step.word;
        }
    }
    return kBelowTable;
}

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

std::string secondsText(std::chrono::milliseconds duration) {
    const long ms = static_cast<long>(duration.count());
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        // Up to three decimals, without trailing zeros: 0.1, 2.25.
        char decimals[8];
        std::snprintf(decimals, sizeof decimals, "%03ld", ms % 1000);
        text += '.' + std::string(decimals);
        text.erase(text.find_last_not_of('0') + 1);
    }
    return text;
}

std::string describeStart(const WatchStart& start) {
    return start.port + ", model " + start.model + ", hybrid mode " + start.hybrid + ", every " +
           secondsText(start.interval) + " s";
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
