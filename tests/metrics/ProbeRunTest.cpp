// The real probe binary, run in a private mount namespace that shows it a
// fake driver list, a /dev/ttyUSB1 leading to the simulated modem and a
// private /tmp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "cns/CnsObjects.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;

// A modem with two interfaces; the control port is ttyUSB1.
constexpr const char* kModemListed = R"(usbserinfo:1.0 driver:2.0
0: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
1: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
)";

constexpr const char* kOtherDevicesOnly = R"(usbserinfo:1.0 driver:2.0
0: module:usbserial name:"generic" vendor:abcd product:0031 num_ports:1 port:0 path:usb-dummy_hcd.0-2
1: module:usbserial name:"generic" vendor:abcd product:0031 num_ports:1 port:0 path:usb-dummy_hcd.0-2
)";

// Whatever the modem does, a run ends within this.
constexpr auto kRunBound = 3500ms;

class ProbeRunTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string reason = ProbeSandbox::unavailableReason();
        if (!reason.empty()) {
            GTEST_SKIP() << reason;
        }
        sandbox.setDriverList(kModemListed);
        sandbox.addDevice("ttyUSB1", modem.devicePath());
        // Whatever the outcome, a run leaves none of an older, longer file.
        writeFileText(metricsPath(), "-80\n3\nand a much longer tail than a run writes\n");
    }

    std::string metricsPath() const { return sandbox.tmpDir() + "/quorvexmetrics"; }

    void expectFailureRoad(const ProbeRun& run) const {
        EXPECT_FALSE(run.hung);
        EXPECT_EQ(run.out, "1\n");
        EXPECT_EQ(run.metrics, "");
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_LE(run.elapsed, kRunBound + launcherAllowance());
    }

    SimulatedModem modem;
    ProbeSandbox sandbox;
};

// Each run asks for the RSSI, then the roaming status; arguments change nothing.
TEST_F(ProbeRunTest, OutcomeOfAnsweredQueries) {
    const struct {
        unsigned short rssi, roaming;
        const char* metrics;
        int status;
    } cases[] = {
        {75, 1, "-75\n1\n", 181},
        {0, 0, "1\n0\n", 0},
        {90, 0xFFFF, "-90\n-1\n", 166},
        {0xFFFF, 2, "1\n2\n", 1},
        {0x8000, 0x8000, "-32768\n-32768\n", 0},
        {125, 0x7FFF, "-125\n32767\n", 131},
    };
    for (const auto& c : cases) {
        modem.answerValue(OBJ_RSSI, c.rssi);
        modem.answerValue(OBJ_ROAMING_STATUS, c.roaming);
        const std::size_t before = modem.requests().size();
        const ProbeRun run = sandbox.runProbe({"--help", "-x"});
        EXPECT_EQ(run.metrics, c.metrics) << "RSSI " << c.rssi;
        EXPECT_EQ(run.exitStatus, c.status) << "RSSI " << c.rssi;
        EXPECT_EQ(run.out, "") << "RSSI " << c.rssi;
        EXPECT_EQ(run.err, "") << "RSSI " << c.rssi;
        const auto requests = modem.requests();
        ASSERT_EQ(requests.size(), before + 2);
        EXPECT_EQ(requests[before][6], 0x01);
        EXPECT_EQ(requests[before + 1][6], 0x07);
    }
    // The run leads its session: a hang-up of the port must not reach it.
    EXPECT_FALSE(modem.becameControllingTerminal());
}

// No modem listed: the file says so and nothing is asked. A listed port
// that does not open: the failure road.
TEST_F(ProbeRunTest, NoModemListedOrAPortThatDoesNotOpen) {
    const std::string index(120, '7');
    const std::string regularFile = sandbox.tmpDir() + "/left-behind";
    writeFileText(regularFile, "keep\n");
    const std::string notOpened = "Error opening port /dev/ttyUSB";
    const struct {
        const char* name;
        std::optional<std::string> list;  // none: no list at all
        std::string device;               // what /dev/ttyUSB1 leads to, if anything
        std::string err;                  // "": no modem listed
    } cases[] = {
        {"other devices only", kOtherDevicesOnly, modem.devicePath(), ""},
        {"empty list", "", modem.devicePath(), ""},
        {"no driver list", std::nullopt, modem.devicePath(), ""},
        {"matching line cut short", "0: module:usbserial vendor:abcd product:0028 num_ports:1\n",
         modem.devicePath(), ""},
        {"no device", kModemListed, "", notOpened + "1: -1No such file or directory\n"},
        {"over-long port text", "0: product:0028 num_ports:1 port:0 path:p\n" + index + ": x\n", "",
         notOpened + index + ": -1File name too long\n"},
        {"a regular file", kModemListed, regularFile,
         notOpened + "1: -1Inappropriate ioctl for device\n"},
    };
    for (const auto& c : cases) {
        ProbeSandbox other;
        if (c.list) {
            other.setDriverList(*c.list);
        }
        if (!c.device.empty()) {
            other.addDevice("ttyUSB1", c.device);
        }
        const ProbeRun run = other.runProbe();
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run.err, c.err);
        if (c.err.empty()) {
            EXPECT_EQ(run.metrics, "1\n-1\n");
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_EQ(run.out, "");
        } else {
            expectFailureRoad(run);
        }
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(modem.requests().empty()) << "the port was used";
    EXPECT_EQ(readFileText(regularFile), "keep\n");
}

