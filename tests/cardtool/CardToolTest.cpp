// quorvexcard against the simulated modem: in process with --device, and
// as a binary in a private mount namespace for the discovery and the edges
// of the process. Every in-process run checks that the port was closed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "cardtool/CardTool.h"
#include "cardtool/CardToolOptions.h"
#include "sim/Sandbox.h"
#include "support/Bytes.h"
#include "support/CardFixture.h"
#include "support/Descriptors.h"
#include "support/ScriptedModem.h"
#include "support/ToolRun.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;

constexpr const char* kScriptedState =
    "Modem type:              60\n"
    "Model name:              MC5728V\n"
    "Activated:               yes\n"
    "Service indication:      2\n"
    "CDMA RSSI:               -90\n"
    "CDMA Ec/Io:              8\n"
    "HDR RSSI:                -80\n"
    "HDR Ec/Io:               4\n"
    "Band class:              1\n"
    "Roaming status:          0\n"
    "HDR service state:       3\n"
    "HDR roam status:         65535\n"
    "HDR notification status: 7\n"
    "Hybrid mode:             on\n";

constexpr const char* kScriptedJson =
    "{\"modem_type\": 60, \"model_name\": \"MC5728V\", \"activated\": true, "
    "\"service_indication\": 2, \"cdma_rssi\": -90, \"cdma_ecio\": 8, \"hdr_rssi\": -80, "
    "\"hdr_ecio\": 4, \"band_class\": 1, \"roaming_status\": 0, \"hdr_service_state\": 3, "
    "\"hdr_roam_status\": 65535, \"hdr_notification_status\": 7, \"hybrid_mode\": true, "
    "\"errors\": {}}\n";

constexpr unsigned kNobody = 65534;

class CardToolTest : public testing::Test {
protected:
    void SetUp() override { answerScriptedState(modem); }

    // The tool in process; it must give the port back closed and with the
    // settings it found (the pseudo-terminal starts in cooked mode).
    ToolRun run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--device", modem.devicePath()});
        const int openBefore = descriptorsOn(modem.devicePath());
        const termios before = settingsOf(modem.devicePath());
        const std::string port = modem.devicePath();
        const ToolRun result = runTool(arguments);
        EXPECT_EQ(descriptorsOn(port), openBefore) << "the port was left open";
        if (!modem.hungUp()) {
            const termios after = settingsOf(port);
            EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "settings changed";
        }
        return result;
    }

    SimulatedModem modem;
};

TEST_F(CardToolTest, StateAsLabelledLinesOrJson) {
    const struct {
        std::vector<std::string> arguments;
        std::string out;
    } cases[] = {
        {{}, kScriptedState},
        {{"--json"}, kScriptedJson},
    };
    for (const auto& c : cases) {
        const ToolRun tool = run(c.arguments);
        EXPECT_EQ(tool.out, c.out);
        EXPECT_EQ(tool.err, "");
        EXPECT_EQ(tool.status, 0);
    }
}

TEST(CardToolArgumentsTest, ProgramNameIsDroppedEvenFromAnEmptyVector) {
    const char* const argv[] = {"quorvexcard", "--json", "--trace", nullptr};
    EXPECT_EQ(CardTool::argumentsAfterName(3, argv),
              (std::vector<std::string>{"--json", "--trace"}));
    EXPECT_TRUE(CardTool::argumentsAfterName(1, argv).empty());
    const char* const none[] = {nullptr};
    EXPECT_TRUE(CardTool::argumentsAfterName(0, none).empty());
}

TEST_F(CardToolTest, MuteQueryIsNamedAndTheOthersGoOn) {
    modem.answer(OBJ_HDR_SERVICE_STATE, SimulatedModem::mute());
    const auto start = std::chrono::steady_clock::now();
    const ToolRun tool = run({});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms + launcherAllowance());
    std::string expected = kScriptedState;
    expected.replace(expected.find("3\n"), 2, "failed: no reply within 1 second\n");
    EXPECT_EQ(tool.out, expected);
    EXPECT_EQ(tool.err, "No data was returned by query.\n");
    EXPECT_EQ(tool.status, 1);
}

