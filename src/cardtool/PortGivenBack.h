// The tool's hold on the modem's port: it opens the one given or the one the
// driver list names, and gives it back as it found it: on every road out of
// the scope that holds a PortGivenBack, an open port gets its settings back
// (unless it went away) and is closed. A port that never opened is left alone.
#pragma once

#include <optional>
#include <string>

#include "card/WirelessCard.h"

namespace CardTool {

// Opens `device`, or else the port the driver list names; throws what
// openCard throws.
inline void openPort(WirelessCard& card, const std::optional<std::string>& device) {
    if (device) {
        card.openCard(device->c_str());
    } else {
        card.openCard();
    }
}

class PortGivenBack {
public:
    explicit PortGivenBack(WirelessCard& card) : card(card) {}
    ~PortGivenBack() {
        if (card.isOpen()) {
            card.restorePortSettings();
            card.closeCard();
        }
    }
    PortGivenBack(const PortGivenBack&) = delete;
    PortGivenBack& operator=(const PortGivenBack&) = delete;

private:
    WirelessCard& card;
};

}  // namespace CardTool