TEST_F(ProbeRunTest, ModemFailuresTakeTheFailureRoad) {
    const Bytes rssi = replyFrame(OBJ_RSSI, 0x02, value16(75));
    Bytes endsWithEscape = replyFrame(OBJ_RSSI, 0x02, {0x00, 0x7E});
    endsWithEscape.resize(17);
    const std::string noData = "No data was returned by query.\n";
    const struct {
        const char* name;
        SimulatedModem::Answer rssi;
        std::string err;
    } cases[] = {
        {"mute", SimulatedModem::mute(), noData},
        {"RSSI at 0.9 s, roaming unanswered",
         SimulatedModem::reply(OBJ_RSSI, value16(75)).after(900ms), noData},
        {"one byte", SimulatedModem::raw(Bytes(rssi.begin(), rssi.begin() + 1)),
         "Unusable reply of 1 bytes: no closing flag.\n"},
        {"ten bytes", SimulatedModem::raw(Bytes(rssi.begin(), rssi.begin() + 10)),
         "Unusable reply of 10 bytes: no closing flag.\n"},
        {"ends with an escape byte", SimulatedModem::raw(endsWithEscape),
         "Unusable reply of 17 bytes: no closing flag.\n"},
        {"no parameter", SimulatedModem::reply(OBJ_RSSI, {}),
         "Reply of 16 bytes holds no value at offset 15.\n"},
        {"a parameter of one byte", SimulatedModem::reply(OBJ_RSSI, {0x4B}),
         "Reply of 17 bytes holds no value at offset 15.\n"},
        {"an echo of the request", SimulatedModem::raw(getRequestFor(OBJ_RSSI)),
         "Skipped a frame of object 4097, operation 1, awaiting the reply for object 4097.\n" +
             noData},
    };
    for (const auto& c : cases) {
        modem.answer(OBJ_RSSI, c.rssi);
        const ProbeRun run = sandbox.runProbe();
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run.err, c.err);
        expectFailureRoad(run);
    }
}

// The cron probe beside a modem that resets: the line hangs up during the
// RSSI query (runs while it is away: NoModemListedOrAPortThatDoesNotOpen);
// once it is back, as ttyUSB2, the file is right.
TEST_F(ProbeRunTest, ModemThatResetsIsFoundOnItsNewPort) {
    modem.answerInTurn(OBJ_RSSI,
                       {SimulatedModem::hangUp(), SimulatedModem::reply(OBJ_RSSI, value16(75))});
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    const ProbeRun hungUp = sandbox.runProbe();
    EXPECT_EQ(hungUp.err, "No data was returned by query.\n");
    expectFailureRoad(hungUp);
    ProbeSandbox back;
    back.setDriverList(std::regex_replace(kModemListed, std::regex("\n1:"), "\n2:"));
    back.addDevice("ttyUSB2", modem.comeBack());
    const ProbeRun run = back.runProbe();
    EXPECT_EQ(run.metrics, "-75\n1\n");
    EXPECT_EQ(run.exitStatus, 181);
}

// A flaky link cuts the reply off, or loses its tail and brings stray bytes
// in its place, and the modem sends it again whole 50 ms later: the torn
// frame lends none of its bytes to the whole one, and its value is never
// read, whatever object its header names.
struct TornReply {
    std::string name;
    Bytes first;  // what the modem sends before the whole reply
    std::string err;
};

// The case's name, not its raw bytes (padding valgrind reports as unwritten).
void PrintTo(const TornReply& c, std::ostream* os) {
    *os << c.name;
}

class TornReplyTest : public ProbeRunTest, public testing::WithParamInterface<TornReply> {};

TEST_P(TornReplyTest, IsDroppedAndTheWholeReplyTaken) {
    const TornReply& c = GetParam();
    modem.answer(OBJ_RSSI, SimulatedModem::raw(c.first).then(
                               SimulatedModem::reply(OBJ_RSSI, value16(75)).after(50ms)));
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    const ProbeRun run = sandbox.runProbe();
    EXPECT_EQ(run.metrics, "-75\n1\n");
    EXPECT_EQ(run.exitStatus, 181);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
}

std::string tornText(std::size_t size) {
    return "Dropped a torn frame of " + std::to_string(size) + " bytes.\n";
}

