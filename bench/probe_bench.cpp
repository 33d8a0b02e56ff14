// probe_bench: runs the probe many times against an instantly answering
// simulated modem, alternating with the floor program, inside one sandbox.
//
//   probe_bench [RUNS]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cns/CnsObjects.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"

int main(int argc, char** argv) {
    const std::string runs = argc > 1 ? argv[1] : "300";
    const std::string reason = ProbeSandbox::unavailableReason();
    if (!reason.empty()) {
        std::fprintf(stderr, "probe_bench: %s\n", reason.c_str());
        return 1;
    }
    SimulatedModem modem;
    modem.answerValue(CnsObjects::OBJ_RSSI, 75);
    modem.answerValue(CnsObjects::OBJ_ROAMING_STATUS, 1);
    ProbeSandbox sandbox;
    sandbox.setDriverList(
        "0: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 path:p\n"
        "1: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
        "path:p\n");
    sandbox.addDevice("ttyUSB1", modem.devicePath());
    // The build may live under the /tmp the sandbox replaces: both programs
    // run from copies in the sandbox's own /tmp.
    const ProbeRun run =
        sandbox.run({QUORVEX_BENCH_RUNNER, runs, "181", sandbox.stageProgram(probePath(), "probe"),
                     sandbox.stageProgram(QUORVEX_FLOOR_PROBE, "floor_probe")},
                    std::chrono::minutes(10));
    std::fputs(run.out.c_str(), stdout);
    std::fputs(run.err.c_str(), stderr);
    return run.exitStatus == 0 ? 0 : 1;
}