// The modem resets during the snapshot: the queries from there on name the
// reason, never asked, and nothing is put back on the port.
TEST_F(CardToolTest, ModemThatWentAwayIsNamedAndNotAskedAgain) {
    modem.answer(OBJ_BAND_CLASS, SimulatedModem::hangUp());
    const ToolRun tool = run({});
    std::string expected = kScriptedState;  // values from column 25 on
    for (std::size_t at = expected.find("Band class:"); at < expected.size();
         at = expected.find('\n', at) + 1) {
        expected.replace(at + 25, expected.find('\n', at) - at - 25,
                         "failed: the modem went away (Input/output error)");
    }
    EXPECT_EQ(tool.out, expected);
    EXPECT_EQ(tool.err, "No data was returned by query.\n");
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(modem.requests().back(), getRequestFor(OBJ_BAND_CLASS));
}

TEST_F(CardToolTest, ErrorReplyIsAFailedQueryInJson) {
    modem.answer(OBJ_RSSI_ECIO_CDMA_HDR,
                 SimulatedModem::errorReply(OBJ_RSSI_ECIO_CDMA_HDR, {0, 90, 0, 8, 0, 80, 0, 4}));
    const ToolRun tool = run({"--json"});
    const std::string failed = "\"the modem answered with an error\"";
    EXPECT_EQ(tool.out,
              "{\"modem_type\": 60, \"model_name\": \"MC5728V\", \"activated\": true, "
              "\"service_indication\": 2, \"cdma_rssi\": null, \"cdma_ecio\": null, "
              "\"hdr_rssi\": null, \"hdr_ecio\": null, \"band_class\": 1, \"roaming_status\": 0, "
              "\"hdr_service_state\": 3, \"hdr_roam_status\": 65535, "
              "\"hdr_notification_status\": 7, \"hybrid_mode\": true, \"errors\": {"
              "\"cdma_rssi\": " +
                  failed + ", \"cdma_ecio\": " + failed + ", \"hdr_rssi\": " + failed +
                  ", \"hdr_ecio\": " + failed + "}}\n");
    EXPECT_EQ(tool.err, "4197 query data packet has an error associated with it.\n");
    EXPECT_EQ(tool.status, 1);
}

SimulatedModem::Answer hybridModeReply(unsigned short mode) {
    return SimulatedModem::reply(OBJ_HDR_HYBRID_PREFERENCE, value16(mode));
}

TEST_F(CardToolTest, SetHybridSendsTheSettingThenReadsTheModeBack) {
    const Bytes setHeader = {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x6A, 0x03,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02};
    const std::string noReply = "No data was returned by query.\n";
    const std::string kept = "quorvexcard: the modem kept hybrid mode on\n";
    const std::string mute = "failed: no reply within 1 second";
    const std::string setFailed = noReply + "quorvexcard: setting hybrid mode " + mute + "\n";
    const struct {
        const char* word;
        Bytes parameter;
        SimulatedModem::Answer answer;  // to the setting and the read-back alike
        std::string mode, err;
        int status;
    } cases[] = {
        {"on", {0x00, 0x01}, hybridModeReply(1), "on", "", 0},
        {"off", {0x00, 0x00}, hybridModeReply(0), "off", "", 0},
        {"off", {0x00, 0x00}, hybridModeReply(1), "on", kept, 1},
        {"on", {0x00, 0x01}, SimulatedModem::mute(), mute, setFailed + noReply, 1},
    };
    for (const auto& c : cases) {
        const std::size_t before = modem.requests().size();
        modem.answer(OBJ_HDR_HYBRID_PREFERENCE, c.answer);
        const ToolRun tool = run({"--set-hybrid", c.word});
        EXPECT_EQ(tool.out, "Hybrid mode:             " + c.mode + "\n");
        EXPECT_EQ(tool.err, c.err);
        EXPECT_EQ(tool.status, c.status);
        const auto requests = modem.requests();
        ASSERT_EQ(requests.size(), before + 2);
        EXPECT_TRUE(sameBytes(concat(setHeader, concat(c.parameter, {0x7E})), requests[before]));
        EXPECT_TRUE(sameBytes(getRequestFor(OBJ_HDR_HYBRID_PREFERENCE), requests[before + 1]));
    }
}

