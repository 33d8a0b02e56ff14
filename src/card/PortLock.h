// One conversation with the modem at a time, across processes.
//
// A PortLock holds an exclusive flock(2) on the open port for one
// transaction (or for the open's flush and serial settings) and drops it
// when it goes out of scope; the kernel drops it too when the process dies.
// The lock lives on the device's inode, so a link to the port shares it, and
// any other program that locks the port the same way is respected.
//
// Waiting for it is bounded by a LockBudget: at most `perTransaction` for
// one lock and `perRun` over the budget's life (the card also counts its
// waits for a slow line to take a request against it). After releasing, a card
// leaves the port free for `turnGap` before it takes it again, so that a
// program waiting for the port gets its turn between two transactions.
#pragma once

#include <chrono>

struct LockWait {
    std::chrono::milliseconds perTransaction;
    std::chrono::milliseconds perRun;
    std::chrono::milliseconds turnGap;
};

class LockBudget {
public:
    using Clock = std::chrono::steady_clock;

    explicit LockBudget(const LockWait& wait);

    // How long the next lock may be waited for.
    Clock::duration nextWait() const;
    void spend(Clock::duration waited);
    void released() { lastRelease = Clock::now(); }
    // When the turn gap after the last release is over.
    Clock::time_point turnOver() const { return lastRelease + wait.turnGap; }

private:
    LockWait wait;
    Clock::duration runLeft;
    Clock::time_point lastRelease{};
};

class PortLock {
public:
    PortLock(int fd, LockBudget& budget);
    ~PortLock();
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // False when another program held the port for the whole wait.
    bool acquired() const { return !busy; }

private:
    bool tryLock();

    int fd;
    LockBudget& budget;
    bool locked = false;
    bool busy = false;
};
