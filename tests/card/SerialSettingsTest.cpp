// The serial settings' table: what the card's open set, read back from a
// pseudo-terminal, then changed as drivers and other programs do.
#include "card/SerialSettings.h"

#include <gtest/gtest.h>

#include <functional>

#include "card/WirelessCard.h"
#include "sim/SimulatedModem.h"

namespace {

struct Change {
    const char* name;
    std::function<void(termios&)> change;
    std::string notKept, lost;
    bool sameAsSet;  // whether a transaction leaves the settings alone
};

void PrintTo(const Change& c, std::ostream* os) {
    *os << c.name;
}

termios setByTheCard() {
    SimulatedModem modem;
    WirelessCard card;
    card.openCard(modem.devicePath().c_str());
    termios set{};
    EXPECT_EQ(::tcgetattr(card.descriptor(), &set), 0);
    card.closeCard();
    return set;
}

// What the card's open sets: a raw, non-canonical line of 8 bits at 9600
// baud with hardware flow control, reads returning from 5 bytes.
TEST(SerialSettingsTableTest, OpenSetsARawLineWithHardwareFlowControl) {
    const termios settings = setByTheCard();
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(settings.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(settings.c_cflag & CLOCAL, 0u);
    EXPECT_NE(settings.c_cflag & CREAD, 0u);
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | HUPCL), 0u);
    EXPECT_EQ(settings.c_iflag, static_cast<tcflag_t>(IGNPAR));
    EXPECT_EQ(settings.c_oflag, 0u);
    EXPECT_EQ(settings.c_lflag, 0u);
    for (int i = 0; i < NCCS; ++i) {
        EXPECT_EQ(settings.c_cc[i], i == VMIN ? 5 : 0) << "control character " << i;
    }
}

class SerialSettingsTest : public testing::TestWithParam<Change> {};

TEST_P(SerialSettingsTest, ComparesTheFieldsTheTableNames) {
    const termios set = setByTheCard();
    termios now = set;
    GetParam().change(now);
    const SerialSettings::Kept kept = SerialSettings::compareWithTable(now);
    EXPECT_EQ(kept.notKept, GetParam().notKept);
    EXPECT_EQ(kept.lost, GetParam().lost);
    EXPECT_EQ(SerialSettings::sameAsSet(now, set), GetParam().sameAsSet);
}

// Any one bit of a field the table names, or VMIN or VTIME, changed alone by
// another program is noticed; any other bit is not.
TEST(SerialSettingsFieldTest, EachNamedFieldChangedAloneIsAChange) {
    const termios set = setByTheCard();
    const std::pair<tcflag_t termios::*, tcflag_t> named[] = {
        {&termios::c_lflag, ICANON | ECHO | ISIG},
        {&termios::c_iflag, ICRNL | INLCR | IGNCR | ISTRIP | IXON | IGNPAR},
        {&termios::c_oflag, OPOST},
        {&termios::c_cflag, CSIZE | CREAD | CRTSCTS | CLOCAL | PARENB | CBAUD}};
    for (const auto& [field, bits] : named) {
        for (tcflag_t bit = 1; bit != 0; bit <<= 1) {
            termios now = set;
            now.*field ^= bit;
            EXPECT_EQ(SerialSettings::sameAsSet(now, set), (bit & bits) == 0) << std::hex << bit;
        }
    }
    for (const int timing : {VMIN, VTIME}) {
        termios now = set;
        now.c_cc[timing] ^= 1;
        EXPECT_FALSE(SerialSettings::sameAsSet(now, set)) << (timing == VMIN ? "VMIN" : "VTIME");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SerialSettingsTest,
    testing::Values(
        Change{"as_set", [](termios&) {}, "", "", true},
        // Fields the table does not name, and padding: no reason to set again.
        Change{"unnamed_fields",
               [](termios& t) {
                   t.c_cc[VEOF] = 3;
                   t.c_line = 1;
               },
               "", "", true},
        Change{"dropped_by_a_driver",
               [](termios& t) {
                   t.c_cflag &= ~CRTSCTS;
                   ::cfsetospeed(&t, B38400);
                   t.c_cc[VMIN] = 1;
               },
               "hardware flow control (CRTSCTS) on, 9600 baud (reads 38400), VMIN 5 VTIME 0 "
               "(reads VMIN 1 VTIME 0)",
               "", false},
        Change{"cooked_by_another_program",
               [](termios& t) {
                   t.c_lflag |= ICANON | ECHO;
                   t.c_iflag |= ICRNL;
                   t.c_cflag = (t.c_cflag & ~CSIZE) | CS7;
               },
               "",
               "canonical mode (ICANON) off, echo (ECHO) off, input translation (ICRNL INLCR IGNCR "
               "ISTRIP) off, 8 data bits (CS8)",
               false}),
    [](const testing::TestParamInfo<Change>& info) { return info.param.name; });

}  // namespace
