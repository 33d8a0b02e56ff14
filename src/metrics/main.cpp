// quorvexmetrics: writes the modem's RSSI and roaming status into the
// metrics file. Arguments are ignored.
#include "card/StandardDescriptors.h"
#include "metrics/MetricsRun.h"

int main() {
    StandardDescriptors::ensureOpen();
    return MetricsRun::run();
}
