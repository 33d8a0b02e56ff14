#!/bin/sh
# Measures the probe's footprint: run time and peak RSS beside a minimal C++
# program that only writes the same two lines, and the stripped sizes of
# both binaries (MinSizeRel) for x86-64 and, with the toolchain in
# QUORVEX_DEVICE_TOOLCHAIN, for the device (armeb-linux-uclibcgnueabi) each
# way of linking them, with the shared libraries they need besides the C
# library and the flash all that takes (the libraries stripped as Buildroot
# strips a target tree), and with Buildroot's hardening defaults.
#   bench/run.sh [RUNS]      (as root, or where user namespaces allow mounts)
set -eu
cd "$(dirname "$0")/.."
. scripts/elf.sh
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvexmetrics probe_bench >/dev/null
strip -o "$build/quorvexmetrics.stripped" "$build/quorvexmetrics"
strip -o "$build/floor_probe.stripped" "$build/bench/floor_probe"
echo "stripped size: probe $(stat -c %s "$build/quorvexmetrics.stripped") bytes," \
     "floor $(stat -c %s "$build/floor_probe.stripped") bytes"

# size_row LABEL DIR TOOLS CMAKE_ARGS...: builds both binaries MinSizeRel in
# DIR and prints their stripped sizes in bytes. TOOLS is the prefix of the
# binary tools (strip, readelf), "" for the host's; for the device's, also
# the shared libraries the binaries need besides the C library and its
# loader, and the flash the binaries and those libraries take.
size_row() {
    label=$1 dir=$2 tools=$3
    shift 3
    cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=MinSizeRel -DQUORVEX_BUILD_TESTS=OFF \
        -DQUORVEX_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)" >/dev/null
    sizes="" flash=0 libraries=""
    for binary in quorvexmetrics quorvexcard; do
        "${tools}strip" -o "$dir/$binary.stripped" "$dir/$binary"
        size=$(stat -c %s "$dir/$binary.stripped")
        sizes="$sizes $size"
        flash=$((flash + size))
        libraries="$libraries $(needed "${tools}readelf" "$dir/$binary")"
    done
    needs=""
    if [ -n "$tools" ]; then
        sysroot=$("${tools}g++" -print-sysroot)
        for library in $(echo "$libraries" | tr ' ' '\n' | sort -u); do
            case $library in libc.so.* | ld-uClibc.so.*) continue ;; esac
            "${tools}strip" --remove-section=.comment --remove-section=.note --strip-unneeded \
                -o "$dir/$library.stripped" "$sysroot/lib/$library"
            size=$(stat -c %s "$dir/$library.stripped")
            needs="$needs $library $size"
            flash=$((flash + size))
        done
        needs="${needs:- nothing}"
    else
        flash=""
    fi
    printf '%-50s %14s %11s %12s %s\n' "$label" $sizes "$flash" "$needs"
}

printf '%-50s %14s %11s %12s %s\n' "stripped sizes, MinSizeRel (bytes)" quorvexmetrics quorvexcard \
    "flash in all" " needs besides the C library"
size_row "x86-64 glibc, dynamic" "$build-x86-64" ""
size_row "x86-64 glibc, static" "$build-x86-64-static" "" -DQUORVEX_STATIC=ON
if [ -z "${QUORVEX_DEVICE_TOOLCHAIN:-}" ]; then
    echo "device sizes skipped: QUORVEX_DEVICE_TOOLCHAIN (the armeb-linux-uclibcgnueabi toolchain's directory) is not set"
else
    prefix=$QUORVEX_DEVICE_TOOLCHAIN/bin/armeb-linux-uclibcgnueabi-
    run_device() {
        label=$1 dir=$2
        shift 2
        size_row "$label" "$dir" "$prefix" -DCMAKE_TOOLCHAIN_FILE=cmake/armeb-linux-uclibcgnueabi.cmake \
            "-DQUORVEX_TOOLCHAIN_PREFIX=$prefix" "$@"
    }
    run_device "armeb uClibc-ng, libc only (the default)" "$build-device"
    run_device "armeb uClibc-ng, shared C++ runtime" "$build-device-shared" -DQUORVEX_STATIC_CXX_RUNTIME=OFF
    run_device "armeb uClibc-ng, fully static" "$build-device-static" -DQUORVEX_STATIC=ON
    # What Buildroot's toolchain wrapper adds by default to its builds, which
    # use the shared runtime: PIE, the strong stack protector, full RELRO
    # (flags given here replace the toolchain file's -Wno-psabi, hence again).
    shared=-DQUORVEX_STATIC_CXX_RUNTIME=OFF
    run_device "armeb shared runtime + PIE" "$build-device-pie" $shared "-DCMAKE_CXX_FLAGS=-Wno-psabi -fPIE" \
        -DCMAKE_EXE_LINKER_FLAGS=-pie
    run_device "armeb shared runtime + stack protector (strong)" "$build-device-ssp" $shared \
        "-DCMAKE_CXX_FLAGS=-Wno-psabi -fstack-protector-strong"
    run_device "armeb shared runtime + RELRO (full)" "$build-device-relro" $shared \
        "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
    run_device "armeb shared runtime + all three (Buildroot's)" "$build-device-hardened" $shared \
        "-DCMAKE_CXX_FLAGS=-Wno-psabi -fPIE -fstack-protector-strong" \
        "-DCMAKE_EXE_LINKER_FLAGS=-pie -Wl,-z,relro,-z,now"
fi
"$build/bench/probe_bench" "${1:-300}"
