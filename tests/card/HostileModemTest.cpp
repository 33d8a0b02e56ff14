// Random hostile modems on the pseudo-terminal (tools/sim/HostileModem):
// whatever a flaky link and a confused modem send around the reply, the
// card gives the value the modem sent as the reply to that request, or
// takes the failure road, and never another value.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/HostileModem.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"

namespace {

using namespace std::chrono_literals;

using HostileModemTest = CardOnSimulatedModem;

TEST_F(HostileModemTest, NoValueButTheOneSentAsTheReply) {
    HostileModems modems(20261208);
    int taken = 0;
    for (int run = 0; run < 200; ++run) {
        const Hostile hostile = modems.next();
        modem.answer(CnsObjects::OBJ_RSSI, hostile.answer);
        const std::string sent = hex(hostile.answer.bytes());
        const auto start = std::chrono::steady_clock::now();
        short rssi = 0;
        std::string errors;
        if (!this->run([&] { rssi = card.getRssi(); }, errors)) {
            ASSERT_EQ(rssi, static_cast<short>(-hostile.sent)) << sent << "\n" << errors;
            ++taken;
        } else {
            ASSERT_FALSE(hostile.mustBeTaken) << sent << "\n" << errors;
        }
        // Whatever the modem still sends belongs to this run alone.
        std::this_thread::sleep_until(start + hostile.lasts + 20ms);
    }
    EXPECT_GE(taken, 180);
}

}  // namespace
