// A signal for the simulated modem that drifts like one on a real site: a
// slow random walk of the four values of the RSSI/Ec/Io reply, and now and
// then a missed reply. Given to SimulatedModem::answerInTurn; the walk comes
// back to where it started, so that its turns can repeat without a jump.
#pragma once

#include <cstddef>
#include <vector>

#include "sim/SimulatedModem.h"

// `turns` answers (an even number) to the RSSI/Ec/Io request; every
// `missEvery`-th one stays mute (0: none). The same seed gives the same walk.
std::vector<SimulatedModem::Answer> driftingSignal(std::size_t turns, std::size_t missEvery,
                                                   unsigned seed);

// The reply carrying the four values as the card reads them: RSSI as
// magnitudes (90 for -90 dBm), Ec/Io as reported.
SimulatedModem::Answer signalReply(unsigned short cdmaRssi, unsigned short cdmaEcio,
                                   unsigned short hdrRssi, unsigned short hdrEcio);