TEST_F(CardToolTest, TraceShowsEachFrameRawAndUnescaped) {
    // 7E in the parameter travels as 7D 5E.
    modem.answer(OBJ_HDR_HYBRID_PREFERENCE,
                 SimulatedModem::reply(OBJ_HDR_HYBRID_PREFERENCE, {0x00, 0x01, 0x7E}));
    const ToolRun tool = run({"--trace", "--set-hybrid", "on"});
    const std::string reply =
        "< 7E 00 0D 2B 00 10 6A 02 00 00 00 00 00 00 03 00 01 7D 5E 7E\n"
        "<= 7E 00 0D 2B 00 10 6A 02 00 00 00 00 00 00 03 00 01 7E 7E\n";
    EXPECT_EQ(tool.err, "> 7E 00 0C 2B 00 10 6A 03 00 00 00 00 00 00 02 00 01 7E\n" + reply +
                            "> 7E 00 0A 2B 00 10 6A 01 00 00 00 00 00 00 00 00 7E\n" + reply);
    EXPECT_EQ(tool.out, "Hybrid mode:             on\n");
    EXPECT_EQ(tool.status, 0);
}

TEST_F(CardToolTest, UsageErrorsAndHelpAskNothing) {
    const std::string interval =
        "--interval takes seconds from 0.1 to 3600 (at most three decimals), not '";
    const std::string count = "--count takes a whole number of samples from 1, not '";
    const std::string cgiAlone = "--cgi takes only --device and --interval";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--set-hybrid", "maybe"}, "--set-hybrid takes on or off, not 'maybe'"},
        {{"--device"}, "option --device needs a value"},
        {{"--verbose"}, "unknown option --verbose"},
        {{"--json", "extra"}, "unexpected argument 'extra'"},
        {{"--watch", "--interval", "0.09"}, interval + "0.09'"},
        {{"--watch", "--interval", "3600.001"}, interval + "3600.001'"},
        {{"--watch", "--interval", "1e1"}, interval + "1e1'"},
        {{"--watch", "--interval", ""}, interval + "'"},
        {{"--watch", "--count", "0"}, count + "0'"},
        {{"--watch", "--count", "2.5"}, count + "2.5'"},
        {{"--watch", "--count", "1234567890"}, count + "1234567890'"},
        {{"--count", "3"}, "option --count goes with --watch"},
        {{"--cgi", "--count", "3"}, "option --count goes with --watch"},
        {{"--interval", "2"}, "option --interval goes with --watch or --cgi"},
        {{"--interval", "1", "--count", "2"}, "option --count goes with --watch"},
        {{"--cgi", "--json"}, cgiAlone},
        {{"--watch", "--cgi"}, cgiAlone},
        {{"--watch", "--set-hybrid", "on"}, "--watch and --set-hybrid do not go together"},
        {{"--watch", "--check"}, "--watch and --check do not go together"},
        {{"--prometheus", "--json"}, "--prometheus and --json do not go together"},
        {{"--check", "--prometheus"}, "--prometheus and --check do not go together"},
        {{"--watch", "--prometheus"}, "--prometheus and --watch do not go together"},
        {{"--watch", "--output", "/tmp/x"}, "--watch and --output do not go together"},
        {{"--output"}, "option --output needs a value"},
    };
    for (const auto& [arguments, message] : cases) {
        const ToolRun tool = run(arguments);
        EXPECT_EQ(tool.status, 2) << message;
        EXPECT_EQ(tool.err, "quorvexcard: " + message + "\nTry 'quorvexcard --help'.\n");
        EXPECT_EQ(tool.out, "");
    }
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.out.rfind("Usage: quorvexcard", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(modem.requests().empty());
}

