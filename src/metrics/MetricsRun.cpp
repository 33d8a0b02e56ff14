#include "metrics/MetricsRun.h"

#include <iostream>

#include "card/PortDiscovery.h"
#include "card/WirelessCard.h"
#include "cns/CnsErrors.h"
#include "metrics/MetricsFile.h"

namespace MetricsRun {

namespace {

constexpr int kNoModemStatus = 1;
constexpr int kFailedRunStatus = 0;
// Written in place of the RSSI and the roaming status when there is no modem.
constexpr long kNoSignalLine = 1;
constexpr long kNoRoamingLine = -1;

int failRun() {
    std::cout << "1" << std::endl;
    return kFailedRunStatus;
}

}  // namespace

int run() {
    WirelessCard card;
    try {
        // Emptied before anything else is looked at, so that a failed run
        // leaves an empty file.
        MetricsFile metrics;
        if (!metrics.open(kMetricsPath)) {
            return failRun();
        }
        if (PortDiscovery::readModemPortText().empty()) {
            const bool written = metrics.writeLine(kNoSignalLine) &&
                                 metrics.writeLine(kNoRoamingLine) && metrics.close();
            return written ? kNoModemStatus : failRun();
        }
        card.openCard();
        const short rssi = card.getRssi();
        const short roaming = static_cast<short>(card.getRoamingStatus());
        const bool written =
            metrics.writeLine(rssiLine(rssi)) && metrics.writeLine(roaming) && metrics.close();
        if (!written) {
            return failRun();
        }
        card.closeCard();
        return rssi;
    } catch (const CnsErrors::ReturnErrors&) {
        // The port stays open; the process exit closes it.
        return failRun();
    }
}

}  // namespace MetricsRun
