// A card opened on a simulated modem's pseudo-terminal, closed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "card/WirelessCard.h"
#include "sim/SimulatedModem.h"
#include "support/Errors.h"

// The 17-byte get request for `object`.
inline Bytes getRequestFor(unsigned short object) {
    Bytes frame = {0x7E, 0x00, 0x0A, 0x2B, 0x00, 0x00, 0x00, 0x01, 0x00,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E};
    frame[5] = static_cast<unsigned char>(object >> 8);
    frame[6] = static_cast<unsigned char>(object);
    return frame;
}

class CardOnSimulatedModem : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_THROW(card.openCard(modem.devicePath().c_str())); }
    void TearDown() override {
        if (card.isOpen()) {
            card.closeCard();
        }
    }

    // Runs `call`, returning what it threw and what it wrote on standard error.
    template <typename Call>
    std::optional<CnsErrors::ReturnErrors> run(Call&& call, std::string& stderrText) {
        testing::internal::CaptureStderr();
        const auto error = thrownError(call);
        stderrText = testing::internal::GetCapturedStderr();
        return error;
    }

    SimulatedModem modem;
    WirelessCard card;
};
