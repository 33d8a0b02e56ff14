#include "cardtool/watch/ModemPresence.h"

#include "card/Diagnostics.h"
#include "cardtool/PortGivenBack.h"
#include "cardtool/QueryOutcome.h"
#include "cns/CnsErrors.h"

namespace CardTool {

namespace {

void unheard(void*, const std::string&, int) {}

}  // namespace

bool ModemPresence::wentAway(const std::string& now) {
    if (!card.portGone()) {
        return false;
    }
    why = failureReason(CnsErrors::PORT_GONE, card.portGoneError());
    when = now;
    left = card.portPath();
    card.closeCard();
    return true;
}

bool ModemPresence::lookAgain() {
    // Each failed look would repeat the card's "Error opening port" line at
    // every sample for as long as the modem is away.
    const Diagnostics::Reporter heard = card.reporter();
    card.reportTo({unheard, nullptr});
    try {
        openPort(card, device);
    } catch (const CnsErrors::ReturnErrors&) {
        // Still away: not listed, no node yet, or held by another program.
    }
    card.reportTo(heard);
    return card.isOpen();
}

}  // namespace CardTool
