#include "cardtool/Watch.h"

#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

#include "card/CnsResults.h"
#include "card/Diagnostics.h"
#include "cardtool/CardState.h"
#include "cardtool/CardTool.h"
#include "cardtool/WatchLog.h"
#include "cardtool/WatchScreen.h"
#include "cns/CnsErrors.h"

namespace CardTool {

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
using std::chrono::milliseconds;

constexpr unsigned long long kShortestIntervalMs = 100;
constexpr unsigned long long kLongestIntervalMs = 3600 * 1000;
constexpr std::size_t kMostDigits = 9;  // in the whole part of a number
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

// The signal calls fail only on bad arguments; said where it happened anyway.
void check(int result, const char* call) {
    if (result == -1) {
        Diagnostics::reportSystemError(std::string(call) + " system call failed: ");
    }
}

// The stop signals set a flag; they are blocked except inside the wait for
// the next sample, which they end. SIGPIPE is ignored, so that a closed pipe
// shows as EPIPE. Everything is put back by the destructor. A stop signal
// that was ignored when the tool started (nohup) stays ignored.
class StopSignals {
public:
    StopSignals() {
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the wait must end
        sigset_t blocked;
        sigemptyset(&blocked);
        for (std::size_t i = 0; i < kStopSignalCount; ++i) {
            check(::sigaction(kStopSignals[i], nullptr, &previous[i]), "sigaction");
            if (previous[i].sa_handler != SIG_IGN) {
                check(::sigaction(kStopSignals[i], &action, nullptr), "sigaction");
                sigaddset(&blocked, kStopSignals[i]);
            }
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        check(::sigaction(SIGPIPE, &ignore, &previousPipe), "sigaction");
        check(::sigprocmask(SIG_BLOCK, &blocked, &previousMask), "sigprocmask");
        waitMask = previousMask;
        for (const int signal : kStopSignals) {
            if (sigismember(&blocked, signal)) {
                sigdelset(&waitMask, signal);
            }
        }
    }

    ~StopSignals() {
        // Unblocked first, so that a stop signal still pending reaches the
        // handler rather than its default action.
        ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        for (std::size_t i = 0; i < kStopSignalCount; ++i) {
            ::sigaction(kStopSignals[i], &previous[i], nullptr);
        }
        ::sigaction(SIGPIPE, &previousPipe, nullptr);
    }

    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool requested() const { return stopRequested != 0; }

    // Waits until `deadline` or a stop signal; a signal already pending ends
    // it at once, even when the deadline has passed.
    void waitUntil(Clock::time_point deadline) const {
        do {
            const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
            const timespec timeout = {static_cast<time_t>(seconds.count()),
                                      static_cast<long>((left - seconds).count())};
            if (::pselect(0, nullptr, nullptr, nullptr, &timeout, &waitMask) == -1 &&
                errno != EINTR) {
                Diagnostics::reportSystemError("pselect system call failed: ");
                return;
            }
        } while (!requested() && Clock::now() < deadline);
    }

private:
    struct sigaction previous[kStopSignalCount] {};
    struct sigaction previousPipe {};
    sigset_t previousMask{};
    sigset_t waitMask{};
};

// "2026-12-08T14:03:07.250Z"
std::string utcNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    ::gmtime_r(&now.tv_sec, &parts);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &parts);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03ldZ", date, now.tv_nsec / 1000000);
    return text;
}

// Runs one query: "" when it was answered, or why it failed.
template <typename Query>
std::string failureOf(WirelessCard& card, Query&& query) {
    try {
        query();
    } catch (const CnsErrors::ReturnErrors& error) {
        return failureReason(error);
    }
    return card.lastReplyHeader().isError() ? kErrorReply : "";
}

SignalSample takeSample(WirelessCard& card) {
    SignalSample sample{utcNow(), {}, {}};
    sample.failure = failureOf(card, [&] {
        CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR signal;
        card.getRssiEcloForCDMAndHDR(signal);
        // RSSI values are 16-bit two's complement; Ec/Io as the card reports it.
        sample.values = {static_cast<short>(signal.cdmaRssi), signal.cdmaEcio,
                         static_cast<short>(signal.hdrRssi), signal.hdrEcio};
    });
    return sample;
}

WatchStart readStart(WirelessCard& card, const Options& options) {
    WatchStart start{card.portPath(), "", "", options.interval};
    std::string failure = failureOf(card, [&] { start.model = card.getModemTypeName(); });
    if (!failure.empty()) {
        start.model = "unknown (" + failure + ")";
    }
    failure = failureOf(card, [&] { start.hybrid = card.getHybridMode() ? "on" : "off"; });
    if (!failure.empty()) {
        start.hybrid = "unknown (" + failure + ")";
    }
    return start;
}

bool writesToTerminal(const std::ostream& out) {
    return out.rdbuf() == std::cout.rdbuf() && ::isatty(STDOUT_FILENO) == 1;
}

// A plain decimal number with at most `places` decimals, scaled by
// 10^places: "0.25" with 3 places is 250. None for anything else.
std::optional<unsigned long long> scaledDecimal(const std::string& text, std::size_t places) {
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string whole = text.substr(0, point);
    std::string decimals = point < text.size() ? text.substr(point + 1) : "";
    const auto digitsOnly = [](const std::string& part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > kMostDigits || !digitsOnly(whole) ||
        !digitsOnly(decimals) || decimals.size() > places ||
        (point < text.size() && decimals.empty())) {
        return std::nullopt;
    }
    decimals.resize(places, '0');
    unsigned long long value = 0;
    for (const char digit : whole + decimals) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    return value;
}

}  // namespace

std::string parseWatchValue(const std::string& option, const std::string& value, Options& options) {
    if (option == "--interval") {
        const auto ms = scaledDecimal(value, 3);
        if (!ms || *ms < kShortestIntervalMs || *ms > kLongestIntervalMs) {
            return "--interval takes seconds from 0.1 to 3600 (at most three decimals), not '" +
                   value + "'";
        }
        options.interval = milliseconds(*ms);
        return {};
    }
    const auto count = scaledDecimal(value, 0);
    if (!count || *count == 0) {
        return "--count takes a whole number of samples from 1, not '" + value + "'";
    }
    options.count = static_cast<unsigned long>(*count);
    return {};
}

int watch(WirelessCard& card, const Options& options, std::ostream& out, std::ostream& err) {
    const StopSignals stop;
    const std::unique_ptr<WatchOutput> output = options.json || !writesToTerminal(out)
                                                    ? makeWatchLog(out, err, options.json)
                                                    : makeWatchScreen(out);
    output->start(readStart(card, options));
    SignalStats stats;
    const Clock::time_point first = Clock::now();
    Clock::time_point next = first;
    while (options.count == 0 || stats.taken() < options.count) {
        stop.waitUntil(next);
        if (stop.requested()) {
            break;
        }
        const Clock::time_point start = Clock::now();
        const SignalSample sample = takeSample(card);
        stats.add(sample);
        output->sample(sample, stats, std::chrono::duration_cast<milliseconds>(start - first));
        if (!out) {
            // A closed pipe (| head) ends the watch quietly.
            if (errno != EPIPE) {
                err << "quorvexcard: writing the output failed: " << std::strerror(errno)
                    << std::endl;
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
