// One query of the card and its outcome: the value, or why there is none.
// The snapshot, the chain check and the watch all ask the card through
// askCard, so that a failure has one reason text wherever it is shown.
#pragma once

#include <optional>
#include <string>

#include "card/PortDiscovery.h"
#include "card/WirelessCard.h"
#include "cns/CnsErrors.h"

namespace CardTool {

// Why a query whose reply carried the error bit failed.
constexpr const char* kErrorReply = "the modem answered with an error";

// "no reply within 1 second" (from the card's reply wait), "unusable
// reply", "port busy" and the like; for PORT_GONE "the modem went away
// (Input/output error)", the system's reason from `goneError`
// (WirelessCard::portGoneError).
std::string failureReason(CnsErrors::ReturnErrors error, int goneError = 0);

// Why the driver list names no port for the modem: "no modem listed in
// /proc/tty/driver/usbserial" or "cannot read /proc/tty/driver/usbserial:
// <the system's reason>"; "" when it names one.
std::string unlistedReason(const PortDiscovery::ListedPort& listed);

template <typename T>
struct Outcome {
    std::optional<T> value;  // what the query returned; also kept for an error reply
    std::string failure;     // why it failed; "" when answered
    std::optional<CnsErrors::ReturnErrors> error;  // what the card threw, if it threw

    bool answered() const { return failure.empty(); }
    // The value when answered.
    std::optional<T> answer() const { return answered() ? value : std::nullopt; }
};

// Runs `call(context)`, which asks the card; returns why it failed, "" when
// it was answered, and what the card threw in `error`.
std::string runQuery(const WirelessCard& card, void (*call)(void* context), void* context,
                     std::optional<CnsErrors::ReturnErrors>& error);

// Runs `query`, one or more transactions of `card` returning a value.
template <typename Query>
auto askCard(const WirelessCard& card, Query&& query) -> Outcome<decltype(query())> {
    using Answer = Outcome<decltype(query())>;
    struct Call {
        Query& query;
        Answer& outcome;
    };
    Answer outcome;
    Call call{query, outcome};
    outcome.failure = runQuery(
        card,
        [](void* context) {
            Call& call = *static_cast<Call*>(context);
            call.outcome.value = call.query();
        },
        &call, outcome.error);
    return outcome;
}

}  // namespace CardTool
