#include "sim/HostileModem.h"

#include <algorithm>
#include <memory>

#include "cns/CnsImp.h"
#include "sim/FlakyLine.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

constexpr unsigned short kRssi = 0x1001;
constexpr unsigned short kRoamingStatus = 0x1007;
constexpr unsigned short kRssiEcio = 0x1065;
constexpr unsigned char kReply = 0x02;

Bytes reply(unsigned short value) {
    return replyFrame(kRssi, kReply, value16(value));
}

// The get request for the RSSI, as the card sends it.
Bytes rssiRequest() {
    CnsImp request;
    request.setCnsObjectForGet(kRssi);
    int size = 0;
    const std::unique_ptr<unsigned char[]> frame(request.getCnsDataForQuery(size));
    return Bytes(frame.get(), frame.get() + size);
}

void add(Hostile& hostile, SimulatedModem::Answer::Piece piece) {
    hostile.lasts += piece.delay;
    hostile.answer.pieces.push_back(std::move(piece));
}

}  // namespace

Hostile HostileModems::next() {
    Hostile hostile;
    hostile.sent = value();
    const bool lost = choose(80) == 0;
    const bool tooLate = !lost && choose(80) == 0;
    bool flagNext = false;  // a torn frame ends only at the next flag
    for (std::size_t n = choose(4); n > 0; --n) {
        add(hostile, aroundTheReply(flagNext, hostile.sent));
    }
    if (!lost) {
        const milliseconds late = tooLate ? 1200ms : milliseconds(choose(3) == 0 ? choose(150) : 0);
        addInPieces(hostile, reply(hostile.sent), late);
        hostile.mustBeTaken = hostile.lasts < 600ms;
        flagNext = false;
    }
    for (std::size_t n = choose(3); n > 0; --n) {
        add(hostile, choose(3) == 0 ? SimulatedModem::Answer::Piece{reply(hostile.sent), gap()}
                                    : aroundTheReply(flagNext, hostile.sent));
    }
    return hostile;
}

std::size_t HostileModems::choose(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

unsigned short HostileModems::value() {
    return static_cast<unsigned short>(choose(0x10000));
}

unsigned short HostileModems::otherThan(unsigned short sent) {
    const unsigned short other = value();
    return other == sent ? static_cast<unsigned short>(sent + 1) : other;
}

milliseconds HostileModems::gap() {
    return milliseconds(choose(4) == 0 ? choose(30) : 0);
}

Bytes HostileModems::torn(unsigned short sent) {
    auto pick = [this](std::size_t n) { return choose(n); };
    const Bytes other = reply(otherThan(sent));
    switch (choose(4)) {
        case 0:
            return Bytes(other.begin(), other.begin() + 1 + static_cast<long>(choose(14)));
        case 1:
            return FlakyLine::withStrayBytes(other, pick);
        case 2: {
            // An overrun into another object's reply, or into a repeat.
            const Bytes tail = choose(2) == 0
                                   ? replyFrame(kRoamingStatus, kReply, value16(otherThan(sent)))
                                   : reply(otherThan(sent));
            return FlakyLine::joined(other, 1 + choose(other.size() - 1), tail, pick);
        }
        default: {
            const auto escaped =
                static_cast<unsigned short>(choose(2) == 0 ? 0x7E00 | choose(256) : 0x007D);
            const Bytes whole = reply(escaped == sent ? 0x7D7D : escaped);
            const auto escape = std::find(whole.begin() + 15, whole.end(), 0x7D);
            return Bytes(whole.begin(), escape + 1);
        }
    }
}

SimulatedModem::Answer::Piece HostileModems::aroundTheReply(bool& flagNext, unsigned short sent) {
    Bytes bytes;
    switch (choose(flagNext ? 4 : 5)) {
        case 0:
            flagNext = true;
            return {torn(sent), gap()};
        case 1:
            bytes = replyFrame(kRoamingStatus, kReply, value16(otherThan(sent)));
            break;
        case 2:
            bytes = rssiRequest();  // an echo
            break;
        case 3:
            bytes = replyFrame(kRssiEcio, kReply, {0x00, 0x4B, 0x00, 0x08});
            break;
        default:
            bytes = {0x55, 0x00, 0x7D, 0x4B};  // noise between frames
            break;
    }
    flagNext = false;
    return {bytes, gap()};
}

void HostileModems::addInPieces(Hostile& hostile, const Bytes& frame, milliseconds late) {
    std::size_t from = 0;
    for (std::size_t pieces = 1 + choose(3); from < frame.size(); --pieces) {
        const std::size_t to = pieces == 1 ? frame.size() : from + 1 + choose(frame.size() - from);
        add(hostile, {Bytes(frame.begin() + static_cast<long>(from),
                            frame.begin() + static_cast<long>(std::min(to, frame.size()))),
                      from == 0 ? late : gap()});
        from = to;
    }
}
