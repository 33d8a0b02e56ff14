// quorvexcard --watch against the simulated modem, whose signal changes from
// sample to sample: the log lines, the summary and the cadence in process;
// the screen on a pseudo-terminal; the stop signals, a closed pipe and a
// modem that resets on the binary.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "cardtool/CardTool.h"
#include "cardtool/watch/WatchLog.h"
#include "cardtool/watch/WatchSample.h"
#include "cns/CnsObjects.h"
#include "sim/ChildProcess.h"
#include "sim/DriftingSignal.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"
#include "support/Descriptors.h"
#include "support/ToolRun.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::regex kTimestamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
const std::string kGone = "the modem went away (Input/output error)";
const std::string kSummary =
    "quorvexcard: samples answered 3, failed 2\n"
    "               min    mean    max\n"
    "CDMA RSSI      -91   -89.7    -88\n"
    "CDMA Ec/Io       7     8.0      9\n"
    "HDR RSSI       -82   -80.3    -79\n"
    "HDR Ec/Io        3     4.0      5\n";

// The four values of one reply, RSSI as magnitudes (90 for -90 dBm).
struct Signal {
    unsigned short cdmaRssi, cdmaEcio, hdrRssi, hdrEcio;
};
constexpr Signal kFirst{90, 8, 80, 4}, kSecond{91, 7, 82, 5}, kThird{88, 9, 79, 3};
constexpr Signal kSignals[] = {kFirst, kSecond, kThird};

SimulatedModem::Answer replyOf(const Signal& s) {
    return signalReply(s.cdmaRssi, s.cdmaEcio, s.hdrRssi, s.hdrEcio);
}

// A sample's log line, T for its time: its values, or why there are none.
std::string lineOf(bool json, const Signal& s) {
    char text[128];
    std::snprintf(text, sizeof text,
                  json ? "{\"time\": \"T\", \"cdma_rssi\": -%u, \"cdma_ecio\": %u, \"hdr_rssi\": "
                         "-%u, \"hdr_ecio\": %u, \"errors\": {}}"
                       : "T cdma_rssi=-%u cdma_ecio=%u hdr_rssi=-%u hdr_ecio=%u",
                  s.cdmaRssi, s.cdmaEcio, s.hdrRssi, s.hdrEcio);
    return text;
}

std::string failedLine(bool json, const std::string& reason) {
    const std::string why = '"' + reason + '"';
    return json ? "{\"time\": \"T\", \"cdma_rssi\": null, \"cdma_ecio\": null, \"hdr_rssi\": "
                  "null, \"hdr_ecio\": null, \"errors\": {\"cdma_rssi\": " +
                      why + ", \"cdma_ecio\": " + why + ", \"hdr_rssi\": " + why +
                      ", \"hdr_ecio\": " + why + "}}"
                : "T error=" + why;
}

// The summary of the `answered` samples and `failed` ones, `away` of them
// lost while the modem was away (the format itself is kSummary's).
std::string summaryOf(const std::vector<Signal>& answered, unsigned long failed,
                      unsigned long away) {
    CardTool::SignalStats stats;
    for (const Signal& s : answered) {
        CardTool::SignalSample sample{};
        sample.values = {-s.cdmaRssi, s.cdmaEcio, -s.hdrRssi, s.hdrEcio};
        stats.add(sample);
    }
    stats.failed = failed;
    stats.away = away;
    return CardTool::formatSummary(stats);
}

// What the tool says on standard error when the modem left `port`.
std::string awayLine(const std::string& port) {
    return "quorvexcard: " + port + ": " + kGone + "; looking for it again at each sample\n";
}

