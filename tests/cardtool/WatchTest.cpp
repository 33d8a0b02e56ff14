// quorvexcard --watch against the simulated modem, whose signal changes from
// sample to sample: the log lines, the summary and the cadence in process;
// the screen on a pseudo-terminal, the stop signals and a closed pipe on the
// binary.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <ctime>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "cardtool/CardTool.h"
#include "cardtool/WatchSample.h"
#include "cns/CnsObjects.h"
#include "sim/DriftingSignal.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"
#include "support/Descriptors.h"

extern char** environ;

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::regex kTimestamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
const std::string kSummary =
    "quorvexcard: samples answered 3, failed 2\n"
    "               min    mean    max\n"
    "CDMA RSSI      -91   -89.7    -88\n"
    "CDMA Ec/Io       7     8.0      9\n"
    "HDR RSSI       -82   -80.3    -79\n"
    "HDR Ec/Io        3     4.0      5\n";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// Milliseconds since the epoch of an ISO 8601 UTC timestamp.
long long epochMilliseconds(const std::string& timestamp) {
    tm parts{};
    strptime(timestamp.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
    return static_cast<long long>(timegm(&parts)) * 1000 + std::stoi(timestamp.substr(20, 3));
}

class WatchTest : public testing::Test {
protected:
    void SetUp() override {
        modem.answer(OBJ_MODEM_TYPE,
                     SimulatedModem::reply(OBJ_MODEM_TYPE, {0, 0, 0, 0x3C, 0, 0, 0, 0}));
        modem.answerValue(OBJ_HDR_HYBRID_PREFERENCE, 1);
        // Answered twice, then no reply, then an error reply whose values
        // must stay out of the statistics, then answered.
        modem.answerInTurn(
            OBJ_RSSI_ECIO_CDMA_HDR,
            {signalReply(90, 8, 80, 4), signalReply(91, 7, 82, 5), SimulatedModem::mute(),
             SimulatedModem::errorReply(OBJ_RSSI_ECIO_CDMA_HDR, {0, 50, 0, 50, 0, 50, 0, 50}),
             signalReply(88, 9, 79, 3)});
    }

    std::string header(const char* every = "0.1 s") const {
        return "quorvexcard: watching " + modem.devicePath() +
               ", model MC5728V, hybrid mode on, every " + every + "\n";
    }

    SimulatedModem modem;
};

TEST_F(WatchTest, LogLinesSummaryAndCadence) {
    const std::string noReply = "no reply within 1 second";
    const std::string errorReply = "the modem answered with an error";
    const auto json = [](const char* values, const std::string& reason) {
        std::string errors;
        for (const char* key : {"cdma_rssi", "cdma_ecio", "hdr_rssi", "hdr_ecio"}) {
            errors += std::string(errors.empty() ? "" : ", ") + '"' + key + "\": \"" + reason + '"';
        }
        return std::string("{\"time\": \"T\", ") +
               (reason.empty() ? values
                               : "\"cdma_rssi\": null, \"cdma_ecio\": null, \"hdr_rssi\": "
                                 "null, \"hdr_ecio\": null") +
               ", \"errors\": {" + (reason.empty() ? "" : errors) + "}}";
    };
    const struct {
        bool json;
        std::vector<std::string> lines;  // T for the timestamp
    } cases[] = {
        {false,
         {"T cdma_rssi=-90 cdma_ecio=8 hdr_rssi=-80 hdr_ecio=4",
          "T cdma_rssi=-91 cdma_ecio=7 hdr_rssi=-82 hdr_ecio=5", "T error=\"" + noReply + "\"",
          "T error=\"" + errorReply + "\"", "T cdma_rssi=-88 cdma_ecio=9 hdr_rssi=-79 hdr_ecio=3"}},
        {true,
         {json("\"cdma_rssi\": -90, \"cdma_ecio\": 8, \"hdr_rssi\": -80, \"hdr_ecio\": 4", ""),
          json("\"cdma_rssi\": -91, \"cdma_ecio\": 7, \"hdr_rssi\": -82, \"hdr_ecio\": 5", ""),
          json("", noReply), json("", errorReply),
          json("\"cdma_rssi\": -88, \"cdma_ecio\": 9, \"hdr_rssi\": -79, \"hdr_ecio\": 3", "")}},
    };
    // Sample starts 0.1 s apart, but the one after the mute sample (1 s)
    // starts when it ends, and the next one 0.1 s later: no catching up.
    const long long gaps[] = {100, 100, 1000, 100};
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {
            "--device", modem.devicePath(), "--watch", "--interval", "0.1", "--count", "5"};
        if (c.json) {
            arguments.push_back("--json");
        }
        const int openBefore = descriptorsOn(modem.devicePath());
        std::ostringstream out;
        testing::internal::CaptureStderr();
        const int status = CardTool::run(arguments, out, std::cerr);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0);
        EXPECT_EQ(descriptorsOn(modem.devicePath()), openBefore) << "the port was left open";
        EXPECT_EQ(err, header() + "No data was returned by query.\n" +
                           "4197 query data packet has an error associated with it.\n" + kSummary);

        std::vector<long long> starts;
        std::vector<std::string> withoutTime;
        for (const std::string& line : lines(out.str())) {
            std::smatch time;
            ASSERT_TRUE(std::regex_search(line, time, kTimestamp)) << line;
            starts.push_back(epochMilliseconds(time.str()));
            withoutTime.push_back(std::regex_replace(line, kTimestamp, "T"));
        }
        EXPECT_EQ(withoutTime, c.lines);
        ASSERT_EQ(starts.size(), 5u);
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        EXPECT_NEAR(starts.back(),
                    std::chrono::duration_cast<std::chrono::milliseconds>(now).count(), 2000);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_GE(starts[i + 1] - starts[i], gaps[i] - 5) << "sample " << i + 2;
            EXPECT_LE(starts[i + 1] - starts[i], gaps[i] + 300) << "sample " << i + 2;
        }
    }
}

