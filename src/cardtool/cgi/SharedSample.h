// The signal page's one sample, shared by every request of every viewer
// through two small files under /tmp: the sample, replaced whole
// (OutputFile's replaceFile), and the sampler's lock, which the first
// request to find the sample stale takes without waiting.
//
// /tmp is writable by anyone: neither file is followed through a link, and
// a file that is not a plain one of this user's (planted there by another)
// is neither read nor locked.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "cardtool/watch/WatchSample.h"

namespace CardTool {

constexpr const char* kSharedSamplePath = "/tmp/quorvexcard-signal";
constexpr const char* kSamplerLockPath = "/tmp/quorvexcard-signal.lock";

// The clock the sample's age is counted on: the system's monotonic clock,
// the same in every process and never set back.
std::chrono::milliseconds monotonicNow();

struct SharedSample {
    std::optional<std::chrono::milliseconds> sampledAt;  // none: no sample taken
    SignalSample signal{"", {}, "", {}};
    std::string port;          // the port sampled; "" when none was found
    std::string model;         // the model name on that port; "" when not known
    std::string modelFailure;  // why the model name is not known

    // Whether it was taken less than `interval` ago.
    bool freshAt(std::chrono::milliseconds now, std::chrono::milliseconds interval) const;
};

// The file's text: one "key value" line per field; values are on one line.
std::string sharedSampleText(const SharedSample& sample);
// None for a text that is not a whole sample.
std::optional<SharedSample> parseSharedSample(const std::string& text);

// The sample at kSharedSamplePath; none when there is none, or none of ours.
std::optional<SharedSample> readSharedSample();
// Replaces it; "" or the system's reason.
std::string writeSharedSample(const SharedSample& sample);

// The lock at kSamplerLockPath, opened without following a link; dropped
// when this goes.
class SamplerLock {
public:
    SamplerLock();
    ~SamplerLock();
    SamplerLock(const SamplerLock&) = delete;
    SamplerLock& operator=(const SamplerLock&) = delete;

    // "" when the lock file is usable, else why not.
    const std::string& failure() const { return why; }
    // Takes the lock if nobody holds it; never waits.
    bool tryTake();
    // Waits at most `bound` for the sampler that holds it to finish.
    void awaitSampler(std::chrono::milliseconds bound);

private:
    int fd = -1;
    std::string why;
};

}  // namespace CardTool
