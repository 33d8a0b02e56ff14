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

// Another program that changes any one field the table names, alone, is
// noticed: the comparison leaves none out.
TEST(SerialSettingsFieldTest, EachNamedFieldChangedAloneIsAChange) {
    const termios set = setByTheCard();
    const struct {
        const char* name;
        tcflag_t termios::*field;
        tcflag_t bits;  // toggled
    } fields[] = {
        {"ICANON", &termios::c_lflag, ICANON}, {"ECHO", &termios::c_lflag, ECHO},
        {"ISIG", &termios::c_lflag, ISIG},     {"ICRNL", &termios::c_iflag, ICRNL},
        {"INLCR", &termios::c_iflag, INLCR},   {"IGNCR", &termios::c_iflag, IGNCR},
        {"ISTRIP", &termios::c_iflag, ISTRIP}, {"IXON", &termios::c_iflag, IXON},
        {"IGNPAR", &termios::c_iflag, IGNPAR}, {"OPOST", &termios::c_oflag, OPOST},
        {"CS7", &termios::c_cflag, CS8 ^ CS7}, {"CREAD", &termios::c_cflag, CREAD},
        {"CLOCAL", &termios::c_cflag, CLOCAL}, {"CRTSCTS", &termios::c_cflag, CRTSCTS},
        {"PARENB", &termios::c_cflag, PARENB}, {"B19200", &termios::c_cflag, B9600 ^ B19200},
    };
    for (const auto& f : fields) {
        termios now = set;
        now.*f.field ^= f.bits;
        EXPECT_FALSE(SerialSettings::sameAsSet(now, set)) << f.name;
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
