// simulated_run: one run of the probe against a simulated modem, for a
// machine without one. The probe sees a driver list naming ttyUSB1, a
// /dev/ttyUSB1 that leads to the modem, and a private /tmp; afterwards the
// metrics file, standard output and error, and the exit status are shown.
//
//   simulated_run [--rssi N] [--roaming N] [--mute]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cns/CnsObjects.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"

namespace {

constexpr const char* kDriverList = R"(usbserinfo:1.0 driver:2.0
0: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
1: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
)";

void usage() {
    std::fprintf(stderr, "usage: simulated_run [--rssi N] [--roaming N] [--mute]\n");
    std::exit(2);
}

unsigned short number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 0);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 0xFFFF) {
        usage();
    }
    return static_cast<unsigned short>(value);
}

void show(const char* title, const std::string& text) {
    std::printf("--- %s ---\n%s", title, text.c_str());
    if (!text.empty() && text.back() != '\n') {
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned short rssi = 75;
    unsigned short roaming = 1;
    bool mute = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mute") == 0) {
            mute = true;
        } else if (std::strcmp(argv[i], "--rssi") == 0 && i + 1 < argc) {
            rssi = number(argv[++i]);
        } else if (std::strcmp(argv[i], "--roaming") == 0 && i + 1 < argc) {
            roaming = number(argv[++i]);
        } else {
            usage();
        }
    }
    const std::string reason = ProbeSandbox::unavailableReason();
    if (!reason.empty()) {
        std::fprintf(stderr, "simulated_run: %s\n", reason.c_str());
        return 1;
    }

    SimulatedModem modem;
    if (!mute) {
        modem.answerValue(CnsObjects::OBJ_RSSI, rssi);
        modem.answerValue(CnsObjects::OBJ_ROAMING_STATUS, roaming);
    }
    ProbeSandbox sandbox;
    sandbox.setDriverList(kDriverList);
    sandbox.addDevice("ttyUSB1", modem.devicePath());

    std::printf("probe:  %s\n", probePath().c_str());
    std::printf("modem:  /dev/ttyUSB1 -> %s, ", modem.devicePath().c_str());
    if (mute) {
        std::printf("never answers\n");
    } else {
        std::printf("reports RSSI %u and roaming status %u\n", rssi, roaming);
    }
    const ProbeRun run = sandbox.runProbe();
    show("/tmp/quorvexmetrics", run.metrics.value_or("(no file)\n"));
    show("standard output", run.out);
    show("standard error", run.err);
    std::printf("--- exit status: %d (after %lld ms) ---\n", run.exitStatus,
                static_cast<long long>(run.elapsed.count()));
    return run.hung ? 1 : 0;
}
