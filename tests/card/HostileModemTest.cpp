// Random hostile modems on the pseudo-terminal. Around the reply a flaky
// link and a confused modem send torn frames, the reply in pieces and late,
// frames of another object, an echo of the request, duplicates and line
// noise; the card gives the value the modem sent as the reply to that
// request, or takes the failure road, and never another value.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "card/WirelessCard.h"
#include "sim/SimulatedModem.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

struct Hostile {
    SimulatedModem::Answer answer;
    unsigned short sent = 0;   // the value of the RSSI reply
    bool mustBeTaken = false;  // the whole reply comes early in the second
    milliseconds lasts{0};     // until the modem has sent everything
};

class HostileModems {
public:
    explicit HostileModems(unsigned seed) : random(seed) {}

    Hostile next() {
        Hostile hostile;
        hostile.sent = value();
        const bool lost = choose(80) == 0;
        const bool tooLate = !lost && choose(80) == 0;
        bool flagNext = false;  // a torn frame ends only at the next flag
        for (std::size_t n = choose(4); n > 0; --n) {
            add(hostile, aroundTheReply(flagNext, hostile.sent));
        }
        if (!lost) {
            const milliseconds late =
                tooLate ? 1200ms : milliseconds(choose(3) == 0 ? choose(150) : 0);
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

private:
    std::size_t choose(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    }
    unsigned short value() { return static_cast<unsigned short>(choose(0x10000)); }
    unsigned short otherThan(unsigned short sent) {
        const unsigned short other = value();
        return other == sent ? static_cast<unsigned short>(sent + 1) : other;
    }
    milliseconds gap() { return milliseconds(choose(4) == 0 ? choose(30) : 0); }
    static Bytes reply(unsigned short value) { return replyFrame(OBJ_RSSI, 0x02, value16(value)); }

    // An RSSI reply of another value, broken off inside its header or
    // right after an escape byte.
    Bytes torn(unsigned short sent) {
        if (choose(2) == 0) {
            const Bytes whole = reply(otherThan(sent));
            return Bytes(whole.begin(), whole.begin() + 1 + static_cast<long>(choose(14)));
        }
        const auto escaped =
            static_cast<unsigned short>(choose(2) == 0 ? 0x7E00 | choose(256) : 0x007D);
        const Bytes whole = reply(escaped == sent ? 0x7D7D : escaped);
        const auto escape = std::find(whole.begin() + 15, whole.end(), 0x7D);
        return Bytes(whole.begin(), escape + 1);
    }

    SimulatedModem::Answer::Piece aroundTheReply(bool& flagNext, unsigned short sent) {
        Bytes bytes;
        switch (choose(flagNext ? 4 : 5)) {
            case 0:
                bytes = torn(sent);
                flagNext = true;
                return {bytes, gap()};
            case 1:
                bytes = replyFrame(OBJ_ROAMING_STATUS, 0x02, value16(otherThan(sent)));
                break;
            case 2:
                bytes = getRequestFor(OBJ_RSSI);  // an echo
                break;
            case 3:
                bytes = replyFrame(OBJ_RSSI_ECIO_CDMA_HDR, 0x02,
                                   concat(value16(otherThan(sent)), {1, 2}));
                break;
            default:
                bytes = {0x55, 0x00, 0x7D, 0x4B};  // noise between frames
                break;
        }
        flagNext = false;
        return {bytes, gap()};
    }

    void add(Hostile& hostile, SimulatedModem::Answer::Piece piece) {
        hostile.lasts += piece.delay;
        hostile.answer.pieces.push_back(std::move(piece));
    }

    void addInPieces(Hostile& hostile, const Bytes& frame, milliseconds late) {
        std::size_t from = 0;
        for (std::size_t pieces = 1 + choose(3); from < frame.size(); --pieces) {
            const std::size_t to =
                pieces == 1 ? frame.size() : from + 1 + choose(frame.size() - from);
            add(hostile, {Bytes(frame.begin() + static_cast<long>(from),
                                frame.begin() + static_cast<long>(std::min(to, frame.size()))),
                          from == 0 ? late : gap()});
            from = to;
        }
    }

    std::mt19937 random;
};

using HostileModemTest = CardOnSimulatedModem;

TEST_F(HostileModemTest, NoValueButTheOneSentAsTheReply) {
    HostileModems modems(20261208);
    int taken = 0;
    for (int run = 0; run < 200; ++run) {
        const Hostile hostile = modems.next();
        modem.answer(OBJ_RSSI, hostile.answer);
        const std::string what = hex(hostile.answer.bytes());
        const auto start = Clock::now();
        short rssi = 0;
        std::string errors;
        const auto error = this->run([&] { rssi = card.getRssi(); }, errors);
        if (!error) {
            ASSERT_EQ(rssi, static_cast<short>(-hostile.sent)) << what << "\n" << errors;
            ++taken;
        } else {
            ASSERT_FALSE(hostile.mustBeTaken) << what << "\n" << errors;
        }
        // Whatever the modem still sends belongs to this run alone.
        std::this_thread::sleep_until(start + hostile.lasts + 20ms);
    }
    EXPECT_GE(taken, 180);
}

}  // namespace
