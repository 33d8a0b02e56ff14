#include "sim/SimulatedModem.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace {

constexpr unsigned char kFlag = 0x7E;
constexpr unsigned char kEscape = 0x7D;
constexpr unsigned char kReply = 0x02;
constexpr unsigned char kErrorBit = 0x80;
// Requests are at least 17 bytes: a flag before offset 16 is no closing flag.
constexpr std::size_t kMinimumRequest = 17;
constexpr int kPollMilliseconds = 10;

[[noreturn]] void failed(const char* call) {
    throw std::system_error(errno, std::generic_category(), call);
}

void writeAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n == -1 && errno == EINTR) {
            continue;
        }
        if (n == -1) {
            return;  // the card went away; nothing to answer
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

Bytes replyFrame(unsigned short object, unsigned char operation, const Bytes& parameter) {
    const auto length = static_cast<unsigned short>(10 + parameter.size());
    Bytes frame = {kFlag,
                   static_cast<unsigned char>(length >> 8),
                   static_cast<unsigned char>(length),
                   0x2B,
                   0x00,
                   static_cast<unsigned char>(object >> 8),
                   static_cast<unsigned char>(object),
                   operation,
                   0x00,
                   0x00,
                   0x00,
                   0x00,
                   0x00,
                   0x00,
                   static_cast<unsigned char>(parameter.size())};
    for (const unsigned char b : parameter) {
        if (b == kFlag || b == kEscape) {
            frame.push_back(kEscape);
            frame.push_back(b ^ 0x20);
        } else {
            frame.push_back(b);
        }
    }
    frame.push_back(kFlag);
    return frame;
}

Bytes value16(unsigned short value) {
    return {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

SimulatedModem::Answer SimulatedModem::Answer::after(std::chrono::milliseconds wait) const {
    Answer late = *this;
    if (!late.pieces.empty()) {
        late.pieces.front().delay = wait;
    }
    return late;
}

SimulatedModem::Answer SimulatedModem::Answer::then(const Answer& next) const {
    Answer both = *this;
    both.pieces.insert(both.pieces.end(), next.pieces.begin(), next.pieces.end());
    return both;
}

SimulatedModem::Answer SimulatedModem::Answer::inPieces(const std::vector<std::size_t>& cuts,
                                                        std::chrono::milliseconds gap) const {
    const Bytes all = bytes();
    Answer cut;
    std::size_t from = 0;
    for (const std::size_t to : cuts) {
        cut.pieces.push_back({Bytes(all.begin() + from, all.begin() + to), gap});
        from = to;
    }
    cut.pieces.push_back({Bytes(all.begin() + from, all.end()), gap});
    cut.pieces.front().delay = pieces.empty() ? gap : pieces.front().delay;
    return cut;
}

Bytes SimulatedModem::Answer::bytes() const {
    Bytes all;
    for (const Piece& piece : pieces) {
        all.insert(all.end(), piece.bytes.begin(), piece.bytes.end());
    }
    return all;
}

SimulatedModem::Answer SimulatedModem::reply(unsigned short object, const Bytes& parameter) {
    return raw(replyFrame(object, kReply, parameter));
}

SimulatedModem::Answer SimulatedModem::errorReply(unsigned short object, const Bytes& parameter) {
    return raw(replyFrame(object, kReply | kErrorBit, parameter));
}

SimulatedModem::Answer SimulatedModem::raw(Bytes bytes) {
    return {{{std::move(bytes)}}};
}

SimulatedModem::Answer SimulatedModem::mute() {
    return {};
}

SimulatedModem::Answer SimulatedModem::hangUp() {
    Answer line;
    line.pieces.push_back({{}, std::chrono::milliseconds(0), true});
    return line;
}

SimulatedModem::SimulatedModem() {
    openLine();
    server = std::thread([this] { serve(); });
}

SimulatedModem::~SimulatedModem() {
    stopping = true;
    server.join();
    for (const int fd : {master.load(), slave}) {
        if (fd != -1) {
            ::close(fd);
        }
    }
}

void SimulatedModem::openLine() {
    // posix_openpt rather than openpty: valgrind knows every ioctl it makes.
    const int line = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line == -1) {
        failed("posix_openpt");
    }
    char name[128];
    if (::grantpt(line) == -1 || ::unlockpt(line) == -1 ||
        ::ptsname_r(line, name, sizeof name) != 0) {
        ::close(line);
        failed("grantpt/unlockpt/ptsname_r");
    }
    const int held = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (held == -1) {
        ::close(line);
        failed("open pseudo-terminal slave");
    }
    // The slave stays open here too, so that the master never sees a hang-up
    // between the card's open and close.
    if (slave != -1) {
        ::close(slave);
    }
    slave = held;
    slavePath = name;
    master = line;
}

const std::string& SimulatedModem::comeBack() {
    openLine();
    return slavePath;
}

void SimulatedModem::answer(unsigned short object, Answer answer) {
    const std::lock_guard<std::mutex> guard(lock);
    answers[object] = std::move(answer);
}

void SimulatedModem::answerInTurn(unsigned short object, std::vector<Answer> inTurn) {
    const std::lock_guard<std::mutex> guard(lock);
    turns[object] = {std::move(inTurn), 0};
}

void SimulatedModem::sendUnsolicited(const Bytes& bytes) {
    writeAll(master, bytes);
}

void SimulatedModem::answerValue(unsigned short object, unsigned short value) {
    answer(object, reply(object, value16(value)));
}

void SimulatedModem::releasePort() {
    ::close(slave);
    slave = -1;
}

std::vector<Bytes> SimulatedModem::requests() const {
    const std::lock_guard<std::mutex> guard(lock);
    return received;
}

std::string SimulatedModem::unframedBytes() const {
    const std::lock_guard<std::mutex> guard(lock);
    return unframed;
}

bool SimulatedModem::becameControllingTerminal() const {
    const std::lock_guard<std::mutex> guard(lock);
    return controllingTerminal;
}

void SimulatedModem::stall() {
    stalled = true;
    // Let the server finish the read it may be in, then fill what it left.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kPollMilliseconds));
    const int writer = ::open(slavePath.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (writer == -1) {
        failed("open pseudo-terminal slave");
    }
    // Output processing stops short of a full line: fill it raw, then give
    // the port its settings back.
    termios saved{};
    const bool hadSettings = ::tcgetattr(writer, &saved) == 0;
    termios raw = saved;
    ::cfmakeraw(&raw);
    ::tcsetattr(writer, TCSANOW, &raw);
    // The kernel moves bytes on to the master's line discipline in the
    // background, which frees room again: fill until it stays full.
    const unsigned char filler[512] = {};
    bool tookMore = true;
    while (tookMore) {
        tookMore = false;
        while (::write(writer, filler, sizeof filler) > 0) {
            tookMore = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * kPollMilliseconds));
    }
    if (hadSettings) {
        ::tcsetattr(writer, TCSANOW, &saved);
    }
    ::close(writer);
}

void SimulatedModem::serve() {
    unsigned char buffer[256];
    while (!stopping) {
        if (stalled || master == -1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
            continue;
        }
        pollfd watch{master, POLLIN, 0};
        const int ready = ::poll(&watch, 1, kPollMilliseconds);
        if (ready > 0 && (watch.revents & POLLHUP)) {
            // No slave open (after releasePort): wait for the card's open.
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
            continue;
        }
        if (ready <= 0 || !(watch.revents & POLLIN)) {
            continue;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            handleInput(buffer, static_cast<std::size_t>(n));
        }
    }
}

void SimulatedModem::handleInput(const unsigned char* bytes, std::size_t count) {
    pending.insert(pending.end(), bytes, bytes + count);
    for (;;) {
        const auto start = std::find(pending.begin(), pending.end(), kFlag);
        {
            const std::lock_guard<std::mutex> guard(lock);
            unframed.append(pending.begin(), start);
        }
        pending.erase(pending.begin(), start);
        if (pending.size() < kMinimumRequest) {
            return;
        }
        const auto end = std::find(pending.begin() + static_cast<long>(kMinimumRequest) - 1,
                                   pending.end(), kFlag);
        if (end == pending.end()) {
            return;
        }
        const Bytes request(pending.begin(), end + 1);
        pending.erase(pending.begin(), end + 1);
        respond(request);
    }
}

void SimulatedModem::respond(const Bytes& request) {
    const auto object = static_cast<unsigned short>(request[5] << 8 | request[6]);
    Answer chosen;
    {
        const std::lock_guard<std::mutex> guard(lock);
        received.push_back(request);
        // On the master side this asks for the session of the slave side.
        controllingTerminal = controllingTerminal || ::tcgetsid(master) != -1;
        const auto found = answers.find(object);
        const auto inTurn = turns.find(object);
        if (inTurn != turns.end() && !inTurn->second.answers.empty()) {
            Turns& t = inTurn->second;
            chosen = t.answers[t.next++ % t.answers.size()];
        } else if (found != answers.end()) {
            chosen = found->second;
        } else {
            return;
        }
    }
    for (const Answer::Piece& piece : chosen.pieces) {
        std::this_thread::sleep_for(piece.delay);
        if (piece.hangUp) {
            ::close(master.exchange(-1));
            pending.clear();
            return;
        }
        writeAll(master, piece.bytes);
    }
}
