// One run of the probe: presence check, the RSSI and roaming queries, the
// metrics file and the exit status.
#pragma once

#include <optional>
#include <string>

namespace MetricsRun {

constexpr const char* kMetricsPath = "/tmp/quorvexmetrics";

// The file's first line for an RSSI: the RSSI when negative, otherwise 1.
constexpr long rssiLine(short rssi) {
    return rssi < 0 ? rssi : 1;
}

// Written in place of the RSSI and the roaming status when there is no modem.
constexpr long kNoSignalLine = 1;
constexpr long kNoRoamingLine = -1;

// The two lines of a run's file: the RSSI's line and the roaming status.
struct Lines {
    long rssi;
    long roaming;
};
// `text` read as a run writes it: two lines of 16-bit values; none otherwise.
std::optional<Lines> readRunLines(const std::string& text);

// Runs the probe and returns the process exit status: 1 when no modem is
// listed, 0 when the run failed ("1" on standard output), otherwise the RSSI.
int run();

}  // namespace MetricsRun
