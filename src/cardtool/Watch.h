// quorvexcard --watch: samples the four signal values (CDMA and HDR RSSI and
// Ec/Io, one RSSI/Ec/Io transaction per sample) on a fixed cadence until
// --count samples are taken or SIGINT, SIGTERM or SIGHUP arrives, and hands
// each sample with the running statistics to an output: the live screen on
// a terminal (WatchScreen), one line per sample otherwise (WatchLog).
//
// Each sample is one transaction of the card, so the port is free between
// samples for the cron probe. The stop signals are blocked except while
// waiting for the next sample's start, so a signal ends that wait at once
// and never cuts a transaction or a line of output short.
#pragma once

#include <ostream>
#include <string>

#include "card/WirelessCard.h"
#include "cardtool/CardToolOptions.h"

namespace CardTool {

// Stores the value of --interval (seconds, at most three decimals, 0.1 to
// 3600) or --count (1 or more) in `options`; returns "" or the usage error.
std::string parseWatchValue(const std::string& option, const std::string& value, Options& options);

// Watches on the open card. Returns the exit status: kAllAnswered when some
// sample was answered, kQueryFailed when none was (or the output failed).
int watch(WirelessCard& card, const Options& options, std::ostream& out, std::ostream& err);

}  // namespace CardTool
