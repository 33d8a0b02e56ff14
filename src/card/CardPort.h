// The modem's serial port as bytes in and out, each step against a deadline.
//
// openTerminal opens the device and refuses anything that is not a terminal.
// writeWithin hands a request to the port, waiting for it to take the bytes
// only until its deadline. FrameReader collects one complete frame from what
// the port sends, in as many pieces as it comes, until its deadline. The
// card (WirelessCard) runs these under its PortLock, the descriptor in
// non-blocking mode (NonBlockingMode) for the transaction.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace CardPort {

using Clock = std::chrono::steady_clock;

// open(path, O_RDWR | O_NOCTTY); a descriptor that is not a terminal is
// closed before anything reaches it. -1 with errno set on failure.
int openTerminal(const char* path);

// O_NONBLOCK on the descriptor for the object's life.
class NonBlockingMode {
public:
    explicit NonBlockingMode(int fd);
    ~NonBlockingMode();
    NonBlockingMode(const NonBlockingMode&) = delete;
    NonBlockingMode& operator=(const NonBlockingMode&) = delete;

private:
    int fd;
    int savedFlags;
};

enum class Readiness { Ready, TimedOut, Failed };
enum class Direction { Read, Write };

// select() on the descriptor until it is ready or `deadline` passes.
// Failed (errno set) when select fails or cannot watch the descriptor.
Readiness waitFor(int fd, Direction direction, Clock::time_point deadline);

// Writes all `count` bytes, waiting for the port to take them only until
// `deadline`: false with errno set (ETIMEDOUT when time ran out) otherwise.
bool writeWithin(int fd, const unsigned char* bytes, std::size_t count, Clock::time_point deadline);

// The bytes of one reply: at most kReadSize of them are held at a time.
class FrameReader {
public:
    static constexpr std::size_t kReadSize = 125;

    enum class Result {
        Frame,        // a complete frame is at frame()
        NothingCame,  // no frame began before the deadline
        Incomplete,   // a frame began but did not end: before the deadline,
                      // or within kReadSize bytes
        Failed,       // the wait failed (errno set)
    };

    // Reads until a complete frame is in or `deadline` passes. The frame the
    // previous call found is dropped first; bytes before a frame's opening
    // flag are dropped too. While a frame is incomplete the port is read
    // every few milliseconds even when select does not report it readable:
    // with VMIN 5 it reports nothing for a last piece of 1 to 4 bytes.
    Result next(int fd, Clock::time_point deadline);

    const unsigned char* frame() const { return buffer.data(); }
    // The complete frame's size, or what is held of an incomplete one.
    std::size_t frameSize() const { return frameEnd != 0 ? frameEnd : count; }

private:
    void dropLeadingBytes(std::size_t drop);
    bool readAvailable(int fd);

    std::array<unsigned char, kReadSize> buffer{};
    std::size_t count = 0;
    std::size_t frameEnd = 0;
};

}  // namespace CardPort
