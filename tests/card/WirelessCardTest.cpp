// The card link against a modem simulated on a pseudo-terminal.
#include "card/WirelessCard.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "cns/CnsErrors.h"
#include "sim/SimulatedModem.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"
#include "support/Errors.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using WirelessCardTest = CardOnSimulatedModem;

TEST_F(WirelessCardTest, PortIsRawNonCanonicalWithHardwareFlowControl) {
    const int fd = ::open(modem.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_NE(fd, -1) << "open: " << std::strerror(errno);
    termios settings{};
    const int result = ::tcgetattr(fd, &settings);
    ::close(fd);
    ASSERT_EQ(result, 0) << "tcgetattr: " << std::strerror(errno);

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

TEST_F(WirelessCardTest, SendsExactGetRequestsAndReadsTheirValues) {
    modem.answerValue(OBJ_RSSI, 75);
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    EXPECT_EQ(card.getRssi(), -75);
    EXPECT_EQ(card.getRoamingStatus(), 1);

    const auto requests = modem.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(sameBytes(getRequestFor(OBJ_RSSI), requests[0]));
    EXPECT_TRUE(sameBytes(getRequestFor(OBJ_ROAMING_STATUS), requests[1]));
}

TEST_F(WirelessCardTest, RssiIsNegatedIn16Bits) {
    const struct {
        unsigned short reported;
        short rssi;
    } cases[] = {{75, -75}, {0, 0}, {1, -1}, {0xFFFF, 1}, {0x8000, -32768}, {0x7FFF, -32767}};
    for (const auto& c : cases) {
        modem.answerValue(OBJ_RSSI, c.reported);
        EXPECT_EQ(card.getRssi(), c.rssi) << "reported " << c.reported;
    }
}

TEST_F(WirelessCardTest, RoamingStatusIsUnchanged) {
    for (const unsigned short status : {0, 1, 2, 0x7D7E, 0xFFFF}) {
        modem.answerValue(OBJ_ROAMING_STATUS, status);
        EXPECT_EQ(card.getRoamingStatus(), status);
    }
}

TEST_F(WirelessCardTest, EscapedParameterBytesAreUnescaped) {
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, {0x7D, 0x7E}));
    EXPECT_EQ(card.getRssi(), static_cast<short>(-0x7D7E));
    EXPECT_TRUE(sameBytes({0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x02, 0x7D, 0x7E, 0x7E},
                          card.lastReply()));
}

TEST_F(WirelessCardTest, ErrorReplyIsReportedAndItsValueStillRead) {
    modem.answer(OBJ_RSSI, SimulatedModem::errorReply(OBJ_RSSI, value16(75)));
    std::string errors;
    short rssi = 0;
    EXPECT_EQ(run([&] { rssi = card.getRssi(); }, errors), std::nullopt);
    EXPECT_EQ(rssi, -75);
    EXPECT_EQ(errors, "4097 query data packet has an error associated with it.\n");
    EXPECT_TRUE(card.lastReplyHeader().isError());
}

TEST_F(WirelessCardTest, ErrorReplyObjectIsPrintedAsSigned16Bit) {
    modem.answer(OBJ_BAND_CLASS, SimulatedModem::errorReply(0x8001, value16(0)));
    std::string errors;
    EXPECT_EQ(run([&] { card.sendToCard(OBJ_BAND_CLASS); }, errors), std::nullopt);
    EXPECT_EQ(errors, "-32767 query data packet has an error associated with it.\n");
}

TEST_F(WirelessCardTest, MuteModemEndsTheTransactionAfterOneSecond) {
    std::string errors;
    const auto start = Clock::now();
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::NO_DATA_RETURNED);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 900ms);
    EXPECT_LE(waited, 1500ms);
    EXPECT_EQ(errors, "No data was returned by query.\n");
    EXPECT_TRUE(card.lastReply().empty());
}

TEST_F(WirelessCardTest, ReplyWithinTheSecondIsTaken) {
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(60)).after(600ms));
    EXPECT_EQ(card.getRssi(), -60);
}

TEST_F(WirelessCardTest, ReplyAfterTheSecondIsNoData) {
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(60)).after(1300ms));
    std::string errors;
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::NO_DATA_RETURNED);
}

