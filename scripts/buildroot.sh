#!/bin/sh
# Builds the project's Buildroot package (packaging/buildroot) with the
# Buildroot tree in QUORVEX_BUILDROOT and the device toolchain in
# QUORVEX_DEVICE_TOOLCHAIN as an external toolchain, offline, for a minimal
# target (scripts/buildroot/device.config), and checks what lands in the
# target tree: first with the package's options off in an image of static
# libraries only (BR2_STATIC_LIBS), then with them on in one of shared
# libraries, as the lane leaves it. Output in build-buildroot/.
#   QUORVEX_BUILDROOT=... QUORVEX_DEVICE_TOOLCHAIN=... scripts/buildroot.sh
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
. scripts/elf.sh
project=$(pwd)
triple=armeb-linux-uclibcgnueabi
buildroot=${QUORVEX_BUILDROOT:?the Buildroot tree}
toolchain=${QUORVEX_DEVICE_TOOLCHAIN:?the device toolchain}
output=$project/build-buildroot
external=$project/packaging/buildroot
ensure_packages $BUILDROOT_PACKAGES
[ -x "$toolchain/bin/$triple-g++" ] || { echo "$toolchain holds no bin/$triple-g++" >&2; exit 1; }
[ -f "$buildroot/Makefile" ] && [ -x "$buildroot/utils/check-package" ] ||
    { echo "$buildroot is not a Buildroot tree" >&2; exit 1; }

fail() {
    echo "buildroot: $*" >&2
    exit 1
}

# The package's files pass Buildroot's own lint.
/usr/bin/python3 "$buildroot/utils/check-package" -b -q \
    $(find "$external" -name Config.in -o -name '*.mk') ||
    fail "check-package found problems in $external"

# make_buildroot ARGS: Buildroot's make on our output directory; its log is
# kept there and shown when it fails. Root is fine here: nothing is built
# from third-party configure scripts.
make_buildroot() {
    make -C "$buildroot" O="$output" BR2_EXTERNAL="$external" BR2_JLEVEL="$(nproc)" "$@" \
        >>"$output/quorvex-build.log" 2>&1 ||
        { tail -n 40 "$output/quorvex-build.log" >&2; fail "make $* failed (log: $output/quorvex-build.log)"; }
}

# configure LINES...: the lane's fragment with the toolchain, the override
# file and LINES in place of the fragment's lines for the same options, as
# the output directory's defconfig.
configure() {
    replaced=$(printf '%s\n' "$@" | grep -o 'BR2_[A-Z0-9_]*' | sed 's/.*/\\b&\\b/' | paste -sd'|')
    {
        grep -Ev "${replaced:-^$}" scripts/buildroot/device.config
        echo "BR2_TOOLCHAIN_EXTERNAL_PATH=\"$toolchain\""
        echo "BR2_PACKAGE_OVERRIDE_FILE=\"$project/scripts/buildroot/host-tools.mk\""
        for line in "$@"; do echo "$line"; done
    } >"$output/quorvex_defconfig"
    make_buildroot BR2_DEFCONFIG="$output/quorvex_defconfig" defconfig
}

# describe BINARY LINK: says what the target's /usr/bin/BINARY is, and that
# it is a 32-bit big-endian ARM binary.
describe() {
    what=$(file -b "$target/usr/bin/$1")
    echo "$what" | grep -q '^ELF 32-bit MSB .*ARM' || fail "$1 is not a 32-bit big-endian ARM binary: $what"
    libraries=$(needs "$1" | paste -sd' ')
    echo "$1 ($2): $(stat -c %s "$target/usr/bin/$1") bytes, $(echo "$what" | cut -d, -f1-4)," \
        "needs: ${libraries:-nothing}"
}

# needs BINARY: the shared libraries the target's /usr/bin/BINARY names.
needs() {
    needed "$toolchain/bin/$triple-readelf" "$target/usr/bin/$1"
}

target=$output/target
rm -rf "$output"
mkdir -p "$output"

# Options off first, in an image of static libraries only: the configuration
# drops the schedule, the build the tool and the page, and the probe needs
# no library.
configure "# BR2_PACKAGE_QUORVEXMETRICS_CARDTOOL is not set" "# BR2_PACKAGE_QUORVEXMETRICS_CRON is not set" \
    "# BR2_PACKAGE_QUORVEXMETRICS_PAGE is not set" "BR2_STATIC_LIBS=y"
grep -q '^BR2_PACKAGE_QUORVEXMETRICS_CRON_SCHEDULE' "$output/.config" &&
    fail "a schedule without the cron option"
grep -q '^BR2_STATIC_LIBS=y$' "$output/.config" || fail "the configuration dropped BR2_STATIC_LIBS"
make_buildroot
[ -x "$target/usr/bin/quorvexmetrics" ] || fail "no /usr/bin/quorvexmetrics in the target"
[ ! -e "$target/usr/bin/quorvexcard" ] || fail "quorvexcard installed with its option off"
[ ! -e "$target/etc/cron/crontabs/root" ] || fail "a crontab with the cron option off"
[ ! -e "$target/var/www" ] || fail "the signal page installed with its option off"
describe quorvexmetrics "BR2_STATIC_LIBS"
[ -z "$(needs quorvexmetrics)" ] || fail "quorvexmetrics needs shared libraries under BR2_STATIC_LIBS"

# Then on, as device.config has them, with shared libraries (a change of
# library kind rebuilds everything): both binaries, using the shared C++
# runtime Buildroot installs in the target, root's crontab line and the
# signal page with its CGI script.
make_buildroot clean
configure
grep -q '^BR2_PACKAGE_QUORVEXMETRICS_CRON_SCHEDULE="\* \* \* \* \*"$' "$output/.config" ||
    fail "the schedule's default is not every minute"
make_buildroot
for binary in quorvexmetrics quorvexcard; do
    describe "$binary" "shared libraries"
    needs "$binary" | grep -qx 'libstdc++\.so\.6' || fail "$binary does not use the shared C++ runtime"
done
[ -e "$target/lib/libstdc++.so.6" ] || [ -e "$target/usr/lib/libstdc++.so.6" ] ||
    fail "no shared C++ runtime (libstdc++.so.6) in the target"
line="* * * * * /usr/bin/quorvexmetrics >/dev/null 2>&1"
[ "$(cat "$target/etc/cron/crontabs/root")" = "$line" ] ||
    fail "root's crontab is not the line '$line': $(cat "$target/etc/cron/crontabs/root")"
help=$(qemu-armeb-static -cpu pxa270 -L "$target" "$target/usr/bin/quorvexcard" --help) ||
    fail "quorvexcard --help did not run from the target tree"
echo "$help" | grep -q '^Usage: quorvexcard' || fail "quorvexcard --help printed: $help"
cmp -s "$target/var/www/signal.html" packaging/www/signal.html || fail "no /var/www/signal.html"
cgi=$target/var/www/cgi-bin/quorvex-signal
[ -x "$cgi" ] && grep -q '^exec /usr/bin/quorvexcard --cgi' "$cgi" ||
    fail "no CGI script at /var/www/cgi-bin/quorvex-signal that runs quorvexcard --cgi"
refused=$(REQUEST_METHOD=POST qemu-armeb-static -cpu pxa270 -L "$target" "$target/usr/bin/quorvexcard" --cgi) ||
    fail "quorvexcard --cgi did not run from the target tree"
echo "$refused" | grep -q '^Status: 405 ' || fail "quorvexcard --cgi answered a POST with: $refused"
echo "buildroot: the package builds, installs and runs on $triple"
