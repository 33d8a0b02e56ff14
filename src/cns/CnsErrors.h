// The failures that end a run. They are thrown by value from the card link
// and the codec and caught once, by the metrics run.
#pragma once

namespace CnsErrors {

enum ReturnErrors {
    ERROR_OPENING_PORT = 2,  // the serial port did not open
    NO_DATA_RETURNED = 4,    // no reply within the wait
    CARD_NOT_OPEN = 17,      // a transaction on a closed card
    UNUSABLE_REPLY = 32,     // a reply that cannot carry the value asked for
    PORT_BUSY = 33,          // another program held the port for the whole wait
    PORT_GONE = 34,          // the port went away: the modem reset or was unplugged
};

}  // namespace CnsErrors
