// The card link against a modem simulated on a pseudo-terminal.
#include "card/WirelessCard.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "cns/CnsErrors.h"
#include "cns/CnsImp.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"
#include "support/Descriptors.h"
#include "support/Errors.h"
#include "support/ScratchDir.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using WirelessCardTest = CardOnSimulatedModem;

// The RSSI negated in 16 bits, the roaming status as it is, each from
// exactly one get request; escaped parameter bytes unescaped.
TEST_F(WirelessCardTest, ValuesAsTheModemReportsThem) {
    const struct {
        Bytes reported;  // the parameter, the same for both objects
        short rssi;
        unsigned short roaming;
    } cases[] = {{{0, 75}, -75, 75},
                 {{0, 0}, 0, 0},
                 {{0, 1}, -1, 1},
                 {{0xFF, 0xFF}, 1, 0xFFFF},
                 {{0x80, 0}, -32768, 0x8000},
                 {{0x7D, 0x7E}, -0x7D7E, 0x7D7E}};
    for (const auto& c : cases) {
        const std::size_t before = modem.requests().size();
        modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, c.reported));
        modem.answer(OBJ_ROAMING_STATUS, SimulatedModem::reply(OBJ_ROAMING_STATUS, c.reported));
        EXPECT_EQ(card.getRssi(), c.rssi) << hex(c.reported);
        EXPECT_EQ(card.getRoamingStatus(), c.roaming) << hex(c.reported);
        const auto requests = modem.requests();
        ASSERT_EQ(requests.size(), before + 2);
        EXPECT_TRUE(sameBytes(getRequestFor(OBJ_RSSI), requests[before]));
        EXPECT_TRUE(sameBytes(getRequestFor(OBJ_ROAMING_STATUS), requests[before + 1]));
    }
    // 7D 7E travelled as 7D 5D 7D 5E; the query result keeps the flags.
    EXPECT_TRUE(sameBytes({0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x07, 0x02, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x02, 0x7D, 0x7E, 0x7E},
                          card.lastReply()));
}

