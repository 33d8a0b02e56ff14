// The modem's serial port as bytes in and out, each step against a deadline.
//
// openTerminal opens the device and refuses anything that is not a terminal.
// writeWithin hands a request to the port, waiting for it to take the bytes
// only until its deadline. FrameReader collects one frame from what the port
// sends, in as many pieces as it comes, until its deadline; FrameBuffer is
// its rule of where frames begin and end (CnsFrame::locateFrame), on bytes. The
// card (WirelessCard) runs these under its PortLock, the descriptor in
// non-blocking mode (NonBlockingMode) for the transaction.
#pragma once

#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>

namespace CardPort {

using Clock = std::chrono::steady_clock;

// Whether a failed call's errno says the port itself is gone: the modem
// reset or was unplugged, and the kernel hung its terminal up.
constexpr bool meansPortGone(int errorNumber) {
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV;
}

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

// The bytes read from the line, held until they make a frame; no I/O of
// its own, so that the rule can be tried on any stream of bytes.
class FrameBuffer {
public:
    static constexpr std::size_t kSize = 125;

    enum class Held {
        Frame,  // a complete frame is at frame()
        Torn,   // a torn frame is at frame(); the flag after it opens the next
        Open,   // no frame yet: what is held of one begun, if any, is at frame()
    };

    // Drops the frame or torn frame handed out last, then the bytes before
    // the next opening flag, and says what the held bytes make.
    Held next();
    // Takes up to `count` bytes, as many as there is room for; how many.
    std::size_t append(const unsigned char* bytes, std::size_t count);

    unsigned char* space() { return buffer.data() + count; }
    std::size_t room() const { return buffer.size() - count; }
    void received(std::size_t bytes) { count += bytes; }

    const unsigned char* frame() const { return buffer.data(); }
    // The frame's or torn frame's size, or what is held of an open one.
    std::size_t frameSize() const { return handedOut != 0 ? handedOut : count; }

private:
    void dropLeadingBytes(std::size_t drop);

    std::array<unsigned char, kSize> buffer{};
    std::size_t count = 0;
    std::size_t handedOut = 0;
};

// The frames of one reply's wait: at most FrameBuffer::kSize bytes are held
// at a time.
class FrameReader {
public:
    static constexpr std::size_t kReadSize = FrameBuffer::kSize;

    enum class Result {
        Frame,        // a complete frame is at frame()
        Torn,         // a frame broken off, or not as long as it says, at frame()
        NothingCame,  // no frame began before the deadline
        Incomplete,   // a frame began but did not end: before the deadline,
                      // or within kReadSize bytes
        Failed,       // the wait failed (errno set)
        HungUp,       // the port is gone (goneError() says why)
    };

    // Reads until a complete or torn frame is in or `deadline` passes. The
    // frame the previous call found is dropped first; bytes before a
    // frame's opening flag are dropped too. While a frame is incomplete the
    // port is read every few milliseconds even when select does not report
    // it readable: with VMIN 5 it reports nothing for a last piece of 1 to 4
    // bytes.
    Result next(int fd, Clock::time_point deadline);

    const unsigned char* frame() const { return held.frame(); }
    // The complete or torn frame's size, or what is held of an incomplete one.
    std::size_t frameSize() const { return held.frameSize(); }
    // After HungUp: the read's errno, or EIO when a readable port read
    // nothing (a hang-up: EIO is what every later call on it returns).
    int goneError() const { return gone; }

private:
    enum class Read { Bytes, Nothing, EndOfFile, Gone };
    Read readAvailable(int fd);

    FrameBuffer held;
    int gone = 0;
};

}  // namespace CardPort