// The binary as run at a gateway: by cron with closed descriptors, or by a
// user who may not read the driver list; each output as the tool in process
// gives it (QUORVEX_CARDTOOL may name another build's binary, e.g. the
// device's under qemu).
TEST_F(CardToolTest, BinaryShowsTheStateOrSaysWhyNot) {
    if (!ProbeSandbox::unavailableReason().empty()) {
        GTEST_SKIP() << ProbeSandbox::unavailableReason();
    }
    const std::string listed = "0: product:0028 num_ports:1 port:0 path:a\n1: product:0028\n";
    const std::string cannotRead = "quorvexcard: cannot read /proc/tty/driver/usbserial: ";
    const std::string useDevice = "; name the modem's port with --device\n";
    const std::string noModem =
        "quorvexcard: no modem listed in /proc/tty/driver/usbserial; name its port with --device\n";
    const std::string exposition = scriptedExposition("/dev/ttyUSB1", "S");
    const struct {
        const char* driverList;  // nullptr: no list at all
        std::vector<std::string> arguments;
        std::vector<int> closed;
        bool unprivileged;  // run as nobody, else as root
        std::string out, err;
        int status;
    } cases[] = {
        // First, while the port is in its default cooked mode.
        {listed.c_str(), {}, {0}, false, kScriptedState, "", 0},
        {listed.c_str(), {}, {}, false, kScriptedState, "", 0},
        {listed.c_str(), {"--json"}, {}, false, kScriptedJson, "", 0},
        {listed.c_str(), {"--prometheus"}, {}, false, exposition, "", 0},
        {listed.c_str(), {"--help"}, {}, false, runTool({"--help"}).out, "", 0},
        {listed.c_str(), {}, {1}, false, "", "", 0},
        {"", {}, {}, false, "", noModem, 3},
        {nullptr, {}, {}, false, "", cannotRead + "No such file or directory" + useDevice, 3},
        // Last: skipped where users cannot be switched.
        {listed.c_str(), {}, {}, true, "", cannotRead + "Permission denied" + useDevice, 3},
    };
    for (const auto& c : cases) {
        if (!c.closed.empty() && cardToolUnderLauncher()) {
            continue;  // a launcher such as qemu fills the closed descriptors
        }
        if (c.unprivileged && ::geteuid() != 0) {
            GTEST_SKIP() << "running the tool as nobody needs root";
        }
        ProbeSandbox sandbox;
        if (c.driverList != nullptr) {
            sandbox.setDriverList(c.driverList);
        }
        sandbox.addDevice("ttyUSB1", modem.devicePath());
        sandbox.addDevice("null", "/dev/null");
        sandbox.closeDescriptors(c.closed);
        if (c.unprivileged) {
            sandbox.runAsUser(kNobody);
        }
        const ProbeRun run = sandbox.runCardTool(c.arguments);
        SCOPED_TRACE(testing::PrintToString(c.arguments) + " closed " +
                     testing::PrintToString(c.closed) + ": " + c.err);
        std::string out = c.out;  // its collection's seconds (S) are the run's own
        if (const std::size_t at = out.find("} S\n"); at != std::string::npos) {
            out.replace(at + 2, 1, collectionSeconds(run.out));
        }
        EXPECT_EQ(run.out, out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.exitStatus, c.status);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(modem.unframedBytes(), "") << "output reached the modem";
    EXPECT_FALSE(modem.becameControllingTerminal());
}

// The cron probe started while a technician's tool holds the port for
// longer than the probe's whole wait (every reply 200 ms late, 11 queries):
// the tool leaves the port free between two queries, so the probe gets its
// turn, and no value reaches the wrong one.
TEST_F(CardToolTest, ProbeGetsItsTurnDuringALongSnapshot) {
    if (!ProbeSandbox::unavailableReason().empty()) {
        GTEST_SKIP() << ProbeSandbox::unavailableReason();
    }
    answerScriptedState(modem, 200ms);
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(75)).after(200ms));
    ProbeSandbox probeBox;
    probeBox.setDriverList("0: product:0028 num_ports:1 port:0 path:a\n1: product:0028\n");
    probeBox.addDevice("ttyUSB1", modem.devicePath());
    ProbeSandbox toolBox;
    toolBox.addDevice("ttyUSB1", modem.devicePath());

    constexpr int kRounds = 3;
    int probeAnswered = 0;
    for (int round = 0; round < kRounds; ++round) {
        ProbeRun probe;
        std::thread cron([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300 + round * 300));
            probe = probeBox.runProbe();
        });
        const ProbeRun tool = toolBox.runCardTool({"--device", "/dev/ttyUSB1"});
        cron.join();
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_LE(probe.elapsed, 3500ms + launcherAllowance());
        probeAnswered += probe.metrics == "-75\n0\n" && probe.exitStatus == 181;
        EXPECT_EQ(tool.out, kScriptedState);
        EXPECT_EQ(tool.exitStatus, 0);
    }
    EXPECT_GE(probeAnswered, kRounds - 1) << "the probe did not get its turn";
}

}  // namespace
