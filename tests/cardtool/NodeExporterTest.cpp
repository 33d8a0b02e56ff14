// The exposition read by the parser fleets use: the real quorvexcard writes
// it with --output into the textfile directory of a real node_exporter
// (Debian's prometheus-node-exporter) on a loopback port of its own, and a
// scrape of /metrics must carry every metric with its value and no error.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "sim/Sandbox.h"
#include "support/ScratchDir.h"
#include "support/ScriptedModem.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr const char* kExporterPath = "/usr/bin/prometheus-node-exporter";

std::string exporterUnavailableReason() {
    if (QUORVEX_CROSS_BUILD) {
        return "a cross build: the test runs under an emulator, node_exporter on the host";
    }
    if (::access(kExporterPath, X_OK) != 0) {
        return std::string(kExporterPath) + " is missing (Debian package prometheus-node-exporter)";
    }
    return "";
}

pid_t spawn(const std::vector<std::string>& command, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

int exitStatusOf(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A port nobody listens on now.
int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : -1;
}

// The whole reply to GET /metrics over HTTP/1.0, "" when nobody answers.
std::string scrape(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return reply;
}

// node_exporter on a loopback port, reading one textfile directory; stopped
// (SIGTERM, then SIGKILL) and waited for on every road out.
class Exporter {
public:
    Exporter(const std::string& textfiles, const std::string& log) : port(freeLoopbackPort()) {
        pid = spawn({kExporterPath, "--web.listen-address=127.0.0.1:" + std::to_string(port),
                     "--collector.disable-defaults", "--collector.textfile",
                     "--collector.textfile.directory=" + textfiles},
                    log);
        ready = pid > 0 && awaitListening();
    }
    ~Exporter() { stop(); }
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;

    bool isReady() const { return ready; }
    std::string metrics() const { return scrape(port); }

private:
    bool awaitListening() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;  // it gave up: its log says why
                return false;
            }
            if (!scrape(port).empty()) {
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    void stop() {
        if (pid <= 0) {
            return;
        }
        ::kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (::waitpid(pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid = -1;
    }

    int port;
    pid_t pid = -1;
    bool ready = false;
};

class NodeExporterTest : public testing::TestWithParam<ScriptedCase> {};

TEST_P(NodeExporterTest, ServesEveryMetricWithItsValue) {
    if (!exporterUnavailableReason().empty()) {
        GTEST_SKIP() << exporterUnavailableReason();
    }
    SimulatedModem modem;
    answerScriptedState(modem);
    GetParam().script(modem);
    const ScratchDir scratch;
    const std::string textfiles = scratch.path + "/textfiles";
    const std::string log = scratch.path + "/log";
    std::filesystem::create_directory(textfiles);
    const std::string file = textfiles + "/quorvex.prom";
    const pid_t tool = spawn(
        {QUORVEX_CARDTOOL_PATH, "--device", modem.devicePath(), "--prometheus", "--output", file},
        log);
    ASSERT_GT(tool, 0);
    EXPECT_EQ(exitStatusOf(tool), GetParam().status) << readFileText(log);
    const std::string written = readFileText(file);
    const std::string expected =
        scriptedExposition(modem.devicePath(), collectionSeconds(written), GetParam().change);
    ASSERT_EQ(written, expected);

    const Exporter exporter(textfiles, log);
    ASSERT_TRUE(exporter.isReady()) << readFileText(log);
    const std::string reply = exporter.metrics();
    ASSERT_EQ(reply.rfind("HTTP/1.", 0), 0u) << reply;
    EXPECT_NE(reply.find(" 200 "), std::string::npos) << reply.substr(0, reply.find('\n'));
    const std::string body = '\n' + reply.substr(reply.find("\r\n\r\n") + 4);
    EXPECT_NE(body.find("\nnode_textfile_scrape_error 0\n"), std::string::npos) << body;
    int samples = 0;
    std::istringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(body.find('\n' + line + '\n'), std::string::npos) << line;
        samples += line.rfind("quorvex_", 0) == 0;
    }
    int served = 0;
    for (std::size_t at = 0; (at = body.find("\nquorvex_", at)) != std::string::npos; ++at) {
        ++served;
    }
    EXPECT_EQ(served, samples) << body;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeExporterTest,
    testing::Values(ScriptedCase{"EveryQueryAnswered", [](SimulatedModem&) {}, {}, 0},
                    ScriptedCase{"HdrServiceStateMute", muteHdrServiceState, kHdrServiceStateMuted,
                                 1}),
    [](const testing::TestParamInfo<ScriptedCase>& info) { return info.param.name; });

}  // namespace