std::vector<TornReply> tornReplies() {
    const Bytes whole = replyFrame(OBJ_RSSI, 0x02, value16(75));
    std::vector<TornReply> cases;
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        // A lone flag is the idle line, and 17 bytes close as the whole reply.
        cases.push_back({"CutAfter" + std::to_string(cut) + "Bytes",
                         Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)),
                         cut >= 2 && cut <= 16 ? tornText(cut) : ""});
    }
    Bytes escapeLast(whole.begin(), whole.begin() + 16);
    escapeLast.push_back(0x7D);
    cases.push_back({"CutRightAfterAnEscapeByte", escapeLast, tornText(17)});
    // The line lost the closing flag of a reply of 80, then brought 5 stray
    // bytes; or all of a reply of 300 after its first parameter byte, then 7.
    Bytes eighty = replyFrame(OBJ_RSSI, 0x02, value16(80));
    Bytes threeHundred = replyFrame(OBJ_RSSI, 0x02, value16(300));
    eighty.pop_back();
    threeHundred.resize(16);
    cases.push_back({"ClosingFlagLostAndFiveStrayBytes",
                     concat(eighty, {0xB8, 0x72, 0x8A, 0x18, 0x75}), tornText(22)});
    cases.push_back({"TornAfterSixteenBytesAndSevenStrayBytes",
                     concat(threeHundred, {0xE3, 0x92, 0xCC, 0xC5, 0x61, 0xAA, 0x5C}),
                     tornText(23)});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ProbeRunTest, TornReplyTest, testing::ValuesIn(tornReplies()),
                         [](const testing::TestParamInfo<TornReply>& info) {
                             return info.param.name;
                         });

// Another program on the port, or a line that takes no more: the run still
// ends within its bound, on the failure road.
TEST_F(ProbeRunTest, BusyPortOrStalledLineEndsTheRunInTime) {
    modem.answerValue(OBJ_RSSI, 75);
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    {
        const int other = ::open(modem.devicePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(::flock(other, LOCK_EX), 0) << std::strerror(errno);
        const ProbeRun run = sandbox.runProbe();
        ::close(other);
        EXPECT_EQ(run.err, "Port /dev/ttyUSB1 is in use by another program.\n");
        expectFailureRoad(run);
        EXPECT_GE(run.elapsed, 950ms);
    }
    modem.stall();
    const ProbeRun run = sandbox.runProbe();
    EXPECT_EQ(run.err,
              "Error writing Connection timed out\n"
              "Reply of 0 bytes holds no value at offset 15.\n");
    expectFailureRoad(run);
}

// Cron's ">&- 2>&-": what the probe says must reach neither the metrics file
// nor the modem, with /dev/null in place or not.
TEST_F(ProbeRunTest, DiagnosticsWithStandardDescriptorsOpenOrClosed) {
    const auto errorReply = SimulatedModem::errorReply(OBJ_ROAMING_STATUS, value16(1));
    const char* const errorLine = "4103 query data packet has an error associated with it.\n";
    const auto mute = SimulatedModem::mute();
    const struct {
        const char* name;
        std::vector<int> closed;
        bool devNull;
        SimulatedModem::Answer roaming;
        const char *err, *metrics;
        int status;
    } cases[] = {
        {"open, error reply", {}, true, errorReply, errorLine, "-70\n1\n", 186},
        {"2>&-, error reply", {2}, true, errorReply, "", "-70\n1\n", 186},
        {">&- 2>&-, no reply", {1, 2}, true, mute, "", "", 0},
        {"no /dev/null", {1, 2}, false, mute, "", "", 0},
    };
    modem.answerValue(OBJ_RSSI, 70);
    for (const auto& c : cases) {
        if (!c.closed.empty() && probeUnderLauncher()) {
            GTEST_SKIP() << "a launcher such as valgrind does not start with descriptor 2 closed";
        }
        ProbeSandbox cron;
        cron.setDriverList(kModemListed);
        cron.addDevice("ttyUSB1", modem.devicePath());
        if (c.devNull) {
            cron.addDevice("null", "/dev/null");
        }
        cron.closeDescriptors(c.closed);
        modem.answer(OBJ_ROAMING_STATUS, c.roaming);
        const ProbeRun run = cron.runProbe();
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.metrics, c.metrics);
        EXPECT_EQ(run.exitStatus, c.status);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(modem.unframedBytes(), "");
    }
}

TEST_F(ProbeRunTest, MetricsPathThatIsNoPlainFileFailsTheRun) {
    modem.answerValue(OBJ_RSSI, 75);
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    const std::string target = sandbox.tmpDir() + "/precious";
    writeFileText(target, "keep me\n");
    ASSERT_EQ(::unlink(metricsPath().c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), metricsPath().c_str()), 0);
    const ProbeRun run = sandbox.runProbe();
    EXPECT_EQ(run.out, "1\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(
        run.err,
        "Error opening metrics file /tmp/quorvexmetrics: Too many levels of symbolic links\n");
    EXPECT_EQ(readFileText(target), "keep me\n");
    EXPECT_TRUE(modem.requests().empty()) << "nothing to report into, so nothing is asked";
}

}  // namespace