TEST_F(WirelessCardTest, ReplyOfOneToFourBytesNeverHangs) {
    for (std::size_t size = 1; size <= 4; ++size) {
        const Bytes full = replyFrame(OBJ_RSSI, 0x02, value16(75));
        modem.answer(OBJ_RSSI, SimulatedModem::raw(Bytes(full.begin(), full.begin() + size)));
        std::string errors;
        const auto start = Clock::now();
        const auto error = run([&] { card.getRssi(); }, errors);
        EXPECT_LE(Clock::now() - start, 1500ms) << size << " bytes";
        EXPECT_TRUE(error == CnsErrors::NO_DATA_RETURNED || error == CnsErrors::UNUSABLE_REPLY)
            << size << " bytes";
        // A fresh port for the next size: the bytes left behind are not a reply.
        card.closeCard();
        ASSERT_NO_THROW(card.openCard(modem.devicePath().c_str()));
    }
}

TEST_F(WirelessCardTest, ReplyShorterThanItsHeaderIsUnusable) {
    const Bytes full = replyFrame(OBJ_RSSI, 0x02, value16(75));
    for (const std::size_t size : {5, 9, 14}) {
        modem.answer(OBJ_RSSI, SimulatedModem::raw(Bytes(full.begin(), full.begin() + size)));
        std::string errors;
        EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::UNUSABLE_REPLY)
            << size << " bytes";
        EXPECT_EQ(errors, "Unusable reply of " + std::to_string(size) +
                              " bytes: shorter than its header.\n");
    }
}

TEST_F(WirelessCardTest, ReplyWithoutTheValueIsUnusable) {
    const struct {
        const char* name;
        Bytes reply;
    } cases[] = {
        {"no parameter", replyFrame(OBJ_RSSI, 0x02, {})},
        {"header only", Bytes(15, 0x00)},
        {"one parameter byte, no flag", Bytes(16, 0x00)},
    };
    for (const auto& c : cases) {
        modem.answer(OBJ_RSSI, SimulatedModem::raw(c.reply));
        std::string errors;
        EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::UNUSABLE_REPLY) << c.name;
        EXPECT_EQ(errors, "Reply of " + std::to_string(c.reply.size()) +
                              " bytes holds no value at offset 15.\n")
            << c.name;
    }
}

TEST_F(WirelessCardTest, ReplyCutInsideAnEscapePairIsUnusable) {
    Bytes cut = replyFrame(OBJ_RSSI, 0x02, {0x7E, 0x01});
    cut.resize(16);  // ends with the escape byte
    ASSERT_EQ(cut.back(), 0x7D);
    modem.answer(OBJ_RSSI, SimulatedModem::raw(cut));
    std::string errors;
    EXPECT_EQ(run([&] { card.getRssi(); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_NE(errors.find("cut inside an escape pair"), std::string::npos) << errors;
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

TEST_F(WirelessCardTest, InputPendingBeforeTheOpenIsDropped) {
    card.closeCard();
    modem.sendUnsolicited(replyFrame(OBJ_RSSI, 0x02, value16(11)));
    std::this_thread::sleep_for(50ms);
    ASSERT_NO_THROW(card.openCard(modem.devicePath().c_str()));
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

TEST(WirelessCardOpenTest, MissingPortIsReportedWithItsPathAndErrno) {
    WirelessCard card;
    testing::internal::CaptureStderr();
    const auto error = thrownError([&] { card.openCard("/nonexistent/ttyUSB7"); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error opening port /nonexistent/ttyUSB7: -1No such file or directory\n");
    EXPECT_EQ(error, CnsErrors::ERROR_OPENING_PORT);
    EXPECT_FALSE(card.isOpen());
}

TEST(WirelessCardOpenTest, FailedWriteLeavesNoReply) {
    WirelessCard card;
    ASSERT_NO_THROW(card.openCard("/dev/full"));  // every write fails with ENOSPC
    testing::internal::CaptureStderr();
    EXPECT_EQ(thrownError([&] { card.sendToCard(OBJ_RSSI); }), std::nullopt);
    EXPECT_TRUE(card.lastReply().empty());
    EXPECT_EQ(thrownError([&] { card.get16ValFromQueryResult(); }), CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error writing No space left on device\n"
              "Reply of 0 bytes holds no value at offset 15.\n");
    card.closeCard();
}

}  // namespace