TEST_F(WatchTest, OptionValuesOutsideTheirRangeAreUsageErrors) {
    const std::string interval =
        "quorvexcard: --interval takes seconds from 0.1 to 3600 (at most "
        "three decimals), not '";
    const std::string count = "quorvexcard: --count takes a whole number of samples from 1, not '";
    const std::string tryHelp = "\nTry 'quorvexcard --help'.\n";
    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"--watch", "--interval", "0.09"}, interval + "0.09'" + tryHelp},
        {{"--watch", "--interval", "3600.001"}, interval + "3600.001'" + tryHelp},
        {{"--watch", "--interval", "0.1234"}, interval + "0.1234'" + tryHelp},
        {{"--watch", "--interval", "1e1"}, interval + "1e1'" + tryHelp},
        {{"--watch", "--interval", "1."}, interval + "1.'" + tryHelp},
        {{"--watch", "--interval", ""}, interval + "'" + tryHelp},
        {{"--watch", "--count", "0"}, count + "0'" + tryHelp},
        {{"--watch", "--count", "-2"}, count + "-2'" + tryHelp},
        {{"--watch", "--count", "2.5"}, count + "2.5'" + tryHelp},
        {{"--watch", "--count", "1234567890"}, count + "1234567890'" + tryHelp},
        {{"--watch", "--count"}, "quorvexcard: option --count needs a value" + tryHelp},
        {{"--count", "3"}, "quorvexcard: option --count goes with --watch" + tryHelp},
        {{"--watch", "--set-hybrid", "on"},
         "quorvexcard: --watch and --set-hybrid do not go together" + tryHelp},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"--device", modem.devicePath()};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        std::ostringstream out;
        testing::internal::CaptureStderr();
        EXPECT_EQ(CardTool::run(arguments, out, std::cerr), 2) << c.err;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_TRUE(modem.requests().empty());

    // The longest interval is taken, and the last sample waits for none.
    std::ostringstream out;
    testing::internal::CaptureStderr();
    const auto start = Clock::now();
    EXPECT_EQ(CardTool::run(
                  {"--device", modem.devicePath(), "--watch", "--interval", "3600", "--count", "1"},
                  out, std::cerr),
              0);
    EXPECT_LT(Clock::now() - start, 1500ms);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(header("3600 s"), 0), 0u);
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

// The binary, with standard output and error on the given descriptors.
pid_t spawnTool(const std::vector<std::string>& arguments, int out, int err) {
    std::vector<std::string> all = {QUORVEX_CARDTOOL_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads `fd` until it holds `lineCount` lines, its end, or 10 s.
std::string readLines(int fd, std::size_t lineCount = SIZE_MAX) {
    std::string text;
    const auto limit = Clock::now() + 10s;
    while (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) < lineCount &&
           Clock::now() < limit) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;  // the end; a pseudo-terminal says EIO
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// The exit status, or -1 when it did not exit normally within `limit`.
int exitStatus(pid_t pid, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0); }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int end) {
        if (ends[end] != -1) {
            ::close(ends[end]);
            ends[end] = -1;
        }
    }
    int ends[2] = {-1, -1};
};

