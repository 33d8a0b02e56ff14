#include "cardtool/QueryOutcome.h"

#include <cstring>

namespace CardTool {

namespace {

// "1 second", "2 seconds"
std::string secondsText(std::chrono::seconds wait) {
    const long count = static_cast<long>(wait.count());
    return std::to_string(count) + (count == 1 ? " second" : " seconds");
}

}  // namespace

std::string failureReason(CnsErrors::ReturnErrors error, int goneError) {
    switch (error) {
        case CnsErrors::NO_DATA_RETURNED:
            return "no reply within " + secondsText(WirelessCard::kReplyWait);
        case CnsErrors::UNUSABLE_REPLY:
            return "unusable reply";
        case CnsErrors::CARD_NOT_OPEN:
            return "port not open";
        case CnsErrors::ERROR_OPENING_PORT:
            return "port could not be opened";
        case CnsErrors::PORT_BUSY:
            return "port busy";
        case CnsErrors::PORT_GONE:
            return std::string("the modem went away (") + std::strerror(goneError) + ")";
    }
    return "error " + std::to_string(static_cast<int>(error));
}

std::string unlistedReason(const PortDiscovery::ListedPort& listed) {
    if (!listed.openError.empty()) {
        return std::string("cannot read ") + PortDiscovery::kDriverListPath + ": " +
               listed.openError;
    }
    if (listed.portText.empty()) {
        return std::string("no modem listed in ") + PortDiscovery::kDriverListPath;
    }
    return {};
}

std::string runQuery(const WirelessCard& card, void (*call)(void* context), void* context,
                     std::optional<CnsErrors::ReturnErrors>& error) {
    try {
        call(context);
    } catch (const CnsErrors::ReturnErrors& thrown) {
        error = thrown;
        return failureReason(thrown, card.portGoneError());
    }
    return card.lastReplyHeader().isError() ? kErrorReply : "";
}

}  // namespace CardTool
