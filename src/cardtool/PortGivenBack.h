// The tool gives the modem's port back as it found it: on every road out of
// the scope that holds one of these, an open port gets its settings back and
// is closed. A port that never opened is left alone.
#pragma once

#include "card/WirelessCard.h"

namespace CardTool {

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
