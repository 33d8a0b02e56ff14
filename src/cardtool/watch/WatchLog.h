// quorvexcard --watch when standard output is not a terminal: one line per
// sample, for a log of a drive test or an afternoon on site.
//
//   2026-12-08T14:03:07.250Z cdma_rssi=-90 cdma_ecio=8 hdr_rssi=-80 hdr_ecio=4
//   2026-12-08T14:03:08.250Z error="no reply within 1 second"
//
// or, with --json, one JSON object per line with the keys of the tool's JSON:
//
//   {"time": "2026-12-08T14:03:07.250Z", "cdma_rssi": -90, ..., "errors": {}}
//
// The start, the summary and the lines that say the modem went away and is
// back go to standard error, so that the log holds samples only.
#pragma once

#include <memory>

#include "cardtool/watch/WatchSample.h"
#include "text/TextOut.h"

namespace CardTool {

std::unique_ptr<WatchOutput> makeWatchLog(Text::Out& out, Text::Out& err, bool json);

// "quorvexcard: samples answered 12, failed 1" and a min/mean/max line per value.
std::string formatSummary(const SignalStats& stats);

}  // namespace CardTool
