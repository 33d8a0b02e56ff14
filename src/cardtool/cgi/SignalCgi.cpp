#include "cardtool/cgi/SignalCgi.h"

#include <cstring>

#include "cardtool/JsonText.h"
#include "cardtool/PortGivenBack.h"
#include "cardtool/QueryOutcome.h"
#include "cardtool/StateFormat.h"
#include "cardtool/cgi/SharedSample.h"
#include "cns/CnsErrors.h"

namespace CardTool {

namespace {

using std::chrono::milliseconds;

// How long a request that finds no sample at all waits for the first one.
constexpr milliseconds kFirstSampleWait{5000};

// BusyBox httpd turns a first line "Status: ..." into the status line; it
// must come first. Without it the status is 200.
std::string response(const char* status, const char* type, const std::string& body, bool withBody) {
    std::string text = status;
    text += std::string("Content-Type: ") + type +
            "\r\nCache-Control: no-store\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n";
    return withBody ? text + body : text;
}

// Whether the modem is still where it was after a sample with this outcome,
// so that its model name still holds. A port that went away (or any outcome
// not known here) says no: the name is asked again when it answers.
bool modemStayed(const SignalSample& signal) {
    if (!signal.error) {
        return true;  // answered, or an error reply
    }
    switch (*signal.error) {
        case CnsErrors::NO_DATA_RETURNED:
        case CnsErrors::UNUSABLE_REPLY:
        case CnsErrors::PORT_BUSY:
            return true;
        default:
            return false;
    }
}

// Opens the given port, or else the one the driver list names: "" or why not.
std::string openedPort(WirelessCard& card, const std::optional<std::string>& device) {
    if (!device) {
        const std::string unlisted = unlistedReason(PortDiscovery::readListedPort());
        if (!unlisted.empty()) {
            return unlisted;
        }
    }
    try {
        CardTool::openPort(card, device);
    } catch (const CnsErrors::ReturnErrors& error) {
        return failureReason(error);
    }
    return {};
}

void learnModel(WirelessCard& card, const std::optional<SharedSample>& previous,
                SharedSample& next) {
    if (!modemStayed(next.signal)) {
        next.modelFailure = next.signal.failure;
    } else if (previous && previous->port == next.port && !previous->model.empty()) {
        next.model = previous->model;
    } else if (!next.signal.failure.empty()) {
        next.modelFailure = next.signal.failure;  // asked once the modem answers
    } else {
        const auto model = askCard(card, [&] { return std::string(card.getModemTypeName()); });
        next.model = model.answer().value_or("");
        next.modelFailure = model.failure;
    }
}

SharedSample sampleNow(WirelessCard& card, const Options& options,
                       const std::optional<SharedSample>& previous) {
    SharedSample next;
    next.sampledAt = monotonicNow();
    const std::string unopened = openedPort(card, options.device);
    if (!unopened.empty()) {
        next.port = options.device.value_or("");  // the port --device names, or none
        next.signal = {utcNow(), {}, unopened, {}};
        next.modelFailure = unopened;
        return next;
    }
    const PortGivenBack givenBack(card);
    next.port = card.portPath();
    next.signal = takeSample(card);
    learnModel(card, previous, next);
    return next;
}

SharedSample noSample(const std::string& reason) {
    SharedSample none;
    none.signal.failure = reason;
    none.modelFailure = reason;
    return none;
}

// The shared sample if fresh, else a new one if no other request is taking
// it, else the one there is.
SharedSample currentSample(WirelessCard& card, const Options& options) {
    std::optional<SharedSample> shared = readSharedSample();
    if (shared && shared->freshAt(monotonicNow(), options.interval)) {
        return *shared;
    }
    SamplerLock lock;
    if (!lock.failure().empty()) {
        card.reporter().line("quorvexcard: " + lock.failure());
        return shared ? *shared : noSample(lock.failure());
    }
    if (!lock.tryTake()) {
        if (!shared) {
            lock.awaitSampler(kFirstSampleWait);
            shared = readSharedSample();
        }
        return shared ? *shared : noSample("the first sample is not taken yet");
    }
    // Another request may have sampled between the read and the lock.
    shared = readSharedSample();
    if (shared && shared->freshAt(monotonicNow(), options.interval)) {
        return *shared;
    }
    const SharedSample next = sampleNow(card, options, shared);
    const std::string unwritten = writeSharedSample(next);
    if (!unwritten.empty()) {
        card.reporter().line(std::string("quorvexcard: cannot write ") + kSharedSamplePath + ": " +
                             unwritten);
    }
    return next;
}

Reading known(const char* key, const std::string& json) {
    return {key, key, Value{json, json}, ""};
}

// A JSON string, or null for "".
std::string stringOrNull(const std::string& text) {
    return text.empty() ? "null" : jsonString(text);
}

std::string sampleJson(const SharedSample& sample, milliseconds interval) {
    const milliseconds age = sample.sampledAt
                                 ? std::max(monotonicNow() - *sample.sampledAt, milliseconds(0))
                                 : milliseconds(0);
    CardState state = {
        known("time", stringOrNull(sample.signal.time)),
        known("age_seconds", sample.sampledAt ? secondsText(age) : "null"),
        known("interval_seconds", secondsText(interval)),
        known("port", stringOrNull(sample.port)),
        sample.model.empty() ? Reading{"model_name", "", std::nullopt, sample.modelFailure}
                             : known("model_name", jsonString(sample.model)),
    };
    const CardState values = sampleReadings(sample.signal);
    state.insert(state.end(), values.begin(), values.end());
    const bool answered = sample.signal.failure.empty();
    for (const bool hdr : {false, true}) {
        const int rssi = sample.signal.values[hdr ? 2 : 0];
        state.push_back(known(hdr ? "hdr_quality" : "cdma_quality",
                              answered ? jsonString(rssiQuality(rssi, hdr)) : "null"));
    }
    return formatJson(state);
}

}  // namespace

std::string answerSignalRequest(WirelessCard& card, const Options& options, const char* method) {
    const bool head = method != nullptr && std::strcmp(method, "HEAD") == 0;
    if (!head && (method == nullptr || std::strcmp(method, "GET") != 0)) {
        return response("Status: 405 Method Not Allowed\r\nAllow: GET, HEAD\r\n", "text/plain",
                        "only GET and HEAD\n", true);
    }
    return response("", "application/json",
                    sampleJson(currentSample(card, options), options.interval), !head);
}

}  // namespace CardTool
