#!/bin/sh
# Measures the probe's footprint: run time and peak RSS beside a minimal C++
# program that only writes the same two lines, and the stripped sizes of
# both binaries (MinSizeRel) for x86-64 and, with the toolchain in
# QUORVEX_DEVICE_TOOLCHAIN, for the device (armeb-linux-uclibcgnueabi),
# dynamic and static, and with Buildroot's hardening defaults.
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

# size_row LABEL DIR STRIP CMAKE_ARGS...: builds both binaries MinSizeRel in
# DIR and prints their stripped sizes in bytes.
size_row() {
    label=$1 dir=$2 strip=$3
    shift 3
    cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=MinSizeRel -DQUORVEX_BUILD_TESTS=OFF \
        -DQUORVEX_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)" >/dev/null
    sizes=""
    for binary in quorvexmetrics quorvexcard; do
        "$strip" -o "$dir/$binary.stripped" "$dir/$binary"
        sizes="$sizes $(stat -c %s "$dir/$binary.stripped")"
    done
    printf '%-50s %14s %11s\n' "$label" $sizes
}

printf '%-50s %14s %11s\n' "stripped sizes, MinSizeRel (bytes)" quorvexmetrics quorvexcard
size_row "x86-64 glibc, dynamic" "$build-x86-64" strip
size_row "x86-64 glibc, static" "$build-x86-64-static" strip -DCMAKE_EXE_LINKER_FLAGS=-static
if [ -z "${QUORVEX_DEVICE_TOOLCHAIN:-}" ]; then
    echo "device sizes skipped: QUORVEX_DEVICE_TOOLCHAIN (the armeb-linux-uclibcgnueabi toolchain's directory) is not set"
else
    prefix=$QUORVEX_DEVICE_TOOLCHAIN/bin/armeb-linux-uclibcgnueabi-
    run_device() {
        label=$1 dir=$2
        shift 2
        size_row "$label" "$dir" ${prefix}strip -DCMAKE_TOOLCHAIN_FILE=cmake/armeb-linux-uclibcgnueabi.cmake \
            "-DQUORVEX_TOOLCHAIN_PREFIX=$prefix" "$@"
    }
    run_device "armeb uClibc-ng, dynamic" "$build-device"
    run_device "armeb uClibc-ng, static" "$build-device-static" -DQUORVEX_STATIC=ON
    # What Buildroot's toolchain wrapper adds by default: PIE, the strong
    # stack protector, full RELRO (flags given here replace the toolchain
    # file's -Wno-psabi, hence again).
    run_device "armeb dynamic + PIE" "$build-device-pie" "-DCMAKE_CXX_FLAGS=-Wno-psabi -fPIE" \
        -DCMAKE_EXE_LINKER_FLAGS=-pie
    run_device "armeb dynamic + stack protector (strong)" "$build-device-ssp" \
        "-DCMAKE_CXX_FLAGS=-Wno-psabi -fstack-protector-strong"
    run_device "armeb dynamic + RELRO (full)" "$build-device-relro" "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
    run_device "armeb dynamic + all three (Buildroot's defaults)" "$build-device-hardened" \
        "-DCMAKE_CXX_FLAGS=-Wno-psabi -fPIE -fstack-protector-strong" \
        "-DCMAKE_EXE_LINKER_FLAGS=-pie -Wl,-z,relro,-z,now"
fi
"$build/bench/probe_bench" "${1:-300}"