// Milliseconds since the epoch of an ISO 8601 UTC timestamp.
long long epochMilliseconds(const std::string& timestamp) {
    tm parts{};
    strptime(timestamp.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
    return static_cast<long long>(timegm(&parts)) * 1000 + std::stoi(timestamp.substr(20, 3));
}

// Each log line's start, in milliseconds since the epoch; the lines with T
// for their time go to `withoutTime`.
std::vector<long long> startsOf(const std::string& log, std::vector<std::string>& withoutTime) {
    std::vector<long long> starts;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::smatch time;
        EXPECT_TRUE(std::regex_search(line, time, kTimestamp)) << line;
        starts.push_back(time.empty() ? 0 : epochMilliseconds(time.str()));
        withoutTime.push_back(std::regex_replace(line, kTimestamp, "T"));
    }
    return starts;
}

class WatchTest : public testing::Test {
protected:
    void SetUp() override {
        modem.answer(OBJ_MODEM_TYPE, kModelReply);
        modem.answerValue(OBJ_HDR_HYBRID_PREFERENCE, 1);
        modem.answerInTurn(OBJ_RSSI_ECIO_CDMA_HDR, usualTurns());
    }

    // Answered twice, then no reply, then an error reply whose values must
    // stay out of the statistics, then answered.
    static std::vector<SimulatedModem::Answer> usualTurns() {
        return {replyOf(kFirst), replyOf(kSecond), SimulatedModem::mute(),
                SimulatedModem::errorReply(OBJ_RSSI_ECIO_CDMA_HDR, {0, 50, 0, 50, 0, 50, 0, 50}),
                replyOf(kThird)};
    }

    const SimulatedModem::Answer kModelReply =
        SimulatedModem::reply(OBJ_MODEM_TYPE, {0, 0, 0, 0x3C, 0, 0, 0, 0});

    // The watch in process: `count` samples, `interval` apart.
    ToolRun watchInProcess(const char* interval, const char* count, bool json = false) {
        std::vector<std::string> arguments = {
            "--device", modem.devicePath(), "--watch", "--interval", interval, "--count", count};
        if (json) {
            arguments.push_back("--json");
        }
        return runTool(arguments);
    }

    std::string header(const char* every = "0.1 s") const {
        return "quorvexcard: watching " + modem.devicePath() +
               ", model MC5728V, hybrid mode on, every " + every + "\n";
    }

    SimulatedModem modem;
};

// The usual turns, plain and JSON; then a line that hangs up during the
// third sample's wait and never comes back: the watch runs to --count, the
// later samples keep the cadence and name the reason, and the port is
// closed without a word about its settings.
TEST_F(WatchTest, LogLinesSummaryAndCadence) {
    const std::string noReply = "no reply within 1 second";
    const std::string errorReply = "the modem answered with an error";
    for (const bool hangsUp : {false, true}) {
        for (const bool json : {false, true}) {
            modem.answerInTurn(
                OBJ_RSSI_ECIO_CDMA_HDR,
                hangsUp ? std::vector<SimulatedModem::Answer>{replyOf(kFirst), replyOf(kSecond),
                                                              SimulatedModem::hangUp()}
                        : usualTurns());
            const int openBefore = descriptorsOn(modem.devicePath());
            const ToolRun tool = watchInProcess("0.1", hangsUp ? "4" : "5", json);
            EXPECT_EQ(tool.status, 0);
            EXPECT_EQ(descriptorsOn(modem.devicePath()), openBefore) << "the port was left open";
            EXPECT_EQ(
                tool.err,
                header() + "No data was returned by query.\n" +
                    (hangsUp
                         ? awayLine(modem.devicePath()) + summaryOf({kFirst, kSecond}, 2, 2)
                         : "4197 query data packet has an error associated with it.\n" + kSummary));
            std::vector<std::string> withoutTime;
            const std::vector<long long> starts = startsOf(tool.out, withoutTime);
            const std::vector<std::string> expected = {
                lineOf(json, kFirst), lineOf(json, kSecond),
                failedLine(json, hangsUp ? kGone : noReply),
                failedLine(json, hangsUp ? kGone : errorReply), lineOf(json, kThird)};
            EXPECT_EQ(withoutTime, std::vector<std::string>(expected.begin(),
                                                            expected.end() - (hangsUp ? 1 : 0)));
            // Sample starts 0.1 s apart, but the one after the mute sample
            // (1 s) starts when it ends, and the next one 0.1 s later: no
            // catching up. While the modem is away, never faster.
            const long long gaps[] = {100, 100, hangsUp ? 100 : 1000, 100};
            for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
                EXPECT_GE(starts[i + 1] - starts[i], gaps[i] - 5) << "sample " << i + 2;
                EXPECT_LE(starts[i + 1] - starts[i], gaps[i] + 300) << "sample " << i + 2;
            }
            if (hangsUp) {
                modem.comeBack();
            }
        }
    }
}

