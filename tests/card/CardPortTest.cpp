// The port on its own: the frame reader on the pseudo-terminal, and the lock
// that keeps one conversation at a time on it, across processes.
#include "card/CardPort.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "card/PortLock.h"
#include "sim/Sandbox.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"
#include "support/LineStream.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Result = CardPort::FrameReader::Result;

using CardPortTest = CardOnSimulatedModem;

TEST_F(CardPortTest, ReaderHandsOutOneFrameAtATime) {
    const Bytes first = replyFrame(OBJ_RSSI, 0x02, value16(75));
    const Bytes second = replyFrame(OBJ_ROAMING_STATUS, 0x02, {0x7E, 0x01});
    const Bytes cut = {0x7E, 0x00, 0x0C};
    modem.sendUnsolicited(concat(concat({0x55}, first), concat(second, cut)));
    std::this_thread::sleep_for(50ms);

    const CardPort::NonBlockingMode nonBlocking(card.descriptor());
    CardPort::FrameReader reader;
    const auto deadline = Clock::now() + 200ms;
    ASSERT_EQ(reader.next(card.descriptor(), deadline), Result::Frame);
    EXPECT_TRUE(sameBytes(first, reader.frame(), reader.frameSize()));
    ASSERT_EQ(reader.next(card.descriptor(), deadline), Result::Frame);
    EXPECT_TRUE(sameBytes(second, reader.frame(), reader.frameSize()));
    EXPECT_EQ(reader.next(card.descriptor(), deadline), Result::Incomplete);
    EXPECT_TRUE(sameBytes(cut, reader.frame(), reader.frameSize()));
    EXPECT_GE(Clock::now(), deadline);
}

// A line that tears frames, loses bytes (a frame's tail, or the run from
// one frame into another), drops stray flags and carries noise, read in
// pieces of any size: exactly the frames sent whole come out, in order, and
// each torn one is counted as torn.
TEST(FrameBufferTest, HandsOutExactlyTheWholeFramesOfAFlakyLine) {
    std::mt19937 random(20261208);
    const auto choose = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int line = 0; line < 3000; ++line) {
        const FlakyLine::Stream stream = FlakyLine::makeStream(choose, 1 + choose(12));
        const LineStream::Split split = LineStream::split(stream.bytes, choose);
        ASSERT_FALSE(split.overflowed) << hex(stream.bytes);
        ASSERT_EQ(split.frames, stream.wholeFrames) << hex(stream.bytes);
        ASSERT_EQ(split.tornFrames, stream.tornFrames) << hex(stream.bytes);
    }
}

// Holds the port's lock from another open, as another program would.
class OtherProgram {
public:
    explicit OtherProgram(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        EXPECT_NE(fd, -1) << "open: " << std::strerror(errno);
        EXPECT_EQ(::flock(fd, LOCK_EX), 0) << "flock: " << std::strerror(errno);
    }
    ~OtherProgram() { ::close(fd); }
    void release() { EXPECT_EQ(::flock(fd, LOCK_UN), 0) << "flock: " << std::strerror(errno); }

private:
    int fd;
};

TEST_F(CardPortTest, BusyPortIsWaitedForWithinTheRunsSecond) {
    modem.answerValue(OBJ_RSSI, 75);
    OtherProgram other(modem.devicePath());
    std::string errors;
    auto start = Clock::now();
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::PORT_BUSY);
    EXPECT_GE(Clock::now() - start, 950ms);
    EXPECT_LE(Clock::now() - start, 1200ms + launcherAllowance());
    EXPECT_EQ(errors, "Port " + modem.devicePath() + " is in use by another program.\n");

    start = Clock::now();  // the run's second is spent: no more waiting
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::PORT_BUSY);
    EXPECT_LE(Clock::now() - start, 50ms + launcherAllowance());
    other.release();
    EXPECT_EQ(card.getRssi(), -75);
    EXPECT_EQ(modem.requests().size(), 1u) << "nothing was written while the port was busy";
}

TEST_F(CardPortTest, PortReleasedWithinTheWaitIsTaken) {
    modem.answerValue(OBJ_RSSI, 75);
    OtherProgram other(modem.devicePath());
    std::thread releaser([&] {
        std::this_thread::sleep_for(300ms);
        other.release();
    });
    const auto start = Clock::now();
    EXPECT_EQ(card.getRssi(), -75);
    releaser.join();
    EXPECT_GE(Clock::now() - start, 290ms);
}

// Waiting for the lock and for a stalled line share the run's second.
TEST_F(CardPortTest, LockAndWriteWaitsShareTheRunsSecond) {
    OtherProgram other(modem.devicePath());
    std::thread releaser([&] {
        std::this_thread::sleep_for(600ms);
        other.release();
    });
    modem.stall();
    std::string errors;
    const auto start = Clock::now();
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_LE(Clock::now() - start, 1200ms + launcherAllowance());
    releaser.join();
    EXPECT_EQ(errors,
              "Error writing Connection timed out\n"
              "Reply of 0 bytes holds no value at offset 15.\n");
}

TEST_F(CardPortTest, HolderKilledMidTransactionFreesThePort) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0) << std::strerror(errno);
    const pid_t holder = ::fork();
    ASSERT_NE(holder, -1) << "fork: " << std::strerror(errno);
    if (holder == 0) {
        const int fd = ::open(modem.devicePath().c_str(), O_RDWR | O_NOCTTY);
        const bool locked = fd != -1 && ::flock(fd, LOCK_EX) == 0;
        (void)!::write(ready[1], &locked, 1);
        ::pause();
        ::_exit(0);
    }
    bool locked = false;
    EXPECT_EQ(::read(ready[0], &locked, 1), 1);
    EXPECT_TRUE(locked);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(holder, SIGKILL);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);

    modem.answerValue(OBJ_RSSI, 75);
    const auto start = Clock::now();
    EXPECT_EQ(card.getRssi(), -75);
    EXPECT_LE(Clock::now() - start, 200ms + launcherAllowance());
}

TEST(PortLockTest, TurnGapKeepsThePortFreeAfterARelease) {
    const std::string path = testing::TempDir() + "quorvex_lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_NE(fd, -1) << "open: " << std::strerror(errno);
    LockBudget budget({1000ms, 1000ms, 100ms});
    { const PortLock first(fd, budget); }
    const auto start = Clock::now();
    {
        const PortLock second(fd, budget);
        EXPECT_TRUE(second.acquired());
    }
    EXPECT_GE(Clock::now() - start, 90ms);
    ::close(fd);
    ::unlink(path.c_str());
}

}  // namespace
