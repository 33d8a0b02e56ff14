#!/bin/sh
# Every test, each build from scratch-safe build directories:
#   1. native build: unit, pseudo-terminal and real-binary (mount namespace) tests
#   2. AddressSanitizer/UndefinedBehaviorSanitizer build: the same tests
#   3. 32-bit big-endian MIPS build under qemu: the unit and pseudo-terminal tests
#   4. the device (armeb-linux-uclibcgnueabi, ARMv5TE) under qemu: the same
#      tests, with the toolchain in QUORVEX_DEVICE_TOOLCHAIN; the shipped
#      binaries' footprint (scripts/footprint.sh); its probe, linked with
#      only the C library and fully static, in lane 1's real-binary runs of
#      the probe, and its quorvexcard in those of the tool
#   5. the Buildroot package built by Buildroot (QUORVEX_BUILDROOT) with that
#      toolchain, what it installs (scripts/buildroot.sh), and its probe in
#      the same real-binary runs
#   6. libFuzzer: every decoder for a bounded time (scripts/fuzz.sh)
#   7. valgrind memcheck: every test executable, and every run of the real binary
# Every build treats warnings as errors (QUORVEX_WERROR). Lanes 4 and 5 are
# skipped, saying why, where their toolchain or Buildroot is not given.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages $NATIVE_PACKAGES $MIPS_PACKAGES $DEVICE_PACKAGES $FUZZ_PACKAGES $MEMCHECK_PACKAGES \
    $EXPORTER_PACKAGES $PAGE_PACKAGES
jobs=$(nproc)
memcheck="$(command -v valgrind) --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all --show-leak-kinds=all"
device_prefix=${QUORVEX_DEVICE_TOOLCHAIN:-}/bin/armeb-linux-uclibcgnueabi-

# build_and_test DIR CMAKE_OPTIONS...; the tests whose labels match
# $leave_out (a ctest regular expression) are left out when it is set.
leave_out=""
build_and_test() {
    dir=$1
    shift
    echo "== $dir"
    cmake -S . -B "$dir" -DQUORVEX_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" ${leave_out:+-LE "$leave_out"}
}

# lane NAME COMMAND...: runs one lane and says how long it took.
lane() {
    name=$1
    shift
    started=$(date +%s)
    "$@"
    echo "== $name: $(($(date +%s) - started)) s"
}

# Why the device lanes cannot run, or nothing. A toolchain that is named
# but unusable is an error, not a reason to skip.
device_missing() {
    [ -n "${QUORVEX_DEVICE_TOOLCHAIN:-}" ] ||
        echo "QUORVEX_DEVICE_TOOLCHAIN (the armeb-linux-uclibcgnueabi toolchain's directory) is not set"
}

buildroot_missing() {
    if [ -z "${QUORVEX_BUILDROOT:-}" ]; then
        echo "QUORVEX_BUILDROOT (an unpacked Buildroot tree) is not set"
    else
        device_missing
    fi
}

# device_probe_runs NAME PROBE [QEMU_OPTIONS...]: the native build's
# real-binary runs of the probe (simulated modem, private mount namespace),
# with PROBE, a device binary, run by qemu on an ARMv5TE core (pxa270
# refuses newer instructions).
device_probe_runs() {
    echo "== $1 in the native build's namespace tests"
    probe=$2
    shift 2
    QUORVEX_PROBE=$probe QUORVEX_PROBE_LAUNCHER="$(command -v qemu-armeb-static) -cpu pxa270 $*" \
        build/tests/metrics_probe_test --gtest_brief=1
}

# device_tool_runs NAME TOOL [QEMU_OPTIONS...]: the same for quorvexcard:
# its snapshot, --json, --prometheus and --help, and its chain check.
device_tool_runs() {
    echo "== $1 in the native build's namespace tests"
    tool=$2
    shift 2
    launcher="$(command -v qemu-armeb-static) -cpu pxa270 $*"
    QUORVEX_CARDTOOL=$tool QUORVEX_CARDTOOL_LAUNCHER=$launcher \
        build/tests/cardtool_test --gtest_brief=1 --gtest_filter='CardToolTest.Binary*' &&
        QUORVEX_CARDTOOL=$tool QUORVEX_CARDTOOL_LAUNCHER=$launcher build/tests/cardtool_check_test --gtest_brief=1
}