// Replies 300 ms late take much of a 0.5 s interval: the next sample still
// starts 0.5 s after the previous one started, not after it ended.
TEST_F(WatchTest, CadenceRunsFromEachSampleStart) {
    modem.answerInTurn(OBJ_RSSI_ECIO_CDMA_HDR, {replyOf(kFirst).after(300ms)});
    const ToolRun tool = watchInProcess("0.5", "4");
    EXPECT_EQ(tool.status, 0);
    std::vector<std::string> withoutTime;
    const std::vector<long long> starts = startsOf(tool.out, withoutTime);
    ASSERT_EQ(starts.size(), 4u);
    // Counted from each end, the gaps would be 800 ms: a slow launcher's
    // wider slack still tells the two apart.
    const long long slack = probeUnderLauncher() ? 200 : 40;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_NEAR(starts[i] - starts[i - 1], 500, slack) << "sample " << i + 1;
    }
}

TEST_F(WatchTest, LongestIntervalIsTakenAndTheLastSampleWaitsForNone) {
    const auto start = Clock::now();
    EXPECT_EQ(watchInProcess("3600", "1").err.rfind(header("3600 s"), 0), 0u);
    EXPECT_LT(Clock::now() - start, 1500ms + launcherAllowance());
}

TEST(WatchStatsTest, MeanOfADayOfSamplesDoesNotDrift) {
    // A day and a half at 0.1 s: 1.3 million readings of -91 and -90.
    CardTool::RunningStats stats;
    for (int i = 0; i < 1300000; ++i) {
        stats.add(i % 2 == 0 ? -91 : -90);
    }
    EXPECT_EQ(stats.mean(), -90.5);
    EXPECT_EQ(CardTool::statsColumns(stats), "   -91   -90.5    -90");
}

// "" when the tool's binary runs on this host; a cross build's binary does
// not run where only the test executables go through an emulator.
std::string cannotRunTheBinary() {
    static const std::string reason =
        ChildProcess({QUORVEX_CARDTOOL_PATH, "--help"}).exitStatus(5s) == 0
            ? ""
            : "the tool's binary does not run on this host (a cross build)";
    return reason;
}

