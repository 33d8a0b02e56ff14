// The serial settings the probe's open sets, against those a port kept.
// Drivers keep what they can: a USB-serial or pseudo-terminal driver may drop
// the hardware flow control or the baud rate, which the probe does not need;
// canonical mode, echo or input translation left on change the frames.
#pragma once

#include <termios.h>

#include <string>

namespace CardTool {

struct SettingsKept {
    std::string notKept;  // settings the probe works without, joined by ", "
    std::string lost;     // settings the frames need
};

// `now` is tcgetattr of the port right after the card's open.
SettingsKept compareWithProbeSettings(const termios& now);

}  // namespace CardTool
