#include "card/PortLock.h"

#include <sys/file.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

namespace {

using Clock = LockBudget::Clock;

// How often a busy lock is tried again; well inside any turn gap.
constexpr std::chrono::milliseconds kRetryPeriod{5};

void sleepFor(Clock::duration duration) {
    if (duration <= Clock::duration::zero()) {
        return;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
    timespec left{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    // A signal cuts the sleep short; the caller's clock decides what is left.
    ::nanosleep(&left, &left);
}

}  // namespace

// Longer waits are taken as no limit (and stay clear of overflow in the
// clock's finer unit).
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24);

LockBudget::LockBudget(const LockWait& wait)
    : wait(wait), runLeft(std::min(wait.perRun, kLongestWait)) {
    this->wait.perTransaction = std::min(wait.perTransaction, kLongestWait);
    this->wait.turnGap = std::min(wait.turnGap, kLongestWait);
}

Clock::duration LockBudget::nextWait() const {
    return std::min<Clock::duration>(wait.perTransaction, runLeft);
}

void LockBudget::spend(Clock::duration waited) {
    runLeft = std::max(runLeft - waited, Clock::duration::zero());
}

PortLock::PortLock(int fd, LockBudget& budget) : fd(fd), budget(budget) {
    for (Clock::time_point now = Clock::now(); now < budget.turnOver(); now = Clock::now()) {
        sleepFor(budget.turnOver() - now);
    }
    const Clock::time_point start = Clock::now();
    const Clock::time_point giveUp = start + budget.nextWait();
    while (!tryLock()) {
        const Clock::time_point now = Clock::now();
        if (now >= giveUp) {
            busy = true;
            break;
        }
        sleepFor(std::min<Clock::duration>(kRetryPeriod, giveUp - now));
    }
    budget.spend(Clock::now() - start);
}

PortLock::~PortLock() {
    if (locked) {
        ::flock(fd, LOCK_UN);
        budget.released();
    }
}

bool PortLock::tryLock() {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result == -1 && errno == EINTR);
    if (result == 0) {
        locked = true;
        return true;
    }
    // Only another holder makes the port busy. A port that cannot be locked
    // at all (no lock support behind it) is used as before, unlocked.
    return errno != EWOULDBLOCK;
}
