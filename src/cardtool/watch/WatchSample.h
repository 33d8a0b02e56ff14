// quorvexcard --watch, the parts its two outputs share: one sample of the
// four signal values, the running statistics over the samples, and the
// interface the watch loop (Watch.cpp) hands them to. WatchScreen draws
// them on a terminal, WatchLog writes them as lines. The sample, its
// readings and the RSSI quality words serve the page's CGI (cgi/) as well.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "card/WirelessCard.h"
#include "cardtool/CardState.h"

namespace CardTool {

// The four values of one RSSI/Ec/Io transaction, with the keys and labels
// of the tool's readings.
struct SignalField {
    Field reading;
    bool isRssi;
    bool isHdr;
};
constexpr std::array<SignalField, kSignalValues> kSignalFields = {{
    {kSignalReadings[0], true, false},
    {kSignalReadings[1], false, false},
    {kSignalReadings[2], true, true},
    {kSignalReadings[3], false, true},
}};

struct SignalSample {
    std::string time;                              // ISO 8601 UTC, milliseconds
    std::array<int, kSignalValues> values;         // RSSI signed; only when answered
    std::string failure;                           // why it failed; empty when answered
    std::optional<CnsErrors::ReturnErrors> error;  // what the card threw, if it threw
};

// "2026-12-08T14:03:07.250Z": now, in UTC.
std::string utcNow();
// One sample now: one RSSI/Ec/Io transaction of the open card.
SignalSample takeSample(WirelessCard& card);
// The sample as the tool's readings, so that its JSON is the tool's JSON.
CardState sampleReadings(const SignalSample& sample);
// "excellent", "good", "fair" or "poor" for an RSSI in dBm.
const char* rssiQuality(int dbm, bool hdr);

// Minimum, maximum and mean without keeping the samples. The sum is exact:
// 16-bit readings would need 2^47 samples to overflow it, so the mean does
// not drift however long the watch runs.
struct RunningStats {
    unsigned long count = 0;
    long long sum = 0;
    int min = 0;
    int max = 0;

    void add(int value);
    double mean() const { return count == 0 ? 0.0 : static_cast<double>(sum) / count; }
};

struct SignalStats {
    unsigned long answered = 0;
    unsigned long failed = 0;
    unsigned long away = 0;  // of the failed, lost while the modem was away
    std::array<RunningStats, kSignalValues> values;

    void add(const SignalSample& sample);
    unsigned long taken() const { return answered + failed; }
};

// What the watch shows once at the start.
struct WatchStart {
    std::string port;
    std::string model;   // or "unknown (<reason>)"
    std::string hybrid;  // "on", "off" or "unknown (<reason>)"
    std::chrono::milliseconds interval;
};

// Wide enough for the longest label, "CDMA Ec/Io".
constexpr std::size_t kLabelWidth = 12;
// Above statsColumns.
constexpr const char* kStatsHeading = "   min    mean    max";

// "0.5" for 500 ms, "2.25", "3600": seconds, up to three decimals.
std::string secondsText(std::chrono::milliseconds duration);
// "/dev/ttyUSB1, model MC5728V, hybrid mode on, every 0.5 s"
std::string describeStart(const WatchStart& start);
// "   -95   -91.2     -88": min, mean and max, or dashes before any answer.
std::string statsColumns(const RunningStats& stats);
// `text` with spaces up to `width`, for the columns of both outputs.
std::string padded(std::string text, std::size_t width);
// "0:01:05"
std::string elapsedText(std::chrono::milliseconds elapsed);
// "answered 12, failed 7", then " (5 while the modem was away)" if any were.
std::string countsText(const SignalStats& stats);

class WatchOutput {
public:
    virtual ~WatchOutput() = default;
    virtual void start(const WatchStart& start) = 0;
    // After each sample; `elapsed` runs from the first sample's start.
    virtual void sample(const SignalSample& sample, const SignalStats& stats,
                        std::chrono::milliseconds elapsed) = 0;
    // Once at the end, unless the output went away (a closed pipe).
    virtual void finish(const SignalStats& stats, std::chrono::milliseconds elapsed) = 0;
    // The modem left `port` at `since` (UTC) for `reason`, "the modem went
    // away (Input/output error)"; the watch looks for it at each sample.
    virtual void away(const std::string& port, const std::string& reason,
                      const std::string& since) = 0;
    // It is back, on `port` at `since`, and its model name was asked again.
    virtual void back(const std::string& port, const std::string& model,
                      const std::string& since) = 0;
    // A diagnostic line of the card's, in the output's own place for it.
    virtual void note(const std::string& line) = 0;
};

}  // namespace CardTool
