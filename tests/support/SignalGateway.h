// A gateway for the signal page's tests: the simulated modem behind
// /dev/ttyUSB1 (and /dev/ttyUSB2) of a private mount namespace whose
// driver list names it, answering the tool's queries with steady values.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cns/CnsObjects.h"
#include "sim/Sandbox.h"
#include "sim/ScriptedState.h"
#include "sim/SimulatedModem.h"

// The driver list naming the modem's port `port` (its line follows the
// modem's first line).
inline std::string driverListNaming(int port) {
    return std::to_string(port - 1) + ": product:0028 num_ports:1 port:0 path:a\n" +
           std::to_string(port) + ": product:0028\n";
}

struct SignalGateway {
    SignalGateway() {
        answerScriptedState(modem);  // the model MC5728V, the signal -90 8 -80 4
        sandbox.setDriverList(driverListNaming(1));
        sandbox.addDevice("ttyUSB1", modem.devicePath());
        sandbox.addDevice("ttyUSB2", modem.devicePath());
    }

    // The objects the modem was asked for, in order.
    std::vector<unsigned> objectsAsked() const {
        std::vector<unsigned> objects;
        for (const Bytes& request : modem.requests()) {
            objects.push_back(request.size() > 6 ? (request[5] << 8 | request[6]) : 0);
        }
        return objects;
    }

    SimulatedModem modem;
    ProbeSandbox sandbox;
};

// The response with its sample's time as T and its age as A, once its
// Content-Length is found to be the body's (as L then).
inline std::string withoutClock(const std::string& response) {
    const std::size_t body = response.find("\r\n\r\n");
    std::smatch length;
    if (body == std::string::npos ||
        !std::regex_search(response, length, std::regex("Content-Length: (\\d+)\r\n")) ||
        std::stoul(length[1]) != response.size() - body - 4) {
        ADD_FAILURE() << "no body of the length given: " << response;
    }
    std::string text =
        std::regex_replace(response, std::regex("Content-Length: \\d+"), "Content-Length: L");
    text = std::regex_replace(text, std::regex(R"("time": "[-0-9T:.]+Z")"), "\"time\": \"T\"");
    return std::regex_replace(text, std::regex(R"("age_seconds": [0-9.]+)"), "\"age_seconds\": A");
}

// The JSON of a sample that has no values, with `reason` under every key
// that is null; `port` "null" or a JSON string.
inline std::string failedJson(const std::string& reason, const std::string& port,
                              const std::string& interval, bool taken = true) {
    const std::string why = '"' + reason + '"';
    return std::string("{\"time\": ") + (taken ? "\"T\"" : "null") +
           ", \"age_seconds\": " + (taken ? "A" : "null") + ", \"interval_seconds\": " + interval +
           ", \"port\": " + port +
           ", \"model_name\": null, \"cdma_rssi\": null, \"cdma_ecio\": null, \"hdr_rssi\": null, "
           "\"hdr_ecio\": null, \"cdma_quality\": null, \"hdr_quality\": null, \"errors\": "
           "{\"model_name\": " +
           why + ", \"cdma_rssi\": " + why + ", \"cdma_ecio\": " + why + ", \"hdr_rssi\": " + why +
           ", \"hdr_ecio\": " + why + "}}\n";
}

constexpr const char* kJsonHeaders =
    "Content-Type: application/json\r\nCache-Control: no-store\r\nContent-Length: L\r\n\r\n";
constexpr const char* kFullJson =
    "{\"time\": \"T\", \"age_seconds\": A, \"interval_seconds\": 60, \"port\": \"/dev/ttyUSB1\", "
    "\"model_name\": \"MC5728V\", \"cdma_rssi\": -90, \"cdma_ecio\": 8, \"hdr_rssi\": -80, "
    "\"hdr_ecio\": 4, \"cdma_quality\": \"fair\", \"hdr_quality\": \"fair\", \"errors\": {}}\n";
