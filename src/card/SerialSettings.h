// The serial settings of the modem's port, in one table: the card applies
// them at the open (and again when another program changed them), a
// transaction compares the fields the table names, and quorvexcard --check
// reads the port back against the same table.
//
// Every other bit is left off: nothing of the port's earlier settings is kept.
// Drivers keep what they can: a USB-serial or pseudo-terminal driver may
// drop the hardware flow control or the baud rate, which the link does not
// need; canonical mode, echo or input translation left on change the frames.
#pragma once

#include <termios.h>

#include <string>

namespace SerialSettings {

// Flushes pending input and applies the table's settings to the port;
// errno is that of tcsetattr.
void apply(int fd);

// Whether `a` and `b` agree in every field the table names.
bool sameAsSet(const termios& a, const termios& b);

struct Kept {
    std::string notKept;  // settings the link works without, joined by ", "
    std::string lost;     // settings the frames need
};

// `now` (read back from the port after apply) against the table.
Kept compareWithTable(const termios& now);

}  // namespace SerialSettings
