#!/bin/sh
# Every test: the native build and the AddressSanitizer/UndefinedBehavior-
# Sanitizer build, each with the unit, pseudo-terminal and real-binary tests.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages $NATIVE_PACKAGES
jobs=$(nproc)

build_and_test() {
    dir=$1
    shift
    echo "== $dir"
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
    ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

build_and_test build -DCMAKE_BUILD_TYPE=Release
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON
echo "all tests passed"
