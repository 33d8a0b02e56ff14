#!/bin/sh
# Measures the probe's footprint: run time and peak RSS beside a minimal C++
# program that only writes the same two lines, and the stripped binary size.
#   bench/run.sh [RUNS]      (as root, or where user namespaces allow mounts)
set -eu
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvexmetrics probe_bench >/dev/null
strip -o "$build/quorvexmetrics.stripped" "$build/quorvexmetrics"
strip -o "$build/floor_probe.stripped" "$build/bench/floor_probe"
echo "stripped size: probe $(stat -c %s "$build/quorvexmetrics.stripped") bytes," \
     "floor $(stat -c %s "$build/floor_probe.stripped") bytes"
"$build/bench/probe_bench" "${1:-300}"
