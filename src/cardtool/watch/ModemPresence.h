// Whether the watched modem is there. A modem that resets or is unplugged
// takes its port with it (the card link's PORT_GONE): the watch then closes
// the port, nothing to put back on it, and at each later sample looks for
// the modem again, at --device's path opened anew (a link udev re-points
// leads to the new port) or through the driver list, whose port number may
// have changed. A look that finds nothing says nothing: the sample says the
// modem is away.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "card/WirelessCard.h"

namespace CardTool {

class ModemPresence {
public:
    ModemPresence(WirelessCard& card, std::optional<std::string> device)
        : card(card), device(std::move(device)) {}

    // After the card's transactions: true, once, when they found the port
    // gone at `now`; the port is closed then.
    bool wentAway(const std::string& now);
    bool away() const { return !card.isOpen(); }
    // Looks for the modem once; true when its port opened.
    bool lookAgain();

    // Why and since when (UTC) it is away, and the port it left.
    const std::string& reason() const { return why; }
    const std::string& since() const { return when; }
    const std::string& portLeft() const { return left; }

private:
    WirelessCard& card;
    const std::optional<std::string> device;
    std::string why;
    std::string when;
    std::string left;
};

}  // namespace CardTool