TEST_F(WatchTest, ScreenOnATerminalRedrawsInPlaceAndShowsTheCursorAgain) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_NE(master, -1);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_NE(terminal, -1);
    Pipe err;
    const pid_t tool =
        spawnTool({"--device", modem.devicePath(), "--watch", "--interval", "0.1", "--count", "5"},
                  terminal, err.ends[1]);
    ::close(terminal);
    err.closeEnd(1);
    std::string screen = readLines(master);
    ::close(master);
    EXPECT_EQ(exitStatus(tool, 5s), 0);
    // The card's lines still go to standard error.
    EXPECT_EQ(readLines(err.ends[0]),
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
    EXPECT_EQ(screens[0], "quorvexcard --watch: " + modem.devicePath() +
                              ", model MC5728V, hybrid mode on, every 0.1 s\n\n"
                              "waiting for the first sample\n");
    EXPECT_EQ(screens[3], top +
                              "CDMA RSSI     --  no reply within 1 second             -91   -90.5  "
                              "  -90\n"
                              "CDMA Ec/Io    --  no reply within 1 second               7     7.5  "
                              "    8\n"
                              "HDR RSSI      --  no reply within 1 second             -82   -81.0  "
                              "  -80\n"
                              "HDR Ec/Io     --  no reply within 1 second               4     4.5  "
                              "    5\n\n"
                              "answered 2, failed 1, elapsed 0:00:00. Ctrl-C stops.\n");
    const std::string last = top +
                             "CDMA RSSI    -88  [#######-------------]  fair         -91   -89.7  "
                             "  -88\n"
                             "CDMA Ec/Io     9  [####################]                 7     8.0  "
                             "    9\n"
                             "HDR RSSI     -79  [##########----------]  fair         -82   -80.3  "
                             "  -79\n"
                             "HDR Ec/Io      3  [--------------------]                 3     4.0  "
                             "    5\n\n";
    EXPECT_EQ(screens[5].substr(0, last.size()), last);
    ASSERT_EQ(screens[6].substr(0, last.size()), last);
    EXPECT_TRUE(
        std::regex_match(screens[6].substr(last.size()),
                         std::regex(R"(Stopped after 0:00:0\d: samples answered 3, failed 2\.\n)")))
        << screens[6];
}

}  // namespace

TEST_F(WatchTest, StopSignalsAndAClosedPipeEndTheWatchPromptly) {
    const struct {
        const char* interval;
        std::size_t linesBefore;  // read before stopping
        std::chrono::milliseconds pause;
        int signal;  // 0: the reader closes the pipe instead
        std::size_t lines;
        std::string summary;  // "": none
    } cases[] = {
        // In the wait for the next sample: at once, not a minute later.
        {"60", 1, 0ms, SIGINT, 1, "quorvexcard: samples answered 1, failed 0\n"},
        {"60", 1, 0ms, SIGHUP, 1, "quorvexcard: samples answered 1, failed 0\n"},
        // During the mute third sample's wait for its reply: after it.
        {"0.1", 2, 300ms, SIGTERM, 3, "quorvexcard: samples answered 2, failed 1\n"},
        {"0.1", 1, 0ms, 0, 1, ""},
    };
    for (const auto& c : cases) {
        modem.answerInTurn(
            OBJ_RSSI_ECIO_CDMA_HDR,
            {signalReply(90, 8, 80, 4), signalReply(91, 7, 82, 5), SimulatedModem::mute()});
        Pipe out, err;
        const pid_t tool =
            spawnTool({"--device", modem.devicePath(), "--watch", "--interval", c.interval},
                      out.ends[1], err.ends[1]);
        out.closeEnd(1);
        err.closeEnd(1);
        std::string log = readLines(out.ends[0], c.linesBefore);
        std::this_thread::sleep_for(c.pause);
        const auto stopped = Clock::now();
        if (c.signal != 0) {
            ::kill(tool, c.signal);
        } else {
            out.closeEnd(0);
        }
        EXPECT_EQ(exitStatus(tool, 1500ms), 0) << "signal " << c.signal;
        EXPECT_LT(Clock::now() - stopped, 1500ms);
        if (c.signal != 0) {
            log += readLines(out.ends[0]);
        }
        EXPECT_EQ(lines(log).size(), c.lines) << log;
        const std::string errText = readLines(err.ends[0]);
        const std::string start = header(c.interval[0] == '6' ? "60 s" : "0.1 s");
        if (c.summary.empty()) {
            EXPECT_EQ(errText, start) << "a closed pipe ends the watch quietly";
        } else {
            EXPECT_EQ(errText.rfind(start, 0), 0u) << errText;
            EXPECT_NE(errText.find(c.summary), std::string::npos) << errText;
        }
    }
}

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

    Pipe out, err;
    const pid_t watch =
        spawnTool({"--device", modem.devicePath(), "--watch", "--interval", "0.1", "--count", "30"},
                  out.ends[1], err.ends[1]);
    out.closeEnd(1);
    err.closeEnd(1);
    int probeRuns = 0;
    for (int status = 0; ::waitpid(watch, &status, WNOHANG) == 0; ++probeRuns) {
        const ProbeRun probe = sandbox.runProbe();
        EXPECT_EQ(probe.metrics, "-75\n1\n") << "run " << probeRuns;
        EXPECT_EQ(probe.err, "");
        EXPECT_EQ(probe.exitStatus, 181);
    }
    EXPECT_GE(probeRuns, 3);
    std::vector<std::string> samples;
    for (const std::string& line : lines(readLines(out.ends[0]))) {
        samples.push_back(std::regex_replace(line, kTimestamp, "T"));
    }
    EXPECT_EQ(samples, expected);
    EXPECT_NE(readLines(err.ends[0]).find("quorvexcard: samples answered 30, failed 0\n"),
              std::string::npos);
}