TEST_F(WatchTest, ScreenOnATerminalRedrawsInPlaceAndShowsTheCursorAgain) {
    if (!cannotRunTheBinary().empty()) {
        GTEST_SKIP() << cannotRunTheBinary();
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_NE(master, -1);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_NE(terminal, -1);
    ChildProcess tool({QUORVEX_CARDTOOL_PATH, "--device", modem.devicePath(), "--watch",
                       "--interval", "0.1", "--count", "5"},
                      terminal);
    ::close(terminal);
    std::string screen = readLines(master);
    ::close(master);
    EXPECT_EQ(tool.exitStatus(5s), 0);
    // The card's lines show on the screen, and go to standard error, a pipe.
    EXPECT_EQ(readLines(tool.err),
              "No data was returned by query.\n"
              "4197 query data packet has an error associated with it.\n");

    screen = std::regex_replace(screen, std::regex("\r"), "");
    ASSERT_EQ(screen.rfind("\033[?25l\033[2J\033[H", 0), 0u) << "cursor hidden, screen cleared";
    ASSERT_GE(screen.size(), 10u);
    EXPECT_EQ(screen.substr(screen.size() - 9), "\033[J\033[?25h") << "cursor shown at the end";
    // The start, one screen per sample, and the last one.
    std::vector<std::string> screens;
    for (std::size_t at = 0; (at = screen.find("\033[H", at)) != std::string::npos; at += 3) {
        const std::size_t end = screen.find("\033[J", at);
        screens.push_back(
            std::regex_replace(screen.substr(at + 3, end - at - 3), std::regex("\033\\[K"), ""));
    }
    ASSERT_EQ(screens.size(), 7u);
    const std::string top = "quorvexcard --watch: " + modem.devicePath() +
                            ", model MC5728V, hybrid mode on, every 0.1 s\n\n"
                            "             now  signal                  quality      min    mean    "
                            "max\n";
    EXPECT_EQ(screens[3], top +
                              "CDMA RSSI     --  no reply within 1 second             -91   -90.5  "
                              "  -90\n"
                              "CDMA Ec/Io    --  no reply within 1 second               7     7.5  "
                              "    8\n"
                              "HDR RSSI      --  no reply within 1 second             -82   -81.0  "
                              "  -80\n"
                              "HDR Ec/Io     --  no reply within 1 second               4     4.5  "
                              "    5\n\n"
                              "answered 2, failed 1, elapsed 0:00:00. Ctrl-C stops.\n"
                              "No data was returned by query.\n");
    const std::string last = top +
                             "CDMA RSSI    -88  [#######-------------]  fair         -91   -89.7  "
                             "  -88\n"
                             "CDMA Ec/Io     9  [####################]                 7     8.0  "
                             "    9\n"
                             "HDR RSSI     -79  [##########----------]  fair         -82   -80.3  "
                             "  -79\n"
                             "HDR Ec/Io      3  [--------------------]                 3     4.0  "
                             "    5\n\n";
    ASSERT_EQ(screens[6].substr(0, last.size()), last);
    EXPECT_TRUE(
        std::regex_match(screens[6].substr(last.size()),
                         std::regex(R"(Stopped after 0:00:0\d: samples answered 3, failed 2\.\n)")))
        << screens[6];
}

// The binary in the sandbox, stopped by a signal or a closed pipe, or run to
// --count 6 beside a modem that resets: after two samples that say it went
// away it comes back on a new pseudo-terminal, at the link --device names
// (as udev re-points one) or as the port the driver list names, the same or
// the next one.
struct BinaryRun {
    const char* name;
    const char* turns;  // the signal's answers: 1-3 a reply, m none, ^ then the line
                        // hangs up, ! it hangs up instead; @ first: during the model's
    const char* interval;
    const char* device;   // its link in /dev, given as --device; nullptr: ttyUSB1, listed
    const char* samples;  // the log: 1-3 answered, n no reply, - lost while the modem was away
    std::size_t read;     // log lines read before the action, after a pause of `pause` ms
    int pause;
    const char* action;  // SIGINT, SIGHUP, SIGTERM, close (the pipe), or the modem back as
    bool json = false;
};

void PrintTo(const BinaryRun& c, std::ostream* os) {
    *os << c.name;
}

const BinaryRun kBinaryRuns[] = {
    // In the wait for the next sample: at once, not a minute later.
    {"SigintInTheWait", "12m", "60", "modem", "1", 1, 0, "SIGINT"},
    {"SighupInTheWait", "12m", "60", "modem", "1", 1, 0, "SIGHUP"},
    // During the mute third sample's wait for its reply: after it.
    {"SigtermInAReplysWait", "12m", "0.1", "modem", "12n", 2, 300, "SIGTERM"},
    {"ClosedPipe", "12m", "0.1", "modem", "1", 1, 0, "close"},
    {"HangUpBetweenSamplesBackAtTheLink", "12^3", "0.3", "modem", "12--31", 4, 0, "modem"},
    {"HangUpInATransactionBackAsTheNextPort", "1!23", "0.3", nullptr, "1--231", 3, 0, "ttyUSB2"},
    {"HangUpInTheModelQueryBackOnTheSamePort", "@123", "0.3", nullptr, "--1231", 2, 0, "ttyUSB1"},
    {"HangUpNeverBackSigtermWhileAway", "1^", "0.3", "modem", "1--", 3, 0, "SIGTERM", true},
};

class WatchBinaryTest : public WatchTest, public testing::WithParamInterface<BinaryRun> {};

TEST_P(WatchBinaryTest, EndsAsAskedAndLooksForAModemThatWentAway) {
    if (!ProbeSandbox::unavailableReason().empty() || !cannotRunTheBinary().empty()) {
        GTEST_SKIP() << ProbeSandbox::unavailableReason() << cannotRunTheBinary();
    }
    const BinaryRun& c = GetParam();
    const std::string action = c.action;
    const bool comesBack = action.rfind("SIG", 0) != 0 && action != "close";
    std::vector<SimulatedModem::Answer> turns;
    for (const char* turn = c.turns; *turn != '\0'; ++turn) {
        if (*turn == '@') {
            modem.answerInTurn(OBJ_MODEM_TYPE, {SimulatedModem::hangUp(), kModelReply});
        } else if (*turn == '^') {
            // Late enough for the reply to be read, before the next request.
            turns.back() = turns.back().then(SimulatedModem::hangUp().after(100ms));
        } else {
            turns.push_back(*turn == '!'   ? SimulatedModem::hangUp()
                            : *turn == 'm' ? SimulatedModem::mute()
                                           : replyOf(kSignals[*turn - '1']));
        }
    }
    modem.answerInTurn(OBJ_RSSI_ECIO_CDMA_HDR, turns);
    const std::string listed = "0: product:0028 num_ports:1 port:0 path:a\n1: product:0028\n";
    const std::string port = std::string("/dev/") + (c.device != nullptr ? c.device : "ttyUSB1");
    ProbeSandbox sandbox;
    sandbox.setDriverList(listed);
    sandbox.linkDevice(port.substr(5), modem.devicePath());
    // The test brings the modem back within one interval: longer under a slow launcher.
    const bool slow = probeUnderLauncher() || cardToolUnderLauncher();
    const char* interval = comesBack && slow ? "1" : c.interval;
    std::vector<std::string> arguments = {"--watch", "--interval", interval,
                                          "--count", "6",          c.json ? "--json" : "--watch"};
    if (c.device != nullptr) {
        arguments.insert(arguments.end(), {"--device", port});
    }
    ChildProcess tool(sandbox.cardToolCommandLine(arguments));
    std::string log = readLines(tool.out, c.read);
    std::this_thread::sleep_for(std::chrono::milliseconds(c.pause));
    const auto acted = Clock::now();
    if (comesBack) {
        sandbox.linkDevice(action, modem.comeBack());
        if (action == "ttyUSB2") {
            sandbox.setDriverList(std::regex_replace(listed, std::regex("\n1:"), "\n2:"));
        }
    } else if (action == "close") {
        tool.closeOut();
    } else {
        ::kill(tool.pid, action == "SIGINT" ? SIGINT : action == "SIGHUP" ? SIGHUP : SIGTERM);
    }
    EXPECT_EQ(tool.exitStatus(10s), 0);
    EXPECT_LT(Clock::now() - acted, comesBack ? 10000ms : 1500ms);
    std::vector<std::string> withoutTime, expected;
    startsOf(log + (action == "close" ? "" : readLines(tool.out)), withoutTime);
    std::vector<Signal> answered;
    std::string noReplies;
    for (const char* sample = c.samples; *sample != '\0'; ++sample) {
        if (*sample == 'n' || *sample == '-') {
            expected.push_back(
                failedLine(c.json, *sample == '-' ? kGone : "no reply within 1 second"));
            noReplies += *sample == 'n' ? "No data was returned by query.\n" : "";
        } else {
            answered.push_back(kSignals[*sample - '1']);
            expected.push_back(lineOf(c.json, answered.back()));
        }
    }
    EXPECT_EQ(withoutTime, expected);
    // Standard error: the start (after the card's line when the model's
    // query hung up), the card's lines, the modem away and back, the summary.
    const bool modelHangsUp = c.turns[0] == '@';
    const std::string unknown = "unknown (" + kGone + ")";
    const std::string start = "quorvexcard: watching " + port + ", model " +
                              (modelHangsUp ? unknown : "MC5728V") + ", hybrid mode " +
                              (modelHangsUp ? unknown : "on") + ", every " + interval + " s\n";
    const std::size_t away =
        std::count(expected.begin(), expected.end(), failedLine(c.json, kGone));
    std::string err = start + noReplies;
    if (away > 0) {
        const std::string hungUp = modelHangsUp || std::strchr(c.turns, '!') != nullptr
                                       ? "No data was returned by query.\n"
                                       : "Error writing Input/output error\n";
        err = (modelHangsUp ? hungUp + start : start + hungUp) + awayLine(port);
        err += comesBack ? "quorvexcard: the modem is back on /dev/" + action + ", model MC5728V\n"
                         : "";
    }
    if (action != "close") {
        err += summaryOf(answered, expected.size() - answered.size(), away);
    }
    EXPECT_EQ(readLines(tool.err), err);
}

INSTANTIATE_TEST_SUITE_P(Runs, WatchBinaryTest, testing::ValuesIn(kBinaryRuns),
                         [](const testing::TestParamInfo<BinaryRun>& info) {
                             return info.param.name;
                         });

TEST_F(WatchTest, ProbeRunsBesideAWatchOnTheSamePort) {
    if (!ProbeSandbox::unavailableReason().empty()) {
        GTEST_SKIP() << ProbeSandbox::unavailableReason();
    }
    // Every answer comes 50 ms after its request; each sample's is its own.
    modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(75)).after(50ms));
    modem.answer(OBJ_ROAMING_STATUS,
                 SimulatedModem::reply(OBJ_ROAMING_STATUS, value16(1)).after(50ms));
    std::vector<SimulatedModem::Answer> turns;
    std::vector<std::string> expected;
    for (unsigned short k = 0; k < 30; ++k) {
        turns.push_back(signalReply(60 + k, k, 100 - k, 30 + k).after(50ms));
        expected.push_back("T cdma_rssi=-" + std::to_string(60 + k) +
                           " cdma_ecio=" + std::to_string(k) + " hdr_rssi=-" +
                           std::to_string(100 - k) + " hdr_ecio=" + std::to_string(30 + k));
    }
    modem.answerInTurn(OBJ_RSSI_ECIO_CDMA_HDR, turns);
    ProbeSandbox sandbox;
    sandbox.setDriverList("0: product:0028 num_ports:1 port:0 path:a\n1: product:0028\n");
    sandbox.addDevice("ttyUSB1", modem.devicePath());

    ChildProcess watch({QUORVEX_CARDTOOL_PATH, "--device", modem.devicePath(), "--watch",
                        "--interval", "0.1", "--count", "30"});
    int probeRuns = 0;
    for (; watch.running(); ++probeRuns) {
        const ProbeRun probe = sandbox.runProbe();
        EXPECT_EQ(probe.metrics, "-75\n1\n") << "run " << probeRuns;
        EXPECT_EQ(probe.err, "");
        EXPECT_EQ(probe.exitStatus, 181);
    }
    EXPECT_GE(probeRuns, 3);
    std::vector<std::string> samples;
    startsOf(readLines(watch.out), samples);
    EXPECT_EQ(samples, expected);
    EXPECT_NE(readLines(watch.err).find("quorvexcard: samples answered 30, failed 0\n"),
              std::string::npos);
}

}  // namespace
