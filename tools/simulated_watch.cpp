// simulated_watch: quorvexcard --watch against a simulated modem whose
// signal drifts (a slow walk, and now and then a missed reply), for a machine
// without a modem. The tool runs on this terminal with --device naming the
// modem's pseudo-terminal; Ctrl-C stops it, and its exit status is returned.
//
//   simulated_watch [quorvexcard options, e.g. --interval 0.5 --count 20 --json]
//
// QUORVEX_WATCH_LAUNCHER (words separated by spaces, e.g. "/usr/bin/time -v")
// runs the tool under another program.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cns/CnsObjects.h"
#include "sim/DriftingSignal.h"
#include "sim/SimulatedModem.h"

extern char** environ;

namespace {

constexpr std::size_t kWalkTurns = 600;
constexpr std::size_t kMissEvery = 45;
constexpr unsigned kSeed = 7;

volatile pid_t tool = 0;

void forwardToTool(int signal) {
    if (tool > 0) {
        ::kill(tool, signal);
    }
}

}  // namespace

int main(int argc, char** argv) {
    SimulatedModem modem;
    // Parameter length 8 carries the type (0x3C) in parameter bytes 2-3.
    modem.answer(CnsObjects::OBJ_MODEM_TYPE,
                 SimulatedModem::reply(CnsObjects::OBJ_MODEM_TYPE, {0, 0, 0, 0x3C, 0, 0, 0, 0}));
    modem.answerValue(CnsObjects::OBJ_HDR_HYBRID_PREFERENCE, 1);
    modem.answerInTurn(CnsObjects::OBJ_RSSI_ECIO_CDMA_HDR,
                       driftingSignal(kWalkTurns, kMissEvery, kSeed));

    std::vector<std::string> args;
    const char* launcher = std::getenv("QUORVEX_WATCH_LAUNCHER");
    std::istringstream words(launcher != nullptr ? launcher : "");
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    args.insert(args.end(), {QUORVEX_CARDTOOL_PATH, "--device", modem.devicePath(), "--watch"});
    args.insert(args.end(), argv + 1, argv + argc);
    std::vector<char*> argvOut;
    for (auto& arg : args) {
        argvOut.push_back(arg.data());
    }
    argvOut.push_back(nullptr);

    // Ctrl-C reaches both, and a stop signal sent to this program alone is
    // passed on: the tool stops and shows its summary while this program
    // waits for it. (Caught signals are back to their defaults in the tool.)
    struct sigaction passOn {};
    passOn.sa_handler = forwardToTool;
    sigemptyset(&passOn.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &passOn, nullptr);
    }
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argvOut[0], nullptr, nullptr, argvOut.data(), environ);
    tool = pid;
    if (spawned != 0) {
        std::fprintf(stderr, "simulated_watch: posix_spawn %s: %s\n", argvOut[0],
                     std::strerror(spawned));
        return 1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
