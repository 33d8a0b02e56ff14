// The watch's stop signals. SIGINT, SIGTERM and SIGHUP set a flag; they are
// blocked except inside the wait for the next sample, which they end, so
// that a signal never cuts a transaction or a line of output short. SIGPIPE
// is ignored, so that a closed pipe shows as EPIPE. Everything is put back
// by the destructor. A stop signal that was ignored when the tool started
// (nohup) stays ignored.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstddef>

namespace CardTool {

class StopSignals {
public:
    using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool requested() const;

    // Waits until `deadline` or a stop signal; a signal already pending ends
    // it at once, even when the deadline has passed.
    void waitUntil(Clock::time_point deadline) const;

private:
    static constexpr std::size_t kCount = 3;

    struct sigaction previous[kCount] {};
    struct sigaction previousPipe {};
    sigset_t previousMask{};
    sigset_t waitMask{};
};

}  // namespace CardTool