# The device's C library and its loader alone, for qemu's -L: all that a
# binary linked with nothing but the C library finds. Copied out of /tmp,
# which the sandbox replaces with its own.
c_library_only() {
    sysroot=$("${device_prefix}g++" -print-sysroot)
    libraries=$(mktemp -d /var/tmp/quorvex-device-libc.XXXXXX)
    chmod 755 "$libraries"
    mkdir "$libraries/lib"
    cp -L "$sysroot"/lib/ld-uClibc.so.* "$sysroot"/lib/libc.so.* "$libraries/lib/"
    echo "$libraries"
}

# The device's own triple: the tests static, so that qemu needs no target
# tree; then the binaries as shipped, built and measured by footprint.sh,
# in the real-binary runs (after a failed footprint check too, which fails
# the lane at its end).
device_tests() {
    [ -x "${device_prefix}g++" ] || {
        echo "QUORVEX_DEVICE_TOOLCHAIN holds no bin/armeb-linux-uclibcgnueabi-g++" >&2
        return 1
    }
    build_and_test build-device -DCMAKE_TOOLCHAIN_FILE=cmake/armeb-linux-uclibcgnueabi.cmake \
        "-DQUORVEX_TOOLCHAIN_PREFIX=$device_prefix" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_STATIC=ON \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v qemu-armeb-static);-cpu;pxa270" \
        -DQUORVEX_GTEST_SOURCE_DIR=/usr/src/googletest
    footprint=0
    ./scripts/footprint.sh || footprint=$?
    libraries=$(c_library_only)
    status=0
    {
        device_probe_runs "the device's probe, libc only" "$PWD/build-footprint-device/quorvexmetrics" \
            -L "$libraries" &&
            device_probe_runs "the device's probe, fully static" \
                "$PWD/build-footprint-device-static/quorvexmetrics" &&
            device_tool_runs "the device's quorvexcard, libc only" "$PWD/build-footprint-device/quorvexcard" \
                -L "$libraries"
    } || status=$?
    rm -rf "$libraries"
    [ "$status" -eq 0 ] || return "$status"
    [ "$footprint" -eq 0 ] || { echo "== the footprint check failed (above)" >&2; return "$footprint"; }
}

# Buildroot's dynamic, hardened probe runs with its target tree's libraries,
# copied out of /tmp, which the sandbox replaces with its own.
buildroot_tests() {
    ./scripts/buildroot.sh
    libraries=$(mktemp -d /var/tmp/quorvex-device-libraries.XXXXXX)
    cp -a build-buildroot/target/lib "$libraries/lib"
    status=0
    device_probe_runs "Buildroot's probe" "$PWD/build-buildroot/target/usr/bin/quorvexmetrics" -L "$libraries" ||
        status=$?
    rm -rf "$libraries"
    return "$status"
}

# skip_or_run NAME REASON COMMAND...: a lane that cannot run says why.
skip_or_run() {
    if [ -n "$2" ]; then
        echo "== $1: skipped: $2"
    else
        name=$1
        shift 2
        lane "$name" "$@"
    fi
}

lane build build_and_test build -DCMAKE_BUILD_TYPE=Release
lane build-asan build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON
lane build-mips build_and_test build-mips -DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-gnu.cmake \
    -DCMAKE_BUILD_TYPE=Release
skip_or_run build-device "$(device_missing)" device_tests
skip_or_run buildroot "$(buildroot_missing)" buildroot_tests
echo "== fuzzing"
lane fuzzing ./scripts/fuzz.sh
# The "server" tests (the signal page with BusyBox httpd and Chromium) run
# no code of ours under memcheck that the CGI's namespace tests do not: the
# CGI runs under the server, outside the launcher, and memcheck would only
# slow their twenty client threads past the load they are to make.
leave_out=server
lane build-valgrind build_and_test build-valgrind -DCMAKE_BUILD_TYPE=Debug \
    "-DQUORVEX_TEST_LAUNCHER=$(echo "$memcheck" | tr ' ' ';')" \
    "-DQUORVEX_PROBE_LAUNCHER=$memcheck"
leave_out=""
echo "all tests passed"
