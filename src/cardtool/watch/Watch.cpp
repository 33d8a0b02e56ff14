#include "cardtool/watch/Watch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cardtool/CardTool.h"
#include "cardtool/QueryOutcome.h"
#include "cardtool/watch/ModemPresence.h"
#include "cardtool/watch/StopSignals.h"
#include "cardtool/watch/WatchLog.h"
#include "cardtool/watch/WatchScreen.h"

namespace CardTool {

namespace {

using Clock = StopSignals::Clock;
using std::chrono::milliseconds;

// The value's text, or "unknown (<reason>)".
template <typename T>
std::string shown(const Outcome<T>& outcome, std::string text) {
    return outcome.answered() ? text : "unknown (" + outcome.failure + ")";
}

std::string readModel(WirelessCard& card) {
    const auto model = askCard(card, [&] { return std::string(card.getModemTypeName()); });
    return shown(model, model.value.value_or(""));
}

WatchStart readStart(WirelessCard& card, const Options& options) {
    const std::string model = readModel(card);
    const auto hybrid = askCard(card, [&] { return card.getHybridMode(); });
    return {card.portPath(), model, shown(hybrid, hybrid.value.value_or(false) ? "on" : "off"),
            options.interval};
}

// Says so when the card's last transactions found the modem gone.
void noteIfGone(ModemPresence& modem, WatchOutput& output, const std::string& now) {
    if (modem.wentAway(now)) {
        output.away(modem.portLeft(), modem.reason(), modem.since());
    }
}

// A sample time while the modem is away: no transaction, the reason it went.
SignalSample absentSample(const ModemPresence& modem) {
    SignalSample sample{};
    sample.time = utcNow();
    sample.failure = modem.reason();
    sample.error = CnsErrors::PORT_GONE;
    return sample;
}

// While the modem is away: looks for it, and when it is back asks its model
// again. False when a stop signal came meanwhile: the watch ends before the
// sample.
bool lookForModem(WirelessCard& card, ModemPresence& modem, WatchOutput& output,
                  const StopSignals& stop) {
    if (!modem.away() || !modem.lookAgain()) {
        return true;
    }
    const std::string since = utcNow();
    output.back(card.portPath(), readModel(card), since);
    noteIfGone(modem, output, since);
    stop.waitUntil(Clock::now());  // takes in a signal that came during the query
    return !stop.requested();
}

// The card's diagnostics go to the watch's output while it runs.
class NotesToOutput {
public:
    NotesToOutput(WirelessCard& card, WatchOutput& output) : card(card), before(card.reporter()) {
        card.reportTo({note, &output});
    }
    ~NotesToOutput() { card.reportTo(before); }
    NotesToOutput(const NotesToOutput&) = delete;
    NotesToOutput& operator=(const NotesToOutput&) = delete;

private:
    static void note(void* output, const std::string& line, int) {
        static_cast<WatchOutput*>(output)->note(line);
    }

    WirelessCard& card;
    const Diagnostics::Reporter before;
};

bool writesToTerminal(const Text::Out& out) {
    return out.descriptor() >= 0 && ::isatty(out.descriptor()) == 1;
}

}  // namespace

int watch(WirelessCard& card, const Options& options, Text::Out& out, Text::Out& err) {
    const StopSignals stop;
    const std::unique_ptr<WatchOutput> output = options.json || !writesToTerminal(out)
                                                    ? makeWatchLog(out, err, options.json)
                                                    : makeWatchScreen(out, err);
    const NotesToOutput notes(card, *output);
    output->start(readStart(card, options));
    ModemPresence modem(card, options.device);
    noteIfGone(modem, *output, utcNow());
    SignalStats stats;
    const Clock::time_point first = Clock::now();
    Clock::time_point next = first;
    while (options.count == 0 || stats.taken() < options.count) {
        stop.waitUntil(next);
        if (stop.requested()) {
            break;
        }
        const Clock::time_point start = Clock::now();
        if (!lookForModem(card, modem, *output, stop)) {
            break;
        }
        const SignalSample sample = modem.away() ? absentSample(modem) : takeSample(card);
        noteIfGone(modem, *output, sample.time);
        stats.add(sample);
        stats.away += modem.away() ? 1 : 0;
        output->sample(sample, stats, std::chrono::duration_cast<milliseconds>(start - first));
        if (out.failed()) {
            // A closed pipe (| head) ends the watch quietly.
            if (out.error() != EPIPE) {
                err << "quorvexcard: writing the output failed: " << std::strerror(out.error())
                    << Text::endl;
                return kQueryFailed;
            }
            return stats.answered > 0 ? kAllAnswered : kQueryFailed;
        }
        // The cadence runs from the sample's start, so that a late wake-up
        // is never followed by a short gap; an overrun delays the next start
        // to now and is never made up for.
        next = std::max(start + options.interval, Clock::now());
    }
    output->finish(stats, std::chrono::duration_cast<milliseconds>(Clock::now() - first));
    return stats.answered > 0 ? kAllAnswered : kQueryFailed;
}

}  // namespace CardTool
