#!/bin/sh
# The field tool's live signal meter on a machine without a modem: builds
# quorvexcard and runs `quorvexcard --watch` against a simulated modem whose
# signal drifts and now and then misses a reply. Ctrl-C stops it. Extra
# arguments go to quorvexcard (--interval SECONDS, --count N, --json).
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages $NATIVE_PACKAGES
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target quorvexcard simulated_watch >/dev/null
exec build/tools/simulated_watch "$@"
