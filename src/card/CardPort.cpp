#include "card/CardPort.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cns/CnsFrame.h"

namespace CardPort {

namespace {

// How often a port holding part of a frame is read again.
constexpr std::chrono::milliseconds kPieceCheck{10};

timeval timeLeft(Clock::time_point deadline) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    return {static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
}

}  // namespace

int openTerminal(const char* path) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY);
    if (fd == -1 || ::isatty(fd)) {
        return fd;
    }
    const int notATerminal = errno;
    ::close(fd);
    errno = notATerminal;
    return -1;
}

NonBlockingMode::NonBlockingMode(int fd) : fd(fd), savedFlags(::fcntl(fd, F_GETFL)) {
    if (savedFlags != -1) {
        ::fcntl(fd, F_SETFL, savedFlags | O_NONBLOCK);
    }
}

NonBlockingMode::~NonBlockingMode() {
    if (savedFlags != -1) {
        ::fcntl(fd, F_SETFL, savedFlags);
    }
}

Readiness waitFor(int fd, Direction direction, Clock::time_point deadline) {
    if (fd >= FD_SETSIZE) {
        errno = EINVAL;  // select cannot watch it
        return Readiness::Failed;
    }
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval timeout = timeLeft(deadline);
        fd_set* const readSet = direction == Direction::Read ? &set : nullptr;
        fd_set* const writeSet = direction == Direction::Write ? &set : nullptr;
        errno = 0;
        const int ready = ::select(fd + 1, readSet, writeSet, nullptr, &timeout);
        if (ready > 0) {
            return Readiness::Ready;
        }
        if (ready == 0) {
            return Readiness::TimedOut;
        }
        // The probe installs no signal handler, but the field tool does: a
        // signal ends the wait early, and the deadline says what is left.
        if (errno != EINTR) {
            return Readiness::Failed;
        }
    }
}

bool writeWithin(int fd, const unsigned char* bytes, std::size_t count,
                 Clock::time_point deadline) {
    std::size_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd, bytes + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n == -1 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const Readiness ready = waitFor(fd, Direction::Write, deadline);
        if (ready == Readiness::TimedOut) {
            errno = ETIMEDOUT;
        }
        if (ready != Readiness::Ready) {
            return false;
        }
    }
    return true;
}

FrameBuffer::Held FrameBuffer::next() {
    dropLeadingBytes(handedOut);
    handedOut = 0;
    const CnsFrame::Location found = CnsFrame::locateFrame(buffer.data(), count);
    dropLeadingBytes(found.start);
    if (found.ending == CnsFrame::Ending::Open) {
        return Held::Open;
    }
    handedOut = found.size();
    return found.complete() ? Held::Frame : Held::Torn;
}

std::size_t FrameBuffer::append(const unsigned char* bytes, std::size_t offered) {
    const std::size_t taken = std::min(offered, room());
    std::memcpy(space(), bytes, taken);
    received(taken);
    return taken;
}

void FrameBuffer::dropLeadingBytes(std::size_t drop) {
    drop = std::min(drop, count);
    std::memmove(buffer.data(), buffer.data() + drop, count - drop);
    count -= drop;
}

FrameReader::Result FrameReader::next(int fd, Clock::time_point deadline) {
    for (;;) {
        switch (held.next()) {
            case FrameBuffer::Held::Frame:
                return Result::Frame;
            case FrameBuffer::Held::Torn:
                return Result::Torn;
            case FrameBuffer::Held::Open:
                break;
        }
        if (held.room() == 0) {
            return Result::Incomplete;
        }
        const bool partial = held.frameSize() > 0;
        if (Clock::now() >= deadline) {
            return partial ? Result::Incomplete : Result::NothingCame;
        }
        const auto waitUntil = partial ? std::min(deadline, Clock::now() + kPieceCheck) : deadline;
        const Readiness ready = waitFor(fd, Direction::Read, waitUntil);
        if (ready == Readiness::Failed) {
            return Result::Failed;
        }
        // After a timeout, a reply of 1 to 4 bytes (VMIN 5) or a last piece
        // may still be waiting unseen: read either way.
        const Read got = readAvailable(fd);
        // A terminal that was hung up is readable and reads its end; an idle
        // one reads 0 bytes too when another program set VMIN 0.
        if (got == Read::Gone || (got == Read::EndOfFile && ready == Readiness::Ready)) {
            return Result::HungUp;
        }
        if (ready == Readiness::Ready && got != Read::Bytes) {
            // Readable with nothing to read: nothing more will come.
            return partial ? Result::Incomplete : Result::NothingCame;
        }
    }
}

FrameReader::Read FrameReader::readAvailable(int fd) {
    ssize_t n;
    do {
        n = ::read(fd, held.space(), held.room());
    } while (n == -1 && errno == EINTR);
    if (n > 0) {
        held.received(static_cast<std::size_t>(n));
        return Read::Bytes;
    }
    if (n == 0) {
        gone = EIO;  // a hang-up, when the port was readable
        return Read::EndOfFile;
    }
    if (meansPortGone(errno)) {
        gone = errno;
        return Read::Gone;
    }
    return Read::Nothing;
}

}  // namespace CardPort
