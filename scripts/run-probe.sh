#!/bin/sh
# The probe's main job on a machine without a modem: builds it and runs it
# once against the simulated modem, showing the metrics file, standard
# output and error, and the exit status. Extra arguments go to the simulated
# modem (--rssi N, --roaming N, --mute).
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages $NATIVE_PACKAGES
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target quorvexmetrics simulated_run >/dev/null
exec build/tools/simulated_run "$@"
