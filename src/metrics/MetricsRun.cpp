#include "metrics/MetricsRun.h"

#include <unistd.h>

#include <limits>

#include "card/PortDiscovery.h"
#include "card/WirelessCard.h"
#include "cns/CnsErrors.h"
#include "metrics/MetricsFile.h"
#include "text/TextOut.h"

namespace MetricsRun {

namespace {

constexpr int kNoModemStatus = 1;
constexpr int kFailedRunStatus = 0;

bool isShort(long value) {
    return value >= std::numeric_limits<short>::min() && value <= std::numeric_limits<short>::max();
}

int failRun() {
    constexpr char kFailedRunLine[] = "1\n";
    Text::writeAll(STDOUT_FILENO, kFailedRunLine, sizeof kFailedRunLine - 1);
    return kFailedRunStatus;
}

}  // namespace

std::optional<Lines> readRunLines(const std::string& text) {
    long values[2];
    if (!readMetricsLines(text, values, 2) || !isShort(values[0]) || !isShort(values[1])) {
        return std::nullopt;
    }
    return Lines{values[0], values[1]};
}

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
