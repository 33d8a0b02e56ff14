#!/bin/sh
# Builds the project's Buildroot package (packaging/buildroot) with the
# Buildroot tree in QUORVEX_BUILDROOT and the device toolchain in
# QUORVEX_DEVICE_TOOLCHAIN as an external toolchain, offline, for a minimal
# target (scripts/buildroot/device.config), and checks what lands in the
# target tree. Output in build-buildroot/.
#   QUORVEX_BUILDROOT=... QUORVEX_DEVICE_TOOLCHAIN=... scripts/buildroot.sh
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
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

target=$output/target
rm -rf "$output"
mkdir -p "$output"

# Options off first: the configuration drops the schedule, the build the
# tool and the page.
configure "# BR2_PACKAGE_QUORVEXMETRICS_CARDTOOL is not set" "# BR2_PACKAGE_QUORVEXMETRICS_CRON is not set" \
    "# BR2_PACKAGE_QUORVEXMETRICS_PAGE is not set"
grep -q '^BR2_PACKAGE_QUORVEXMETRICS_CRON_SCHEDULE' "$output/.config" &&
    fail "a schedule without the cron option"
make_buildroot
[ -x "$target/usr/bin/quorvexmetrics" ] || fail "no /usr/bin/quorvexmetrics in the target"
[ ! -e "$target/usr/bin/quorvexcard" ] || fail "quorvexcard installed with its option off"
[ ! -e "$target/etc/cron/crontabs/root" ] || fail "a crontab with the cron option off"
[ ! -e "$target/var/www" ] || fail "the signal page installed with its option off"

# Then on, as device.config has them: both binaries, root's crontab line and
# the signal page with its CGI script.
configure
grep -q '^BR2_PACKAGE_QUORVEXMETRICS_CRON_SCHEDULE="\* \* \* \* \*"$' "$output/.config" ||
    fail "the schedule's default is not every minute"
make_buildroot quorvexmetrics-dirclean
make_buildroot
for binary in quorvexmetrics quorvexcard; do
    file -b "$target/usr/bin/$binary" | grep -q '^ELF 32-bit MSB .*ARM' ||
        fail "$binary is not a 32-bit big-endian ARM binary: $(file -b "$target/usr/bin/$binary")"
    echo "$binary: $(stat -c %s "$target/usr/bin/$binary") bytes, $(file -b "$target/usr/bin/$binary" | cut -d, -f1-4)"
done
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
