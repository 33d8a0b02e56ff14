// The check's reading of a port's settings: what the card's open set, read
// back from a pseudo-terminal, then changed as drivers and other programs do.
#include <gtest/gtest.h>

#include <functional>

#include "card/WirelessCard.h"
#include "cardtool/PortSettings.h"
#include "sim/SimulatedModem.h"

namespace {

TEST(PortSettingsTest, NamesWhatThePortDidNotKeep) {
    SimulatedModem modem;
    WirelessCard card;
    card.openCard(modem.devicePath().c_str());
    termios probe{};
    ASSERT_EQ(::tcgetattr(card.descriptor(), &probe), 0);
    card.closeCard();
    const struct {
        std::function<void(termios&)> change;
        std::string notKept, lost;
    } cases[] = {
        {[](termios&) {}, "", ""},
        {[](termios& t) {
             t.c_cflag &= ~CRTSCTS;
             ::cfsetospeed(&t, B38400);
             t.c_cc[VMIN] = 1;
         },
         "hardware flow control (CRTSCTS) on, 9600 baud (reads 38400), VMIN 5 VTIME 0 (reads "
         "VMIN 1 VTIME 0)",
         ""},
        {[](termios& t) {
             t.c_lflag |= ICANON | ECHO;
             t.c_iflag |= ICRNL;
             t.c_cflag = (t.c_cflag & ~CSIZE) | CS7;
         },
         "",
         "canonical mode (ICANON) off, echo (ECHO) off, input translation (ICRNL INLCR IGNCR "
         "ISTRIP) off, 8 data bits (CS8)"},
    };
    for (const auto& c : cases) {
        termios now = probe;
        c.change(now);
        const CardTool::SettingsKept kept = CardTool::compareWithProbeSettings(now);
        EXPECT_EQ(kept.notKept, c.notKept);
        EXPECT_EQ(kept.lost, c.lost);
    }
}

}  // namespace
