#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 20) from the seed corpus in fuzz/corpus. Fails on
# any finding; the input that caused it is left in build-fuzz/artifacts.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages cmake make $FUZZ_PACKAGES
seconds=${FUZZ_SECONDS:-20}
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DQUORVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=Release \
    -DQUORVEX_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
mkdir -p build-fuzz/artifacts
for target in reply return_body driver_list system_text; do
    corpus=build-fuzz/corpus-$target
    mkdir -p "$corpus"
    max_len=4096
    [ "$target" = reply ] && max_len=125  # the card reads at most 125 bytes
    if ! build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -max_len="$max_len" \
        -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
        "$corpus" "fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1; then
        tail -40 "build-fuzz/$target.log"
        echo "fuzz_$target found a failing input (build-fuzz/artifacts)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/$target.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "build-fuzz/$target.log")
    echo "fuzz_$target: $runs runs in ${seconds}s ($rate/s), no finding"
done
