// The simulated modem answering every query of quorvexcard's state with the
// values of the README's example, each answer `late` after its request.
#pragma once

#include <chrono>

#include "sim/SimulatedModem.h"

void answerScriptedState(SimulatedModem& modem,
                         std::chrono::milliseconds late = std::chrono::milliseconds(0));
