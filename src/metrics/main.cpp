// quorvexmetrics: writes the modem's RSSI and roaming status into the
// metrics file. Arguments are ignored.
#include "metrics/MetricsRun.h"

int main() {
    return MetricsRun::run();
}
