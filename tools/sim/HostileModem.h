// Modems on a flaky link, for the card's tests. Around each RSSI reply they
// send torn frames (RSSI replies of other values broken off inside the
// header or right after an escape byte, or anywhere and followed by stray
// bytes, or joined by an overrun to the tail of another frame; never one
// that happens to be as long as it says), the reply in pieces and late,
// frames of other objects, an echo of the request, duplicates and line
// noise; now and then the reply is lost or comes too late. The same seed
// gives the same modems.
#pragma once

#include <chrono>
#include <cstddef>
#include <random>

#include "sim/SimulatedModem.h"

struct Hostile {
    SimulatedModem::Answer answer;
    unsigned short sent = 0;             // the value of the RSSI reply
    bool mustBeTaken = false;            // its bytes are all sent within 0.6 s
    std::chrono::milliseconds lasts{0};  // until the modem has sent everything
};

class HostileModems {
public:
    explicit HostileModems(unsigned seed) : random(seed) {}

    Hostile next();

private:
    std::size_t choose(std::size_t n);
    unsigned short value();
    unsigned short otherThan(unsigned short sent);
    std::chrono::milliseconds gap();
    Bytes torn(unsigned short sent);
    SimulatedModem::Answer::Piece aroundTheReply(bool& flagNext, unsigned short sent);
    void addInPieces(Hostile& hostile, const Bytes& frame, std::chrono::milliseconds late);

    std::mt19937 random;
};
