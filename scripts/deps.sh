# Sourced by the scripts: installs the Debian packages a step needs, once.
ensure_packages() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends $missing >/dev/null 2>&1 || {
        apt-get update -qq >/dev/null
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    }
}

# The native build and its tests.
NATIVE_PACKAGES="cmake make g++ libgtest-dev"
# 32-bit big-endian MIPS under qemu-user, GoogleTest from its sources.
MIPS_PACKAGES="g++-mips-linux-gnu qemu-user-static googletest"
# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer.
FUZZ_PACKAGES="clang-14 libclang-rt-14-dev"
MEMCHECK_PACKAGES="valgrind"
# The real parser of the tool's Prometheus output (tests use their own port).
EXPORTER_PACKAGES="prometheus-node-exporter"
# The signal page's real server and a real browser (tests use their own port).
PAGE_PACKAGES="busybox chromium"
# The device (armeb-linux-uclibcgnueabi) under qemu-user; the toolchain
# itself comes from QUORVEX_DEVICE_TOOLCHAIN.
DEVICE_PACKAGES="qemu-user-static googletest"
# What Buildroot checks for at start (some never used here), the Debian host
# tools that stand in for its downloaded ones, and check-package's modules.
BUILDROOT_PACKAGES="make gcc g++ libc6-dev patch perl file wget cpio unzip rsync bc bzip2 \
cmake pkgconf patchelf python3 python3-magic flake8 qemu-user-static"
