#include <chrono>

#include "cardtool/QueryOutcome.h"
#include "cardtool/check/CheckLinks.h"
#include "metrics/MetricsRun.h"

namespace CardTool {

namespace {

using Clock = std::chrono::steady_clock;

std::string replyTime(Clock::time_point start) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return "reply in " + std::to_string(ms.count()) + " ms";
}

std::string failedQueryHint(const Outcome<std::string>& outcome) {
    if (!outcome.error) {
        return "the modem refuses the query: it may still be starting or not be activated; "
               "check again in a minute, then power-cycle it";
    }
    switch (*outcome.error) {
        case CnsErrors::NO_DATA_RETURNED:
            return "the modem does not answer on this port: make sure the port is its control "
                   "port (see the driver list), then power-cycle the modem";
        case CnsErrors::PORT_BUSY:
            return "another program took the port's lock for the whole wait: see the port check";
        case CnsErrors::PORT_GONE:
            return kPortGoneHint;
        default:
            return "the replies are not usable: another program may be talking on the port, or "
                   "this is not the modem's control port";
    }
}

// Records a query's outcome; its value, "" when it failed.
std::string record(const char* label, const Outcome<std::string>& outcome, Clock::time_point start,
                   CheckResult& result) {
    const std::string line = std::string(label) + ": ";
    if (outcome.answered()) {
        result.details.push_back(line + *outcome.value + " (" + replyTime(start) + ")");
    } else if (outcome.value) {
        result.details.push_back(line + "failed: " + outcome.failure + " (" + replyTime(start) +
                                 ", value " + *outcome.value + ")");
    } else {
        result.details.push_back(line + "failed: " + outcome.failure);
    }
    if (!outcome.answered()) {
        result.fail(failedQueryHint(outcome));
    }
    return outcome.answer().value_or("");
}

// Runs `query` (one transaction that returns a value as text) and records
// its outcome.
template <typename Query>
std::string ask(WirelessCard& card, const char* label, CheckResult& result, Query&& query) {
    const auto start = Clock::now();
    return record(label, askCard(card, query), start, result);
}

}  // namespace

void checkModem(WirelessCard& card, CheckResult& result) {
    using MetricsRun::rssiLine;
    const std::string rssi = ask(card, "RSSI, the file's line 1", result,
                                 [&] { return std::to_string(rssiLine(card.getRssi())); });
    const std::string roaming = ask(card, "roaming status, the file's line 2", result, [&] {
        return std::to_string(static_cast<short>(card.getRoamingStatus()));
    });
    if (rssi.empty() && roaming.empty()) {
        result.details.push_back("modem type and model name not asked: no query was answered");
        return;
    }
    CheckResult identity("modem identity");
    ask(card, "modem type", identity, [&] { return std::to_string(card.getModemType()); });
    ask(card, "model name", identity, [&] { return std::string(card.getModemTypeName()); });
    result.details.insert(result.details.end(), identity.details.begin(), identity.details.end());
    if (identity.verdict != Verdict::Ok) {
        result.warn(identity.hint);
    }
}

}  // namespace CardTool
