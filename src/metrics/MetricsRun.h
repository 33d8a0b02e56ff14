// One run of the probe: presence check, the RSSI and roaming queries, the
// metrics file and the exit status.
#pragma once

namespace MetricsRun {

constexpr const char* kMetricsPath = "/tmp/quorvexmetrics";

// Runs the probe and returns the process exit status: 1 when no modem is
// listed, 0 when the run failed ("1" on standard output), otherwise the RSSI.
int run();

}  // namespace MetricsRun
