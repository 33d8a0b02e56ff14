#include "cardtool/watch/StopSignals.h"

#include <sys/select.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>

#include "card/Diagnostics.h"

namespace CardTool {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

}  // namespace

static_assert(sizeof kStopSignals / sizeof kStopSignals[0] == 3, "one slot per stop signal");

StopSignals::StopSignals() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the wait must end
    sigset_t blocked;
    sigemptyset(&blocked);
    for (std::size_t i = 0; i < kCount; ++i) {
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

StopSignals::~StopSignals() {
    // Unblocked first, so that a stop signal still pending reaches the
    // handler rather than its default action.
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    for (std::size_t i = 0; i < kCount; ++i) {
        ::sigaction(kStopSignals[i], &previous[i], nullptr);
    }
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
}

bool StopSignals::requested() const {
    return stopRequested != 0;
}

void StopSignals::waitUntil(Clock::time_point deadline) const {
    do {
        const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout = {static_cast<time_t>(seconds.count()),
                                  static_cast<long>((left - seconds).count())};
        if (::pselect(0, nullptr, nullptr, nullptr, &timeout, &waitMask) == -1 && errno != EINTR) {
            Diagnostics::reportSystemError("pselect system call failed: ");
            return;
        }
    } while (!requested() && Clock::now() < deadline);
}

}  // namespace CardTool
