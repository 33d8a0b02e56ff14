#!/bin/sh
# Every test, each build from scratch-safe build directories:
#   1. native build: unit, pseudo-terminal and real-binary (mount namespace) tests
#   2. AddressSanitizer/UndefinedBehaviorSanitizer build: the same tests
#   3. 32-bit big-endian MIPS build under qemu: the unit and pseudo-terminal tests
#   4. libFuzzer: every decoder for a bounded time (scripts/fuzz.sh)
#   5. valgrind memcheck: every test executable, and every run of the real binary
# Every build treats warnings as errors (QUORVEX_WERROR).
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages $NATIVE_PACKAGES $MIPS_PACKAGES $FUZZ_PACKAGES $MEMCHECK_PACKAGES $EXPORTER_PACKAGES
jobs=$(nproc)
memcheck="$(command -v valgrind) --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all --show-leak-kinds=all"

build_and_test() {
    dir=$1
    shift
    echo "== $dir"
    cmake -S . -B "$dir" -DQUORVEX_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
    ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

build_and_test build -DCMAKE_BUILD_TYPE=Release
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON
build_and_test build-mips -DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release
echo "== fuzzing"
./scripts/fuzz.sh
build_and_test build-valgrind -DCMAKE_BUILD_TYPE=Debug \
    "-DQUORVEX_TEST_LAUNCHER=$(echo "$memcheck" | tr ' ' ';')" \
    "-DQUORVEX_PROBE_LAUNCHER=$memcheck"
echo "all tests passed"