struct ReplyCase {
    const char* name;
    SimulatedModem::Answer rssi;
    std::optional<CnsErrors::ReturnErrors> error;  // none: the RSSI is -75
    std::string errors;
    std::chrono::milliseconds roamingDelay = 50ms;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

const SimulatedModem::Answer kRssi75 = SimulatedModem::reply(OBJ_RSSI, value16(75));
const Bytes kRssiFrame = kRssi75.bytes();

std::vector<ReplyCase> replyCases() {
    const auto skipped = [](int object, int operation, int awaited) {
        return "Skipped a frame of object " + std::to_string(object) + ", operation " +
               std::to_string(operation) + ", awaiting the reply for object " +
               std::to_string(awaited) + ".\n";
    };
    const auto roaming1 = SimulatedModem::reply(OBJ_ROAMING_STATUS, value16(1));
    return {
        {"whole_reply", kRssi75, std::nullopt, ""},
        {"reply_at_0_6_s", kRssi75.after(600ms), std::nullopt, ""},
        {"reply_in_two_pieces", kRssi75.inPieces({10}, 300ms), std::nullopt, ""},
        {"three_pieces_the_last_of_2_bytes", kRssi75.inPieces({8, 16}, 100ms), std::nullopt, ""},
        {"a_frame_for_another_object_first", roaming1.then(kRssi75.after(50ms)), std::nullopt,
         skipped(4103, 2, 4097)},
        {"the_request_echoed_first", SimulatedModem::raw(getRequestFor(OBJ_RSSI)).then(kRssi75),
         std::nullopt, skipped(4097, 1, 4097)},
        {"a_stray_byte_before_the_flag", SimulatedModem::raw({0x55}).then(kRssi75), std::nullopt,
         ""},
        // The second frame comes while the roaming query waits, with room for a
        // slow launcher between the two queries: it is skipped there.
        {"a_second_frame_after_the_reply",
         kRssi75.then(SimulatedModem::reply(OBJ_RSSI, value16(11)).after(200ms)), std::nullopt,
         skipped(4097, 2, 4103), 400ms},
        {"error_reply", SimulatedModem::errorReply(OBJ_RSSI, value16(75)), std::nullopt,
         "4097 query data packet has an error associated with it.\n"},
        {"mute", SimulatedModem::mute(), CnsErrors::NO_DATA_RETURNED,
         "No data was returned by query.\n"},
        {"reply_at_1_3_s_during_the_next_wait", kRssi75.after(1300ms), CnsErrors::NO_DATA_RETURNED,
         "No data was returned by query.\n" + skipped(4097, 2, 4103), 500ms},
        {"a_parameter_of_one_byte", SimulatedModem::reply(OBJ_RSSI, {0x4B}),
         CnsErrors::UNUSABLE_REPLY, "Reply of 17 bytes holds no value at offset 15.\n"},
        {"no_parameter", SimulatedModem::reply(OBJ_RSSI, {}), CnsErrors::UNUSABLE_REPLY,
         "Reply of 16 bytes holds no value at offset 15.\n"},
        {"only_3_bytes", SimulatedModem::raw(Bytes(kRssiFrame.begin(), kRssiFrame.begin() + 3)),
         CnsErrors::UNUSABLE_REPLY, "Unusable reply of 3 bytes: no closing flag.\n"},
        {"torn_right_after_an_escape_byte_and_nothing_after",
         SimulatedModem::raw(concat(Bytes(kRssiFrame.begin(), kRssiFrame.end() - 1), {0x7D, 0x7E})),
         CnsErrors::UNUSABLE_REPLY,
         "Dropped a torn frame of 18 bytes.\nUnusable reply of 1 bytes: no closing flag.\n"},
    };
}

class RepliesTest : public CardOnSimulatedModem, public testing::WithParamInterface<ReplyCase> {};

// Each case is followed by a roaming query, answered 50 ms late: nothing of
// the RSSI transaction may reach it.
TEST_P(RepliesTest, ReachOnlyTheRequestTheyAnswer) {
    const ReplyCase& c = GetParam();
    modem.answer(OBJ_RSSI, c.rssi);
    modem.answer(OBJ_ROAMING_STATUS,
                 SimulatedModem::reply(OBJ_ROAMING_STATUS, value16(1)).after(c.roamingDelay));
    short rssi = 0;
    unsigned short roaming = 0;
    std::string errors;
    const auto start = Clock::now();
    EXPECT_EQ(run([&] { rssi = card.getRssi(); }, errors), c.error);
    EXPECT_LE(Clock::now() - start, 1100ms + launcherAllowance());
    std::string roamingErrors;
    EXPECT_EQ(run([&] { roaming = card.getRoamingStatus(); }, roamingErrors), std::nullopt);
    EXPECT_EQ(errors + roamingErrors, c.errors);
    EXPECT_EQ(roaming, 1);
    if (!c.error) {
        EXPECT_EQ(rssi, -75);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, RepliesTest, testing::ValuesIn(replyCases()),
                         [](const testing::TestParamInfo<ReplyCase>& info) {
                             return info.param.name;
                         });

TEST_F(WirelessCardTest, ErrorReplyObjectIsPrintedAsSigned16Bit) {
    modem.answer(0x8001, SimulatedModem::errorReply(0x8001, value16(0)));
    CnsImp request;
    request.setCnsObjectForGet(0x8001);
    std::string errors;
    EXPECT_EQ(run([&] { card.sendToCard(request); }, errors), std::nullopt);
    EXPECT_EQ(errors, "-32767 query data packet has an error associated with it.\n");
}

TEST_F(WirelessCardTest, ValueAccessorsStayInsideTheReply) {
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, {0x01, 0x02, 0x03, 0x04}));
    card.sendToCard(OBJ_RSSI);
    ASSERT_EQ(card.lastReply().size(), 20u);
    EXPECT_EQ(card.get32ValFromQueryResult(15), 0x01020304u);
    EXPECT_EQ(card.get16ValFromQueryResult(17), 0x0304);
    EXPECT_EQ(card.get16ValFromQueryResult(18), 0x047E);  // the closing flag is part of the reply
    std::string errors;
    EXPECT_EQ(run([&] { card.get16ValFromQueryResult(19); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(run([&] { card.get32ValFromQueryResult(17); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(run([&] { card.get16ValFromQueryResult(-1); }, errors), CnsErrors::UNUSABLE_REPLY);
}

TEST_F(WirelessCardTest, InputPendingBeforeTheRequestIsDropped) {
    card.closeCard();
    modem.sendUnsolicited(replyFrame(OBJ_RSSI, 0x02, value16(11)));
    std::this_thread::sleep_for(50ms);
    ASSERT_NO_THROW(card.openCard(modem.devicePath().c_str()));
    modem.sendUnsolicited(replyFrame(OBJ_RSSI, 0x02, value16(12)));
    std::this_thread::sleep_for(50ms);
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(75)).after(50ms));
    EXPECT_EQ(card.getRssi(), -75);
}

// The settings are the device's: another program giving the port back in
// cooked mode between two transactions must not hold up the next reply.
TEST_F(WirelessCardTest, SettingsChangedBetweenTransactionsAreTakenBack) {
    const int other = ::open(modem.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_NE(other, -1) << std::strerror(errno);
    termios cooked{};
    ASSERT_EQ(::tcgetattr(other, &cooked), 0) << std::strerror(errno);
    cooked.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(other, TCSANOW, &cooked), 0) << std::strerror(errno);
    ::close(other);
    modem.answerValue(OBJ_RSSI, 75);
    EXPECT_EQ(card.getRssi(), -75);
}

TEST_F(WirelessCardTest, ClosedCardRefusesTransactions) {
    card.closeCard();
    EXPECT_FALSE(card.isOpen());
    std::string errors;
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::CARD_NOT_OPEN);
    EXPECT_EQ(run([&] { card.sendToCard(OBJ_RSSI); }, errors), CnsErrors::CARD_NOT_OPEN);
    EXPECT_EQ(errors, "");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(modem.requests().empty());
}

TEST_F(WirelessCardTest, OpeningAgainClosesThePortItHad) {
    const int open = descriptorsOn(modem.devicePath());
    ASSERT_NO_THROW(card.openCard(modem.devicePath().c_str()));
    EXPECT_EQ(descriptorsOn(modem.devicePath()), open);
}

// The card's diagnostics reach the sink it is given, with errno.
void collect(void* context, const std::string& line, int errorNumber) {
    *static_cast<std::string*>(context) += line + " [" + std::to_string(errorNumber) + "]\n";
}

TEST(WirelessCardOpenTest, OnlyATerminalOpens) {
    const ScratchDir scratch;
    const std::string file = scratch.path + "/not_a_port";
    writeFileText(file, "keep");
    const struct {
        std::string path;
        const char* reason;
        int errorNumber;
    } cases[] = {{"/nonexistent/ttyUSB7", "No such file or directory", ENOENT},
                 {file, "Inappropriate ioctl for device", ENOTTY},
                 {"/dev/null", "Inappropriate ioctl for device", ENOTTY}};
    for (const auto& c : cases) {
        WirelessCard card;
        std::string events;
        card.reportTo({collect, &events});
        const auto error = thrownError([&] { card.openCard(c.path.c_str()); });
        EXPECT_EQ(events, "Error opening port " + c.path + ": -1" + c.reason + " [" +
                              std::to_string(c.errorNumber) + "]\n");
        EXPECT_EQ(error, CnsErrors::ERROR_OPENING_PORT) << c.path;
        EXPECT_FALSE(card.isOpen()) << c.path;
    }
    EXPECT_EQ(readFileText(file), "keep");
}

}  // namespace
