// One run of the probe: presence check, the RSSI and roaming queries, the
// metrics file and the exit status.
#pragma once

namespace MetricsRun {

constexpr const char* kMetricsPath = "/tmp/quorvexmetrics";

// The file's first line for an RSSI: the RSSI when negative, otherwise 1.
constexpr long rssiLine(short rssi) {
    return rssi < 0 ? rssi : 1;
}

// Runs the probe and returns the process exit status: 1 when no modem is
// listed, 0 when the run failed ("1" on standard output), otherwise the RSSI.
int run();

}  // namespace MetricsRun
