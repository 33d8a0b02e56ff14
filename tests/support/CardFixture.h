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

    // Runs `call`, returning what it threw and the card's diagnostic lines.
    template <typename Call>
    std::optional<CnsErrors::ReturnErrors> run(Call&& call, std::string& diagnostics) {
        diagnostics.clear();
        card.reportTo({[](void* text, const std::string& line, int) {
                           *static_cast<std::string*>(text) += line + '\n';
                       },
                       &diagnostics});
        const auto error = thrownError(call);
        card.reportTo({});
        return error;
    }

    SimulatedModem modem;
    WirelessCard card;
};
