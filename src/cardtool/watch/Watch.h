// quorvexcard --watch: samples the four signal values (CDMA and HDR RSSI and
// Ec/Io, one RSSI/Ec/Io transaction per sample) on a fixed cadence until
// --count samples are taken or SIGINT, SIGTERM or SIGHUP arrives, and hands
// each sample with the running statistics to an output: the live screen on
// a terminal (WatchScreen), one line per sample otherwise (WatchLog).
//
// Each sample is one transaction of the card, so the port is free between
// samples for the cron probe. A stop signal ends the wait for the next
// sample at once (StopSignals). A modem that resets or is unplugged is
// looked for again at each sample until it is back (ModemPresence); the
// samples meanwhile fail with the reason it went away.
#pragma once

#include "card/WirelessCard.h"
#include "cardtool/CardToolOptions.h"
#include "text/TextOut.h"

namespace CardTool {

// Watches on the open card. Returns the exit status: kAllAnswered when some
// sample was answered, kQueryFailed when none was (or the output failed).
int watch(WirelessCard& card, const Options& options, Text::Out& out, Text::Out& err);

}  // namespace CardTool
